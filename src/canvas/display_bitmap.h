#pragma once
// The display bitmap: the whole image at the current Zoom in one 32-bit memory bitmap. Every redraw
// renders a rectangle of three planes into it and copies the same rectangle to the canvas window at the
// pan offset.

#include <cstdint>

#include "platform/byte_plane.h"
#include "platform/window.h"

namespace brisel::Dibs {

extern platform::MemoryBitmap DibBitmap;  // exists while the canvas shows the image
extern int32_t DibWidth;                  // zoomed width rounded up to a multiple of 4
extern int32_t DibHeight;                 // zoomed height

// floor(ImageWidth * Zoom) and floor(ImageHeight * Zoom).
int32_t ZoomedWidth();
int32_t ZoomedHeight();

// (Re)creates the bitmap for the current Zoom; Error 31001 when it cannot be made, leaving the old bitmap
// in place. Changes the canvas caption to show the zoom when a bitmap existed before.
void CreateDib();
void FreeDib();

// Renders image rectangle (x1, y1)-(x2, y2), both corners inclusive, of R, G, B into the bitmap and copies
// it to the canvas window. Clamped to the image and to the visible part of the window.
void BlitRect(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t x1, int32_t y1, int32_t x2,
              int32_t y2);

}  // namespace brisel::Dibs
