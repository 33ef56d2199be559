#pragma once
// Stroke compositing: the stroke mask FXbuffer turned into colour over the image planes.
//
// For every pixel of a box of the image: the mask's coverage, thinned by the paper, reshaped by the coverage curve and
// scaled by the opacity, mixes the paint colour (directly, or through the blend mode's table) into the
// image pixel; the relief shades the result by the mask's slope. flags: bit 1 writes the display copy
// ViewR/G/B; bit 2 writes the image planes PlaneR/G/B. The planes are always the source, so a preview never
// darkens itself.

#include <cstdint>

#include "canvas/rectangles.h"

namespace brisel::stroke {

// Composites box, clipped to the image, and answers what it covered: the pixels it may have written (empty
// when the planes it needs do not hold the image). Nothing is shown.
PixelRect CompositeStroke(int32_t flags, const PixelRect& box);
// The same, pixel by pixel as the arithmetic is written down; kept for tests and benchmarks.
PixelRect CompositeStrokeReference(int32_t flags, const PixelRect& box);

// A piece of the stroke from (x1, y1) to (x2, y2), image pixels, composited: CompositeStroke over the box
// of the pixels its dabs may reach, the piece widened by BrushSize on every side (compositing::PixelBox).
// Answers the pixels it changed for the caller to show (with bit 1 from the display copy).
PixelRect RenderSegment(int32_t flags, float x1, float y1, float x2, float y2);
PixelRect RenderSegmentReference(int32_t flags, float x1, float y1, float x2, float y2);

}  // namespace brisel::stroke
