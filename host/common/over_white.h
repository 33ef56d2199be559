#pragma once
// A layer with alpha as the canvas shows it, laid on white paper, and what was painted on it made to show
// the same on white: the one rule of every host whose pictures have alpha.

#include <cstdint>

namespace brisel::host {

// Colour c seen on white through straight (not premultiplied) alpha a, both 0 to 255, rounded.
constexpr uint8_t OnWhite(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

// A pixel of R'G'B'A doubles (0 to 1, alpha straight) made to show shown (R'G'B' bytes) on white, as the
// canvas showed it: its alpha rises to the least that shows that colour and never falls (ink on a transparent
// pixel covers as far as it is dark, and an opaque pixel stays opaque), and its colour is the one that shows
// it at that alpha.
void ShowOverWhite(double* pixel, const uint8_t* shown);

}  // namespace brisel::host
