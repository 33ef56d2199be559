// The bench's side of the X server: it moves the pointer and presses keys through XTEST, as a device would,
// and learns when a window's pixels changed from the DAMAGE extension, which reports each drawing request once
// the server has done it; the pixels themselves are read back with GetImage. Waiting on damage reports
// rather than reading the screen in a loop leaves the server and the cores to the program measured.

#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brisel::bench {

struct Box {
  int x = 0, y = 0, width = 0, height = 0;

  bool Meets(const Box& other) const {
    return x < other.x + other.width && other.x < x + width && y < other.y + other.height && other.y < y + height;
  }
  Box United(const Box& other) const;
  bool Holds(const Box& other) const {
    return x <= other.x && y <= other.y && x + width >= other.x + other.width && y + height >= other.y + other.height;
  }
};

// Seconds on the monotonic clock.
double Now();

class ScreenProbe {
 public:
  explicit ScreenProbe(const std::string& display);
  ~ScreenProbe();
  ScreenProbe(const ScreenProbe&) = delete;
  ScreenProbe& operator=(const ScreenProbe&) = delete;

  // Connected, with XTEST and DAMAGE; otherwise why not.
  const std::string& failure() const { return failure_; }

  // The mapped top-level windows, largest first.
  std::vector<Window> Windows();
  void Place(Window window, int x, int y, int width, int height);
  void Focus(Window window);
  void Raise(Window window);
  // From now on, every drawing into window is reported to Pump.
  void WatchDamage(Window window);

  void MovePointer(int x, int y);
  void Button(bool down);
  void Key(unsigned long keysym, bool down);

  // The screen's pixels in box, 0xRRGGBB each, row by row.
  std::vector<uint32_t> Read(const Box& box);

  // Handles what the server reports until deadline (Now()'s seconds): onDamage gets each changed area, in
  // screen pixels, and the time its report was read.
  void Pump(double deadline, const std::function<void(const Box&, double)>& onDamage);
  // Pump until the watched windows stayed unchanged for quiet seconds, or until deadline.
  void WaitQuiet(double quiet, double deadline);

 private:
  Display* display_ = nullptr;
  int damageEvent_ = 0;
  struct Watched {
    Window window;
    unsigned long damage;
    int x, y;  // the window's corner on the screen
  };
  std::vector<Watched> watched_;
  std::string failure_;
};

}  // namespace brisel::bench
