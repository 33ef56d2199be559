#pragma once
// The stroke's dirty rectangle, StrokeMinX .. StrokeMaxY in image pixels: it covers every recorded point
// and every drawn sample, widened by BrushSize on each side.

namespace brisel::stroke {

// Grows the rectangle so that it holds (x, y) widened by BrushSize; each side only ever moves outwards.
void GrowStrokeRect(float x, float y);
// The same with a reach of its own, for a dab whose size exceeds BrushSize.
void GrowStrokeRectBy(float x, float y, float r);

}  // namespace brisel::stroke
