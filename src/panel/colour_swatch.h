#pragma once
// The primary swatch, the paint colour shown.

namespace brisel::Form2 {

// The primary swatch vx_button5 shows (PaintRed, PaintGreen, PaintBlue), each rounded.
void SetColor();

}  // namespace brisel::Form2
