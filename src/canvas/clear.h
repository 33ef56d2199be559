#pragma once
// Clearing: the whole image to white, and the stroke mask over a rectangle.

#include "canvas/rectangles.h"

namespace brisel::Form1 {

// Every image pixel white and the whole stroke mask 0; the display copy follows. Answers the whole image,
// for the caller to show.
PixelRect clearbuffer();
// Zeroes the stroke mask over (x1, y1)-(x2, y2), image pixels, both corners inclusive.
void ClearFXbuffer(float x1, float y1, float x2, float y2);

}  // namespace brisel::Form1
