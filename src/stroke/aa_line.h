#pragma once
// The straight pieces of a stroke: a row of round anti-aliased dabs stamped into the stroke mask,
// spaced by the "Step" slider along the whole stroke.

#include <cstdint>

#include "stroke/stroke.h"

namespace brisel::stroke {

// The Euclidean distance of (xa, ya) and (xb, yb). The square of the x difference is rounded to float
// before the y square is added; the sum and its root are taken in double and the result is a float.
float Distance(float xa, float ya, float xb, float yb);

// Walks from (x0, y0) to (x1, y1), image pixels, in steps of one pixel, the dab size sliding from Bsize1
// to BSize2, and stamps a dab (AAcpen, strength press / 255) whenever the distance walked since the last
// dab, the stroke's StepDistance, reaches the brush's step percent of Bsize1. StepDistance carries over from
// piece to piece and from stroke to stroke; a piece of no finite length counts nothing. The dabs go into the
// surface's mask, and nowhere while the mask does not hold the image.
void AALine(Stroke& s, Surface& surface, const compositing::Brush& brush, float x0, float y0, float x1, float y1,
            float Bsize1, float BSize2);

}  // namespace brisel::stroke
