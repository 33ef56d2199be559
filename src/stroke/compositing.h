#pragma once
// Stroke compositing: the surface's stroke mask turned into colour over its image planes.
//
// For every pixel of a box of the image: the mask's coverage, thinned by the paper, reshaped by the coverage curve and
// scaled by the opacity, mixes the paint colour (directly, or through the blend mode's table) into the
// image pixel; the relief shades the result by the mask's slope. flags: bit 1 writes the display copy
// (viewR/G/B); bit 2 writes the image planes (planeR/G/B). The planes are always the source, so a preview
// never darkens itself.

#include <cstdint>

#include "canvas/rectangles.h"
#include "stroke/surface.h"

namespace brisel::stroke {

// Composites box, clipped to the image, and answers what it covered: the pixels it may have written (empty
// when the planes it needs do not hold the image). Nothing is shown.
PixelRect CompositeStroke(Surface& surface, const compositing::Brush& brush, int32_t flags, const PixelRect& box);
// The same, pixel by pixel as the arithmetic is written down; kept for tests and benchmarks.
PixelRect CompositeStrokeReference(Surface& surface, const compositing::Brush& brush, int32_t flags,
                                   const PixelRect& box);

// A piece of the stroke from (x1, y1) to (x2, y2), image pixels, composited: CompositeStroke over the box
// of the pixels its dabs may reach, the piece widened by the brush's size on every side (compositing::PixelBox).
// Answers the pixels it changed for the caller to show (with bit 1 from the display copy).
PixelRect RenderSegment(Surface& surface, const compositing::Brush& brush, int32_t flags, float x1, float y1, float x2,
                        float y2);
PixelRect RenderSegmentReference(Surface& surface, const compositing::Brush& brush, int32_t flags, float x1, float y1,
                                 float x2, float y2);

}  // namespace brisel::stroke
