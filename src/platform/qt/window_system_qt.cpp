// Whether Qt can open windows here, found out before the application object is made: Qt ends the process
// (an abort, in a plug-in "crashed") when its platform plug-in is missing or its display cannot be reached.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QDir>
#include <QLibraryInfo>
#include <QString>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/window.h"

namespace brisel::platform {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Whether a platform plug-in whose file name starts with prefix is where Qt looks for it.
bool HasPlatformPlugin(const char* prefix) {
  QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath)};
  for (const QString& extra : QString::fromLocal8Bit(qgetenv("QT_PLUGIN_PATH")).split(':', Qt::SkipEmptyParts))
    folders << extra;
  for (const QString& folder : folders) {
    const QStringList found =
        QDir(folder + "/platforms").entryList({QString(prefix) + "*.so"}, QDir::Files | QDir::Readable);
    if (!found.isEmpty()) return true;
  }
  return false;
}

// Whether the Wayland compositor that WAYLAND_DISPLAY names answers on its socket.
bool WaylandReachable() {
  std::string socketPath = Env("WAYLAND_DISPLAY");
  if (socketPath.empty()) return false;
  if (socketPath[0] != '/') {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    socketPath = runtime + "/" + socketPath;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool reached = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return reached;
}

// Whether the X server that DISPLAY names lets this program in.
bool X11Reachable() {
  if (Env("DISPLAY").empty()) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool reached = connection && !xcb_connection_has_error(connection);
  if (connection) xcb_disconnect(connection);
  return reached;
}

std::string X11Problem() {
  if (!HasPlatformPlugin("libqxcb")) return "Qt's X11 support is not installed (the package libqt6gui6).";
  return "the X display \"" + Env("DISPLAY") + "\" (DISPLAY) cannot be reached.";
}

std::string WaylandProblem() {
  if (!HasPlatformPlugin("libqwayland"))
    return "Qt's Wayland support is not installed: install the package qt6-wayland.";
  return "the Wayland compositor \"" + Env("WAYLAND_DISPLAY") + "\" (WAYLAND_DISPLAY) cannot be reached.";
}

}  // namespace

std::string WhyNoWindows() {
  const std::string chosen = Env("QT_QPA_PLATFORM");
  const std::string opening = "Brisel cannot open its windows: ";
  if (chosen.rfind("xcb", 0) == 0) return X11Reachable() ? "" : opening + X11Problem();
  if (chosen.rfind("wayland", 0) == 0)
    return HasPlatformPlugin("libqwayland") && WaylandReachable() ? "" : opening + WaylandProblem();
  if (!chosen.empty()) return {};  // offscreen, or one Qt will say about itself

  const bool waylandNamed = !Env("WAYLAND_DISPLAY").empty(), x11Named = !Env("DISPLAY").empty();
  if (!waylandNamed && !x11Named)
    return opening + "no graphical display is named here (neither DISPLAY nor WAYLAND_DISPLAY is set).";
  const bool wayland = waylandNamed && HasPlatformPlugin("libqwayland") && WaylandReachable();
  const bool x11 = x11Named && HasPlatformPlugin("libqxcb") && X11Reachable();
  if (wayland && x11) return {};  // Qt's own choice
  if (wayland) {
    ::setenv("QT_QPA_PLATFORM", "wayland", 1);
    return {};
  }
  if (x11) {
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    return {};
  }
  if (waylandNamed && x11Named) return opening + WaylandProblem() + " Nor can X11 serve: " + X11Problem();
  return opening + (waylandNamed ? WaylandProblem() : X11Problem());
}

}  // namespace brisel::platform
