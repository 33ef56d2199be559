// RenderSegment pixel by pixel, each step as the arithmetic is written; the reference for the fast one.

#include <algorithm>

#include "state/shared_state.h"
#include "stroke/compositing.h"
#include "stroke/compositing_parts.h"

namespace brisel::stroke {
namespace {

// Coverage c thinned by the paper texel at (x, y): c - (strength * texel) div 255, at least 0.
int32_t Thin(int32_t c, int32_t x, int32_t y, int32_t paperStrength) {
  if (paperStrength < 1) return c;
  const int64_t texel = PaperTexture(x % PaperWidth, y % PaperHeight);
  return int32_t(std::max<int64_t>(c - int64_t(paperStrength) * texel / 255, 0));
}

}  // namespace

PixelRect CompositeStrokeReference(int32_t flags, const PixelRect& area) {
  const compositing::Brush brush = compositing::ReadBrush();
  const PixelRect box = Intersection(area, {0, 0, ImageWidth, ImageHeight});
  if (!compositing::PlanesReady(flags) || box.empty()) return {};
  BytePlane* planes[3] = {&PlaneR, &PlaneG, &PlaneB};
  BytePlane* views[3] = {&ViewR, &ViewG, &ViewB};
  for (int32_t y = box.y1; y < box.y2; ++y) {
    for (int32_t x = box.x1; x < box.x2; ++x) {
      int32_t c = Thin(FXbuffer(x, y), x, y, brush.paperStrength);
      if (brush.curve >= 0) c = CoverageEntry(c, brush.curve);
      const int32_t a = compositing::Opacity(c, brush.opacity);
      if (a <= 0) continue;
      int32_t d = 0;
      const bool relief = brush.relief && x >= 2 && x < ImageWidth - 2 && y >= 2 && y < ImageHeight - 2;
      if (relief) {
        d = Thin(FXbuffer(x + 1, y + 1), x + 1, y + 1, brush.paperStrength) -
            Thin(FXbuffer(x - 1, y - 1), x - 1, y - 1, brush.paperStrength);
      }
      for (int ch = 0; ch < 3; ++ch) {
        const int32_t i = (*planes[ch])(x, y), p = brush.paint[ch];
        int32_t v = brush.layer < 0 ? ((255 - a) * i + p * a) / 255
                                    : (BlendEntry(p, i, brush.layer) * a + (255 - a) * i) / 255;
        if (relief) v = std::clamp(v + d, 0, 255);
        if (flags & 1) (*views[ch])(x, y) = uint8_t(v);
        if (flags & 2) (*planes[ch])(x, y) = uint8_t(v);
      }
    }
  }
  return box;
}

PixelRect RenderSegmentReference(int32_t flags, float x1, float y1, float x2, float y2) {
  return CompositeStrokeReference(flags, compositing::PixelBox(x1, y1, x2, y2, BrushSize));
}

}  // namespace brisel::stroke
