// XTEST, DAMAGE and GetImage over Xlib.

#include "screen_probe.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace brisel::bench {

Box Box::United(const Box& other) const {
  if (width <= 0 || height <= 0) return other;
  const int left = std::min(x, other.x), top = std::min(y, other.y);
  const int right = std::max(x + width, other.x + other.width), bottom = std::max(y + height, other.y + other.height);
  return {left, top, right - left, bottom - top};
}

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

namespace {
// A window that went away between two requests is no reason to end the bench (Xlib's own handler exits).
int IgnoreError(Display*, XErrorEvent*) { return 0; }
}  // namespace

ScreenProbe::ScreenProbe(const std::string& display) {
  XSetErrorHandler(IgnoreError);
  display_ = XOpenDisplay(display.c_str());
  if (!display_) {
    failure_ = "cannot open display " + display;
    return;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) failure_ = "the X server has no XTEST";
  else if (!XDamageQueryExtension(display_, &damageEvent_, &error)) failure_ = "the X server has no DAMAGE";
}

ScreenProbe::~ScreenProbe() {
  // The Damages go with the connection (or went with their windows already).
  if (display_) XCloseDisplay(display_);
}

std::vector<Window> ScreenProbe::Windows() {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  std::vector<std::pair<long, Window>> sized;
  if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display_, children[i], &a) && a.map_state == IsViewable && a.c_class == InputOutput)
        sized.emplace_back(long(a.width) * a.height, children[i]);
    }
    XFree(children);
  }
  std::sort(sized.rbegin(), sized.rend());
  std::vector<Window> windows;
  for (const auto& [area, window] : sized) windows.push_back(window);
  return windows;
}

void ScreenProbe::Place(Window window, int x, int y, int width, int height) {
  XMoveResizeWindow(display_, window, x, y, unsigned(width), unsigned(height));
  XSync(display_, False);
}

void ScreenProbe::Focus(Window window) {
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  XSync(display_, False);
}

void ScreenProbe::Raise(Window window) {
  XRaiseWindow(display_, window);
  XSync(display_, False);
}

void ScreenProbe::WatchDamage(Window window) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(display_, window, &a)) return;
  watched_.push_back({window, XDamageCreate(display_, window, XDamageReportRawRectangles), a.x, a.y});
  XSync(display_, False);
}

void ScreenProbe::MovePointer(int x, int y) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  XFlush(display_);
}

void ScreenProbe::Button(bool down) {
  XTestFakeButtonEvent(display_, 1, down, CurrentTime);
  XFlush(display_);
}

void ScreenProbe::Key(unsigned long keysym, bool down) {
  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), down, CurrentTime);
  XFlush(display_);
}

std::vector<uint32_t> ScreenProbe::Read(const Box& box) {
  // A few pixels a read: through shared memory it would cost the same round trip.
  std::vector<uint32_t> pixels;
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), box.x, box.y, unsigned(box.width),
                            unsigned(box.height), AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < box.height; ++y)
    for (int x = 0; x < box.width; ++x) pixels.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
  XDestroyImage(image);
  return pixels;
}

void ScreenProbe::Pump(double deadline, const std::function<void(const Box&, double)>& onDamage) {
  for (;;) {
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type != damageEvent_ + XDamageNotify) continue;
      const double at = Now();
      const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
      for (const Watched& w : watched_)
        if (w.window == notify.drawable)
          onDamage({w.x + notify.area.x, w.y + notify.area.y, notify.area.width, notify.area.height}, at);
    }
    const double left = deadline - Now();
    if (left <= 0) return;
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    const timespec wait{time_t(left), long(std::fmod(left, 1.0) * 1e9)};
    ppoll(&fd, 1, &wait, nullptr);
  }
}

void ScreenProbe::WaitQuiet(double quiet, double deadline) {
  double last = Now();
  while (Now() < deadline && Now() - last < quiet)
    Pump(std::min(deadline, last + quiet), [&](const Box&, double at) { last = at; });
}

}  // namespace brisel::bench
