// The window system the program runs on: whether there is a screen, whether windows are X11 ones, and the
// desktop's scale rounded to a whole one (on X11; a Wayland compositor's is kept).

#include "platform/qt/screen_qt.h"
#include "platform/qt/wayland_foreign_qt.h"

#include <QGuiApplication>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/window.h"

namespace brisel::platform {

// Modal boxes would wait forever for a user on a platform without a screen.
bool HeadlessPlatform() {
  const QString name = QGuiApplication::platformName();
  return name == "offscreen" || name == "minimal";
}

bool CanOwnNativeWindows() { return QGuiApplication::platformName() == "xcb"; }
bool CanOwnExportedWindows() { return CompositorImportsWindows(); }

std::string WholeScaleFactors(const std::string& factors) {
  // Each number in "1.5", "1.25;2" or "DP-1=1.5;HDMI-1=1" to the nearest whole one (halves up), at least 1.
  std::string out;
  size_t i = 0;
  while (i < factors.size()) {
    const size_t end = factors.find_first_of(";,", i);
    std::string item = factors.substr(i, end == std::string::npos ? std::string::npos : end - i);
    const size_t equals = item.find('=');
    const size_t at = equals == std::string::npos ? 0 : equals + 1;
    // A point for the decimals whatever the locale, as Qt reads them.
    double factor = 0;
    const char* first = item.data() + at;
    const char* last = item.data() + item.size();
    const auto [rest, error] = std::from_chars(first, last, factor);
    if (error == std::errc() && rest == last && rest != first && factor > 0 && std::isfinite(factor))
      item = item.substr(0, at) + std::to_string(std::max(1L, std::lround(factor)));
    out += item;
    if (end == std::string::npos) break;
    out += factors[end];
    i = end + 1;
  }
  return out;
}

namespace {
// Whether Qt will open Wayland windows: chosen by name, or, where nothing is chosen (WhyNoWindows names the
// one that works when only one does), because a compositor is named.
bool WaylandWindows() {
  const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
  return chosen.startsWith("wayland") || (chosen.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}
}  // namespace

void UseWholeScaleFactors() {
  if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR_ROUNDING_POLICY")) return;
  // A Wayland compositor's fractional scale (which Qt reads from 6.5 on; before, it is the compositor's whole
  // one) is kept: the canvas draws in screen pixels there, and the compositor shows them as they are.
  if (!WaylandWindows())
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  // Factors the desktop sets for Qt programs are not rounded by that policy: they are rounded here.
  for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"})
    if (const char* value = std::getenv(name)) setenv(name, WholeScaleFactors(value).c_str(), 1);
}

}  // namespace brisel::platform
