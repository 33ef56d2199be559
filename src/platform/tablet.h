#pragma once
// The tablet library: one context per window that delivers pen packets and proximity changes.
//
// Packets arrive with X and Y in tablet units 0..extent (X growing to the right, Y growing upward, the
// extents spanning the whole screen), Pressure in 0..MaxPressure() and an Altitude whose sign marks the
// pen's turned-over end (negative: the eraser end). A pen's press, moves and release on the window then
// reach the window's mouse handlers once, as the pen's (never a second time as the toolkit's mouse).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace brisel::platform {

class Form;

class Tablet {
 public:
  using PacketHandler = std::function<void(int32_t& ContextHandle, int32_t& Cursor, int32_t& X, int32_t& Y,
                                           int32_t& Z, int32_t& Buttons, int32_t& Pressure,
                                           int32_t& TangentPressure, int32_t& Azimuth, int32_t& Altitude,
                                           int32_t& Twist, int32_t& Pitch, int32_t& Roll, int32_t& Yaw,
                                           int32_t& PacketSerial, int32_t& PacketTime)>;
  using ProximityHandler =
      std::function<void(int16_t& IsInContext, int16_t& IsPhysical, int32_t& ContextHandle, std::string& ContextName)>;

  // Fails (Error) when the platform offers no tablet input.
  Tablet();
  ~Tablet();
  Tablet(const Tablet&) = delete;
  Tablet& operator=(const Tablet&) = delete;

  PacketHandler PacketArrival;
  ProximityHandler ProximityChange;

  void SetWindow(Form& window);
  void AddContext(const std::string& name);
  void SelectContext(const std::string& name);
  void RemoveContext(const std::string& name);
  void SetEnabled(bool on);         // the tablet object
  void SetContextEnabled(bool on);  // the selected context
  int32_t ExtentX() const;
  int32_t ExtentY() const;
  void SetOutputExtents(int32_t x, int32_t y);
  float MaxPressure() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Calls appeared once, at the first pen event (or the pen coming near) the program sees, before the event
// goes on to its window: some platforms make a tablet known only with its first event (Qt on Wayland), and
// a tablet may be plugged in while the program runs. A Tablet made from appeared takes that very event.
// nullptr stops watching.
void WatchForTablet(std::function<void()> appeared);

// The screen's size in pixels, and a window's client origin on it.
int32_t ScreenWidth();
int32_t ScreenHeight();
void ClientToScreen(const Form& window, int32_t& x, int32_t& y);

}  // namespace brisel::platform
