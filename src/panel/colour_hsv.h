#pragma once
// Hue, saturation and value kept with the paint colour.

#include <cstdint>

namespace brisel::panel {

// ColorHue (degrees, rounded), ColorSat and ColorVal (x 255, rounded) from PaintRed, PaintGreen and
// PaintBlue; ColorHue only while no triangle pick runs.
void GetHSV();

}  // namespace brisel::panel
