// RenderSegment pixel by pixel, each step as the arithmetic is written; the reference for the fast one.

#include <algorithm>

#include "stroke/compositing.h"
#include "stroke/compositing_parts.h"

namespace brisel::stroke {
namespace {

// Coverage c thinned by the paper texel at (x, y): c - (strength * texel) div 255, at least 0.
int32_t Thin(const Surface& surface, int32_t c, int32_t x, int32_t y, int32_t paperStrength) {
  if (paperStrength < 1) return c;
  const int64_t texel = surface.paper(x % surface.paperWidth, y % surface.paperHeight);
  return int32_t(std::max<int64_t>(c - int64_t(paperStrength) * texel / 255, 0));
}

}  // namespace

PixelRect CompositeStrokeReference(Surface& surface, const compositing::Brush& brush, int32_t flags,
                                   const PixelRect& area) {
  const compositing::Ink ink = compositing::ReadInk(brush, surface);
  const PixelRect box = Intersection(area, {0, 0, surface.width, surface.height});
  if (!compositing::PlanesReady(surface, flags) || box.empty()) return {};
  BytePlane* planes[3] = {&surface.planeR, &surface.planeG, &surface.planeB};
  BytePlane* views[3] = {&surface.viewR, &surface.viewG, &surface.viewB};
  const BytePlane& mask = surface.mask;
  const int32_t width = surface.width, height = surface.height;
  for (int32_t y = box.y1; y < box.y2; ++y) {
    for (int32_t x = box.x1; x < box.x2; ++x) {
      int32_t c = Thin(surface, mask(x, y), x, y, ink.paperStrength);
      if (ink.curve) c = ink.curve[c];
      const int32_t a = compositing::Opacity(c, ink.opacity);
      if (a <= 0) continue;
      int32_t d = 0;
      const bool relief = ink.relief && x >= 2 && x < width - 2 && y >= 2 && y < height - 2;
      if (relief) {
        d = Thin(surface, mask(x + 1, y + 1), x + 1, y + 1, ink.paperStrength) -
            Thin(surface, mask(x - 1, y - 1), x - 1, y - 1, ink.paperStrength);
      }
      for (int ch = 0; ch < 3; ++ch) {
        const int32_t i = (*planes[ch])(x, y), p = ink.paint[ch];
        int32_t v = !ink.layer ? ((255 - a) * i + p * a) / 255 : (ink.layer[p * 256 + i] * a + (255 - a) * i) / 255;
        if (relief) v = std::clamp(v + d, 0, 255);
        if (flags & 1) (*views[ch])(x, y) = uint8_t(v);
        if (flags & 2) (*planes[ch])(x, y) = uint8_t(v);
      }
    }
  }
  return box;
}

PixelRect RenderSegmentReference(Surface& surface, const compositing::Brush& brush, int32_t flags, float x1, float y1,
                                 float x2, float y2) {
  const PixelRect box = compositing::PixelBox(x1, y1, x2, y2, brush.size, surface.width, surface.height);
  return CompositeStrokeReference(surface, brush, flags, box);
}

}  // namespace brisel::stroke
