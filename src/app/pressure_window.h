#pragma once
// Options > "Pressure curve...": a small window with the pen's pressure curve (stroke/pressure_curve.h),
// its points dragged with the mouse, Linear, Soft and Firm to start from, and a live mark of the pen's
// pressure with the pen's report rate, so that a painter sees the pen is seen at all.

#include <cstdint>
#include <string>

namespace brisel::app {

void ShowPressureWindow();
void DestroyPressureWindow();

// Every pen report comes here: its pressure (0..1) goes through the curve into PenPressure, and the
// window, when open, marks it.
void PenReport(float pressure);

// The curve window's graph, for the tests: its side in pixels, and what a press, drag and release there do.
inline constexpr int32_t kCurveSide = 200;
void CurveMouseDown(float X, float Y);
void CurveMouseMove(float X, float Y);
void CurveMouseUp();
// What the window says under the graph: the pen's pressure, what it paints, and the reports a second.
std::string PressureReading();

}  // namespace brisel::app
