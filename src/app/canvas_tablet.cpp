#include "app/canvas_tablet.h"

#include "app/pressure_window.h"

#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel {
namespace app {

std::unique_ptr<platform::Tablet> Tablet;

namespace {

constexpr const char* kContextName = "FirstContext";
clsITablet gEvents;

// The canvas routine that opens the context; its own failures end only this routine.
void OpenTabletContext() {
  try {
    Tablet->AddContext(kContextName);
    Tablet->SelectContext(kContextName);
    Tablet->SetWindow(Form1Window());
    Tablet->SetEnabled(true);
    Tablet->SetContextEnabled(true);
  } catch (const Error&) {
  }
}

}  // namespace

void OpenTablet() {
  PenPressure = 1.0f;
  PenAltitude = 0;
  PenWindowX = PenWindowY = 0;
  try {
    Tablet = std::make_unique<platform::Tablet>();
    Tablet->PacketArrival = [](auto&... args) { gEvents.ITablet_PacketArrival(args...); };
    Tablet->ProximityChange = [](auto&... args) { gEvents.ITablet_ProximityChange(args...); };
    Tablet->SetWindow(Form1Window());
    OpenTabletContext();
    // Packets report positions over the context's whole extent.
    Tablet->SetOutputExtents(Tablet->ExtentX(), Tablet->ExtentY());
    Tablet->SetContextEnabled(true);
    TabletExtentX = Tablet->ExtentX();
    TabletExtentY = Tablet->ExtentY();
    TabletPresent = true;
  } catch (const Error&) {
    TabletPresent = false;  // no tablet: the mouse alone, with pressure 1
    Tablet.reset();
    // Until a pen shows up: its first event opens the tablet, and goes on to the canvas as the pen's.
    platform::WatchForTablet([] {
      if (!TabletPresent && Form1Window().loaded()) OpenTablet();
    });
    return;
  }
  platform::WatchForTablet(nullptr);
}

void CloseTablet() {
  platform::WatchForTablet(nullptr);
  if (!Tablet) return;
  try {
    Tablet->SetContextEnabled(false);
  } catch (const Error&) {
  }
  try {
    Tablet->RemoveContext(kContextName);
  } catch (const Error&) {
  }
  try {
    Tablet->SetEnabled(false);
  } catch (const Error&) {
  }
  Tablet.reset();
}

}  // namespace app

namespace Form1 {

void Tablet_PacketArrival(int32_t&, int32_t&, int32_t& X, int32_t& Y, int32_t&, int32_t&, int32_t& Pressure,
                          int32_t&, int32_t&, int32_t& Altitude, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&,
                          int32_t&) {
  const double W = platform::ScreenWidth(), H = platform::ScreenHeight();
  const double sx = X <= 0 || TabletExtentX == 0 ? 0 : double(X) / TabletExtentX * W;
  double sy = Y <= 0 || TabletExtentY == 0 ? 0 : double(Y) / TabletExtentY * H;
  sy = H - sy;  // tablet y grows upward, screen y downward
  int32_t ox = 0, oy = 0;
  platform::ClientToScreen(Form1Window(), ox, oy);
  PenWindowX = float(sx - ox - 0.5);
  PenWindowY = float(sy - oy - 0.5);
  app::PenReport(app::Tablet ? float(Pressure) / app::Tablet->MaxPressure() : 1.0f);
  PenAltitude = float(Altitude);
}

void Tablet_ProximityChange(int16_t& IsInContext, int16_t&, int32_t&, std::string&) {
  if (IsInContext == 0) PenInProximity = 0;
  if (IsInContext == -1) PenInProximity = -1;
}

}  // namespace Form1

void clsITablet::ITablet_PacketArrival(int32_t& ContextHandle, int32_t& Cursor, int32_t& X, int32_t& Y, int32_t& Z,
                                       int32_t& Buttons, int32_t& Pressure, int32_t& TangentPressure,
                                       int32_t& Azimuth, int32_t& Altitude, int32_t& Twist, int32_t& Pitch,
                                       int32_t& Roll, int32_t& Yaw, int32_t& PacketSerial, int32_t& PacketTime) {
  Form1Window();  // the canvas exists before its handler runs
  Form1::Tablet_PacketArrival(ContextHandle, Cursor, X, Y, Z, Buttons, Pressure, TangentPressure, Azimuth, Altitude,
                              Twist, Pitch, Roll, Yaw, PacketSerial, PacketTime);
}

void clsITablet::ITablet_ProximityChange(int16_t& IsInContext, int16_t& IsPhysical, int32_t& ContextHandle,
                                         std::string& ContextName) {
  Form1Window();
  Form1::Tablet_ProximityChange(IsInContext, IsPhysical, ContextHandle, ContextName);
}

}  // namespace brisel
