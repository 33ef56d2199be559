#include "stroke/pressure_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/settings.h"

namespace brisel::stroke {
namespace {

PressureCurve gPenCurve = LinearCurve();

}  // namespace

float PressureCurve::Apply(float p) const {
  if (points.size() < 2 || !(p == p)) return p;
  p = std::clamp(p, 0.0f, 1.0f);
  for (size_t i = 1; i < points.size(); ++i) {
    const auto [x0, y0] = points[i - 1];
    const auto [x1, y1] = points[i];
    if (p <= x1 || i + 1 == points.size()) return x1 > x0 ? y0 + (y1 - y0) * (p - x0) / (x1 - x0) : y1;
  }
  return points.back().second;
}

std::string PressureCurve::Text() const {
  std::string text;
  char pair[40];
  for (const auto& [x, y] : points) {
    std::snprintf(pair, sizeof pair, "%s%g:%g", text.empty() ? "" : " ", double(x), double(y));
    text += pair;
  }
  return text;
}

bool PressureCurve::ReadText(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::pair<float, float>> read;
  std::string word;
  while (in >> word) {
    const size_t colon = word.find(':');
    if (colon == std::string::npos || read.size() == kCurvePointsMost) return false;
    char* end = nullptr;
    const std::string xs = word.substr(0, colon), ys = word.substr(colon + 1);
    const float x = std::strtof(xs.c_str(), &end);
    if (xs.empty() || *end) return false;
    const float y = std::strtof(ys.c_str(), &end);
    if (ys.empty() || *end) return false;
    if (!(x >= 0 && x <= 1 && y >= 0 && y <= 1)) return false;
    if (!read.empty() && !(x > read.back().first)) return false;
    read.emplace_back(x, y);
  }
  if (read.size() < 2 || read.front().first != 0 || read.back().first != 1) return false;
  points = std::move(read);
  return true;
}

PressureCurve LinearCurve() { return {{{0, 0}, {1, 1}}}; }
PressureCurve SoftCurve() { return {{{0, 0}, {0.6f, 0.25f}, {1, 1}}}; }
PressureCurve FirmCurve() { return {{{0, 0}, {0.25f, 0.6f}, {1, 1}}}; }

const PressureCurve& PenCurve() { return gPenCurve; }

void LoadPenCurve() {
  const std::string text = platform::GetSetting("tarnwick", "Pressure_Curve", "Points", "");
  PressureCurve curve = LinearCurve();
  if (!text.empty() && !curve.ReadText(text))
    std::fprintf(stderr,
                 "brisel: warning: the setting Points=%s in section [Pressure_Curve] is not a pressure curve "
                 "(two to eight input:output pairs from 0:... to 1:...); the pen's pressure is used as it is\n",
                 text.c_str());
  gPenCurve = curve;
}

void SetPenCurve(const PressureCurve& curve) {
  gPenCurve = curve;
  platform::SetSetting("tarnwick", "Pressure_Curve", "Points", curve.Text());
}

}  // namespace brisel::stroke
