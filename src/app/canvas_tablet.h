#pragma once
// Tablet input: the pen's position, pressure and turned-over end, kept in the shared pen state that the
// mouse handlers and the compositing read.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/tablet.h"

namespace brisel {

namespace app {

extern std::unique_ptr<platform::Tablet> Tablet;  // the canvas's tablet object, when one opened

// Opens the context "FirstContext" on the canvas; TabletPresent tells whether every step succeeded.
void OpenTablet();
// Closes it again, ignoring failures.
void CloseTablet();

}  // namespace app

namespace Form1 {

void Tablet_PacketArrival(int32_t& ContextHandle, int32_t& Cursor, int32_t& X, int32_t& Y, int32_t& Z,
                          int32_t& Buttons, int32_t& Pressure, int32_t& TangentPressure, int32_t& Azimuth,
                          int32_t& Altitude, int32_t& Twist, int32_t& Pitch, int32_t& Roll, int32_t& Yaw,
                          int32_t& PacketSerial, int32_t& PacketTime);
void Tablet_ProximityChange(int16_t& IsInContext, int16_t& IsPhysical, int32_t& ContextHandle,
                            std::string& ContextName);

}  // namespace Form1

// The route by which the tablet library's events reach the canvas: each method passes its arguments on
// unchanged to the canvas handler of the same event. (The library here raises only these two events.)
class clsITablet {
 public:
  void ITablet_PacketArrival(int32_t& ContextHandle, int32_t& Cursor, int32_t& X, int32_t& Y, int32_t& Z,
                             int32_t& Buttons, int32_t& Pressure, int32_t& TangentPressure, int32_t& Azimuth,
                             int32_t& Altitude, int32_t& Twist, int32_t& Pitch, int32_t& Roll, int32_t& Yaw,
                             int32_t& PacketSerial, int32_t& PacketTime);
  void ITablet_ProximityChange(int16_t& IsInContext, int16_t& IsPhysical, int32_t& ContextHandle,
                               std::string& ContextName);
};

}  // namespace brisel
