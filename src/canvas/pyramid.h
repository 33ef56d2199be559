#pragma once
// The image pyramid that zoomed-out redraws read: levels 1 .. kPyramidLevels of the image planes, level l
// 2^l times smaller each way, each cell the rounded mean of the four cells under it. A redraw at zoom z reads
// the level at which a bitmap pixel covers one to two cells (native::PyramidLevelFor), so a picture shrunk
// to the window costs about the window's pixels, not the picture's.
//
// The levels of the committed planes (PlaneR/G/B) are kept, and brought up to date just before a redraw
// reads them over the rectangles changed since (every change of the planes is noted through
// canvas/changed_box.h, which tells the pyramid too). Any other planes (the display copy ViewR/G/B that the
// stroke preview shows) get the cells a redraw reads made for the occasion, from those planes, by the same
// arithmetic: a cell is the same whichever way it was made, so a preview shows no seam and no stale pixel.

#include <cstdint>

#include "canvas/rectangles.h"
#include "platform/byte_plane.h"
#include "platform/native.h"

namespace brisel::Pyramid {

inline constexpr int32_t kPyramidLevels = 6;

// The planes changed over r (image pixels, far corner exclusive), or everywhere.
void MarkChanged(const PixelRect& r);
void MarkAllChanged();
// Drops the kept levels (new planes, or none).
void Forget();

// A source holding at least cells [cx0, cx1) x [cy0, cy1) of level `level` (1 .. kPyramidLevels) of R, G, B;
// valid until the next call. Level 0 is the planes themselves.
native::BlitSource Source(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t level, int32_t cx0,
                          int32_t cy0, int32_t cx1, int32_t cy1);

// Bytes held by the kept levels and the made-for-the-occasion cells.
uint64_t Bytes();

}  // namespace brisel::Pyramid
