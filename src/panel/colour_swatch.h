#pragma once
// The primary swatch, the paint colour shown.

namespace brisel::panel {

// The primary swatch vx_button5 shows (PaintRed, PaintGreen, PaintBlue), each rounded.
void SetColor();

}  // namespace brisel::panel
