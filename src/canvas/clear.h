#pragma once
// Clearing: the whole image to white, and the stroke mask over a rectangle.

#include "canvas/rectangles.h"

namespace brisel::canvas {

// Every image pixel white and the whole stroke mask 0; the display copy follows. Answers the whole image,
// for the caller to show.
PixelRect clearbuffer();
// Zeroes the stroke mask over r, clipped to the image.
void ClearFXbuffer(const PixelRect& r);

}  // namespace brisel::canvas
