// RenderSegment: the stroke mask composited into the display copy or the image planes.
//
// The arithmetic per pixel (integers throughout, div truncating):
//   c = mask, less (paper strength * texel) div 255 (not below 0), then through the coverage curve;
//   a = N(c * opacity) div 255; a pixel with a = 0 is not written at all;
//   v = (b * a + (255 - a) * i) div 255 per channel, i the image's value and b the paint component p
//       (mode 0) or the blend table's (p, i) for the mode;
//   relief: v + (mask(x + 1, y + 1) - mask(x - 1, y - 1)), each neighbour thinned by its own texel,
//       held to 0..255, two pixels or more inside the image's border.
// RenderSegmentReference does exactly that pixel by pixel. Here the work is arranged by row: a run of a
// row turns into its a values first (the paper, curve and opacity folded into 256-entry tables built once a
// call, or, with no curve and a whole opacity, computed in vector lanes), a run whose a values are all 0
// is skipped, and then each channel is mixed along the run in a loop without branches (a = 0 selects the
// old value), reading the blend table's row for the fixed paint component.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "stroke/compositing.h"
#include "stroke/compositing_parts.h"

namespace brisel::stroke {
namespace {

constexpr int32_t kRun = 256;  // pixels of a row handled at a time

// The two hot loops are built for AVX2 as well as for the baseline, and the loader picks what the processor
// runs: twice the vector width nearly halves a commit on machines that have it.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__)
#define BRISEL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define BRISEL_VECTOR_CLONES
#endif

struct Tables {
  uint8_t alpha[256];     // thinned coverage -> a: the curve and the opacity in one look-up
  uint8_t thin[256];      // paper texel -> what it takes from the coverage, at most 255
  uint8_t flat[3][256];   // mode 0: the paint component whatever the image's value, so one loop serves
  const uint8_t* mix[3];  // per channel: b as a function of the image's value i
  // Without a curve and with a whole opacity (the slider's values), a = c * opacity div 255 exactly, which
  // runs in vector lanes; otherwise -1 and a comes from alpha.
  int32_t wholeOpacity = -1;
};

void BuildTables(const compositing::Ink& ink, Tables& t) {
  for (int32_t c = 0; c < 256; ++c) {
    const int32_t curved = ink.curve ? ink.curve[c] : c;
    t.alpha[c] = uint8_t(compositing::Opacity(curved, ink.opacity));
    t.thin[c] = uint8_t(std::min<int64_t>(int64_t(ink.paperStrength) * c / 255, 255));
  }
  for (int ch = 0; ch < 3; ++ch) {
    std::memset(t.flat[ch], ink.paint[ch], 256);
    t.mix[ch] = ink.layer ? ink.layer + size_t(ink.paint[ch]) * 256 : t.flat[ch];
  }
  if (!ink.curve && ink.opacity >= 0 && ink.opacity <= 255 && ink.opacity == std::floor(ink.opacity))
    t.wholeOpacity = int32_t(ink.opacity);
}

// x div 255 for 0 <= x <= 65025, in 16-bit arithmetic (exact over that range: checked exhaustively).
inline uint16_t Div255(uint16_t x) { return uint16_t((x + 1 + (x >> 8)) >> 8); }

// Coverage of n pixels of row y from column x on, thinned by the paper (paperStrength >= 1).
void ThinnedRun(const Surface& surface, const Tables& t, int32_t x, int32_t y, int32_t n, int16_t* out) {
  const uint8_t* fx = surface.mask.row(y) + x;
  const uint8_t* texels = surface.paper.row(y % surface.paperHeight);
  int32_t px = x % surface.paperWidth;
  for (int32_t k = 0; k < n; ++k) {
    out[k] = int16_t(std::max(fx[k] - t.thin[texels[px]], 0));
    if (++px == surface.paperWidth) px = 0;
  }
}

// a for n pixels of row y from column x on; false when every one is 0 (nothing to write).
BRISEL_VECTOR_CLONES bool OpacityRun(const Surface& surface, const Tables& t, int32_t paperStrength, int32_t x,
                                     int32_t y, int32_t n, uint8_t* __restrict a, int16_t* __restrict scratch) {
  uint8_t any = 0;
  if (paperStrength >= 1) {
    ThinnedRun(surface, t, x, y, n, scratch);
    for (int32_t k = 0; k < n; ++k) any |= a[k] = t.alpha[scratch[k]];
    return any != 0;
  }
  const uint8_t* __restrict fx = surface.mask.row(y) + x;
  if (t.wholeOpacity >= 0) {
    const uint16_t opacity = uint16_t(t.wholeOpacity);
    for (int32_t k = 0; k < n; ++k) any |= a[k] = uint8_t(Div255(uint16_t(fx[k] * opacity)));
  } else {
    for (int32_t k = 0; k < n; ++k) any |= a[k] = t.alpha[fx[k]];
  }
  return any != 0;
}

// The relief's slope for a run: mask(x + 1, y + 1) - mask(x - 1, y - 1), each thinned by its own texel, on
// the columns two or more pixels from the border, 0 elsewhere. False when the run has no such column.
bool SlopeRun(const Surface& surface, const Tables& t, int32_t paperStrength, int32_t x, int32_t y, int32_t n,
              int16_t* slope, int16_t* below, int16_t* above) {
  const int32_t from = std::max(x, 2), to = std::min(x + n, surface.width - 2);  // columns [from, to)
  if (from >= to) return false;
  std::fill_n(slope, n, int16_t(0));
  const int32_t m = to - from;
  if (paperStrength >= 1) {
    ThinnedRun(surface, t, from + 1, y + 1, m, below);
    ThinnedRun(surface, t, from - 1, y - 1, m, above);
  } else {
    std::copy_n(surface.mask.row(y + 1) + from + 1, m, below);
    std::copy_n(surface.mask.row(y - 1) + from - 1, m, above);
  }
  for (int32_t k = 0; k < m; ++k) slope[from - x + k] = int16_t(below[k] - above[k]);
  return true;
}

// One channel along a run: dst[k] = v where a[k] > 0, unchanged elsewhere; in place (dst is the source
// plane) the unchanged value is the source's own. b a + (255 - a) i = 255 i + a (b - i): its true value is
// 0..65025, so it is computed in 16 bits (wrapping in between harmlessly) and the loop runs in 16-bit
// vector lanes; only the blend table's look-up stays scalar.
template <bool kRelief, bool kInPlace, bool kTable>
BRISEL_VECTOR_CLONES void MixRun(int32_t n, const uint8_t* __restrict a, const int16_t* __restrict d,
                                 const uint8_t* src, const uint8_t* __restrict mix, uint8_t paint, uint8_t* dst) {
  for (int32_t k = 0; k < n; ++k) {
    const uint16_t A = a[k], I = src[k];
    const uint16_t B = kTable ? mix[I] : paint;
    const uint16_t v = Div255(uint16_t(255 * I + A * (B - I)));
    if constexpr (kRelief) {
      const int16_t w = std::clamp(int16_t(v + d[k]), int16_t(0), int16_t(255));
      dst[k] = A ? uint8_t(w) : kInPlace ? uint8_t(I) : dst[k];
    } else if constexpr (kInPlace) {
      dst[k] = uint8_t(v);  // a = 0 gives v = i: the pixel keeps its value
    } else {
      dst[k] = A ? uint8_t(v) : dst[k];
    }
  }
}

template <bool kInPlace>
void MixChannel(bool relief, bool table, int32_t n, const uint8_t* a, const int16_t* d, const uint8_t* src,
                const uint8_t* mix, uint8_t* dst) {
  const uint8_t paint = mix[0];  // mode 0: the flat row
  if (table) {
    if (relief) MixRun<true, kInPlace, true>(n, a, d, src, mix, paint, dst);
    else MixRun<false, kInPlace, true>(n, a, d, src, mix, paint, dst);
  } else {
    if (relief) MixRun<true, kInPlace, false>(n, a, d, src, mix, paint, dst);
    else MixRun<false, kInPlace, false>(n, a, d, src, mix, paint, dst);
  }
}

}  // namespace

PixelRect CompositeStroke(Surface& surface, const compositing::Brush& brush, int32_t flags, const PixelRect& area) {
  const compositing::Ink ink = compositing::ReadInk(brush, surface);
  const PixelRect box = Intersection(area, {0, 0, surface.width, surface.height});
  if (!compositing::PlanesReady(surface, flags) || box.empty()) return {};
  Tables t;
  BuildTables(ink, t);
  BytePlane* planes[3] = {&surface.planeR, &surface.planeG, &surface.planeB};
  BytePlane* views[3] = {&surface.viewR, &surface.viewG, &surface.viewB};
  const bool table = ink.layer != nullptr;
  int16_t scratch[kRun], above[kRun], below[kRun], slope[kRun];
  uint8_t a[kRun];
  for (int32_t y = box.y1; y < box.y2; ++y) {
    const bool reliefRow = ink.relief && y >= 2 && y < surface.height - 2;
    for (int32_t x = box.x1; x < box.x2; x += kRun) {
      const int32_t n = std::min(kRun, box.x2 - x);
      if (!OpacityRun(surface, t, ink.paperStrength, x, y, n, a, scratch)) continue;
      const bool relief = reliefRow && SlopeRun(surface, t, ink.paperStrength, x, y, n, slope, below, above);
      for (int ch = 0; ch < 3; ++ch) {
        const uint8_t* src = planes[ch]->row(y) + x;
        if (flags & 1) MixChannel<false>(relief, table, n, a, slope, src, t.mix[ch], views[ch]->row(y) + x);
        if (flags & 2) MixChannel<true>(relief, table, n, a, slope, src, t.mix[ch], planes[ch]->row(y) + x);
      }
    }
  }
  return box;
}

PixelRect RenderSegment(Surface& surface, const compositing::Brush& brush, int32_t flags, float x1, float y1, float x2,
                        float y2) {
  const PixelRect box = compositing::PixelBox(x1, y1, x2, y2, brush.size, surface.width, surface.height);
  return CompositeStroke(surface, brush, flags, box);
}

}  // namespace brisel::stroke
