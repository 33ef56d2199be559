// p_smoothblit: renders a rectangle of the three image planes into the 32-bit display bitmap.
//
// Bitmap pixels are 4 bytes: blue, green, red, then a pad byte written as 255, because the bitmap is shown
// through a surface that reads the fourth byte as opacity (0xffRRGGBB words).
//
// At zoom 1 a row is a straight interleave of the planes. At any other zoom the filter of smoothblit_taps.h
// (bilinear when magnifying, area average when shrinking) runs in two passes per bitmap row:
//   1. vertical: the row's source rows are weighted into one line of column values, a quad of 16-bit lanes
//      [blue, green, red, 0] per source column under the row's pixels;
//   2. horizontal: each bitmap pixel takes its columns' quads two at a time, one high multiply per pair,
//      and is rounded straight into blue, green, red, pad order.
// All weights come from per-call tables, so no pixel sees floating point, and the integer steps are exactly
// the reference's. SSE2 (every x86-64 has it) carries the loops; other machines take the plain loops.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/native.h"
#include "platform/native/smoothblit_taps.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisel::native {

namespace {

using smoothblit::AxisTaps;
using smoothblit::WeightPair;
using smoothblit::WindowFilter;
using smoothblit::kColumnShift;
using smoothblit::kPixelRound;
using smoothblit::kPixelShift;

// The three planes in the bitmap's byte order, their row length in bytes, and the cell their first byte holds
// (a part of a pyramid level made for one redraw starts somewhere inside the level).
struct Planes {
  const uint8_t* bgr[3];
  size_t rowLength;
  int32_t originX = 0, originY = 0;
  size_t at(int32_t x, int32_t y) const {
    return static_cast<size_t>(y - originY) * rowLength + static_cast<size_t>(x - originX);
  }
};

#if defined(__SSE2__)
// Sixteen pixels from sixteen bytes each of blue, green and red: blue, green, red, 255 each.
inline void StoreBgrx16(uint8_t* out, __m128i blue, __m128i green, __m128i red) {
  const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xff));
  const __m128i bgLo = _mm_unpacklo_epi8(blue, green), bgHi = _mm_unpackhi_epi8(blue, green);
  const __m128i raLo = _mm_unpacklo_epi8(red, opaque), raHi = _mm_unpackhi_epi8(red, opaque);
  __m128i* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, raLo));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, raLo));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, raHi));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, raHi));
}
#endif

#if defined(__SSE2__)
// Runs block(at) over n pixels sixteen at a time, the last block overlapping the one before (it writes the
// same values again); false, having run nothing, when n is under sixteen.
template <typename Block>
inline bool InBlocksOf16(int32_t n, Block&& block) {
  if (n < 16) return false;
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) block(i);
  if (i < n) block(n - 16);
  return true;
}
#endif

// Interleaves n pixels of one row: out gets blue, green, red, 255 for each.
void InterleaveRow(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* out, int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__)
  auto block = [&](int32_t at) {
    StoreBgrx16(out + static_cast<size_t>(at) * 4, _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + at)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + at)));
  };
  if (InBlocksOf16(n, block)) return;
#endif
  for (; i < n; ++i) {
    out[i * 4 + 0] = b[i];
    out[i * 4 + 1] = g[i];
    out[i * 4 + 2] = r[i];
    out[i * 4 + 3] = 255;
  }
}

// Zoom 1/2 and 1/4: every bitmap pixel is the mean of a k x k block of the planes starting at (k u, k v),
// which is what the general arithmetic comes to for these zooms: the row weights are 128 / k, the column
// weights 32768 / k, no step truncates, and the pixel is (block sum + k * k / 2) >> log2(k * k). Summing
// blocks directly takes a fraction of the general passes' work. Renders n pixels from column u0 of row v.
template <int kLog2>
void BoxRow(const Planes& planes, int32_t u0, int32_t n, int32_t v, uint8_t* out) {
  constexpr int32_t k = 1 << kLog2;
  const size_t rowLength = planes.rowLength;
  const size_t start = planes.at(u0 * k, v * k);
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i lowBytes = _mm_set1_epi16(0x00ff), ones = _mm_set1_epi16(1);
  const __m128i round = _mm_set1_epi16(k * k / 2);
  // Block sums of 16 columns' k rows: eight 2-wide sums (k = 2) or four 4-wide sums in 32-bit lanes (k = 4).
  auto pairSums = [&](const uint8_t* p) {
    __m128i even = _mm_setzero_si128(), odd = _mm_setzero_si128();
    for (int32_t t = 0; t < k; ++t) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + t * rowLength));
      even = _mm_add_epi16(even, _mm_and_si128(bytes, lowBytes));
      odd = _mm_add_epi16(odd, _mm_srli_epi16(bytes, 8));
    }
    return _mm_add_epi16(even, odd);
  };
  // Sixteen pixels of one channel, from 16 k columns.
  auto channel = [&](const uint8_t* p) {
    __m128i half[2];  // pixels 0-7 and 8-15 as 16-bit block sums
    for (int h = 0; h < 2; ++h) {
      const uint8_t* q = p + h * 8 * k;
      if constexpr (k == 2) {
        half[h] = pairSums(q);
      } else {
        half[h] = _mm_packs_epi32(_mm_madd_epi16(pairSums(q), ones), _mm_madd_epi16(pairSums(q + 16), ones));
      }
      half[h] = _mm_srli_epi16(_mm_add_epi16(half[h], round), 2 * kLog2);
    }
    return _mm_packus_epi16(half[0], half[1]);
  };
  auto block = [&](int32_t at) {
    const size_t from = start + static_cast<size_t>(at) * k;
    StoreBgrx16(out + static_cast<size_t>(at) * 4, channel(planes.bgr[0] + from), channel(planes.bgr[1] + from),
                channel(planes.bgr[2] + from));
  };
  if (InBlocksOf16(n, block)) return;
#endif
  for (; i < n; ++i) {
    for (int c = 0; c < 3; ++c) {
      const uint8_t* p = planes.bgr[c] + start + static_cast<size_t>(i) * k;
      uint32_t sum = 0;
      for (int32_t y = 0; y < k; ++y)
        for (int32_t x = 0; x < k; ++x) sum += p[y * rowLength + x];
      out[i * 4 + c] = static_cast<uint8_t>((sum + k * k / 2) >> (2 * kLog2));
    }
    out[i * 4 + 3] = 255;
  }
}

// Vertical pass: for source columns x0 .. x0 + n - 1, sum[x - x0] = [blue, green, red, 0], each channel the
// sum over t < count of w[t] * plane(x, firstRow + t). kTaps is count when known at compile time, else 0:
// with the rows unrolled every row has its own load, which keeps each one a plain sequential stream for the
// hardware prefetcher (one load walking all rows in turn defeats it and the pass waits on memory).
template <int kTaps>
void VerticalPass(const Planes& planes, int32_t x0, int32_t n, int32_t firstRow, int32_t count, const uint16_t* w,
                  uint16_t* sum) {
  const int32_t taps = kTaps ? kTaps : count;
  const size_t start = planes.at(x0, firstRow);
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const size_t rowLength = planes.rowLength;
  // Columns at .. at + 7 (lo) and at + 8 .. at + 15 (hi) of one channel, weighted over the rows.
  auto channel = [&](const uint8_t* p, __m128i& lo, __m128i& hi) {
    lo = hi = zero;
#pragma GCC unroll 8
    for (int32_t t = 0; t < taps; ++t) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + t * rowLength));
      const __m128i wt = _mm_set1_epi16(static_cast<int16_t>(w[t]));
      lo = _mm_add_epi16(lo, _mm_mullo_epi16(_mm_unpacklo_epi8(bytes, zero), wt));
      hi = _mm_add_epi16(hi, _mm_mullo_epi16(_mm_unpackhi_epi8(bytes, zero), wt));
    }
  };
  // Four quads from eight columns of blue, green and red.
  auto store = [&](__m128i* o, __m128i blue, __m128i green, __m128i red) {
    const __m128i bgLo = _mm_unpacklo_epi16(blue, green), bgHi = _mm_unpackhi_epi16(blue, green);
    const __m128i rLo = _mm_unpacklo_epi16(red, zero), rHi = _mm_unpackhi_epi16(red, zero);
    _mm_storeu_si128(o + 0, _mm_unpacklo_epi32(bgLo, rLo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi32(bgLo, rLo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi32(bgHi, rHi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi32(bgHi, rHi));
  };
  auto block = [&](int32_t at) {
    __m128i bLo, bHi, gLo, gHi, rLo, rHi;
    channel(planes.bgr[0] + start + at, bLo, bHi);
    channel(planes.bgr[1] + start + at, gLo, gHi);
    channel(planes.bgr[2] + start + at, rLo, rHi);
    __m128i* o = reinterpret_cast<__m128i*>(sum + static_cast<size_t>(at) * 4);
    store(o, bLo, gLo, rLo);
    store(o + 4, bHi, gHi, rHi);
  };
  if (InBlocksOf16(n, block)) return;
#endif
  for (; i < n; ++i) {
    for (int c = 0; c < 3; ++c) {
      const uint8_t* p = planes.bgr[c] + start + i;
      uint32_t s = 0;
      for (int32_t t = 0; t < taps; ++t, p += planes.rowLength) s += w[t] * *p;
      sum[i * 4 + c] = static_cast<uint16_t>(s);
    }
    sum[i * 4 + 3] = 0;
  }
}

using VerticalFn = void (*)(const Planes&, int32_t, int32_t, int32_t, int32_t, const uint16_t*, uint16_t*);

// Zooms down to 1/7 read at most 8 rows a bitmap row; smaller ones take the loop that is not unrolled.
VerticalFn VerticalFor(int32_t count) {
  static constexpr VerticalFn kUnrolled[] = {&VerticalPass<0>, &VerticalPass<1>, &VerticalPass<2>,
                                             &VerticalPass<3>, &VerticalPass<4>, &VerticalPass<5>,
                                             &VerticalPass<6>, &VerticalPass<7>, &VerticalPass<8>};
  return count < 9 ? kUnrolled[count] : &VerticalPass<0>;
}

#if defined(__SSE2__)
// Horizontal pass: bitmap pixels k0 .. k0 + n - 1 of the columns' range (column columns.begin + k0 on) from the
// quads of sum, whose quad 0 is source column origin. kStride is the taps' stride when known at compile time,
// else 0.
template <int kStride>
void HorizontalPass(const uint16_t* sum, int32_t origin, const AxisTaps& columns, const WeightPair* weightPairs,
                    int32_t k0, int32_t n, uint8_t* out) {
  const int32_t stride = kStride ? kStride : columns.stride;
  const int32_t* first = columns.first.data() + k0;
  weightPairs += static_cast<size_t>(k0) * (stride / 2);
  // One pixel in the low four 16-bit lanes (blue, green, red, 0), in 1/64 steps.
  auto pixel = [&](int32_t k) {
    const uint16_t* quads = sum + static_cast<size_t>(first[k] - origin) * 4;
    const WeightPair* w = weightPairs + static_cast<size_t>(k) * (stride / 2);
    __m128i total = _mm_setzero_si128();
#pragma GCC unroll 4
    for (int32_t t = 0; t < stride; t += 2) {
      // Quads t and t + 1 at once, against (w[t] x 4, w[t + 1] x 4).
      const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quads + t * 4));
      const __m128i weights = _mm_load_si128(reinterpret_cast<const __m128i*>(w[t / 2].lanes));
      total = _mm_add_epi16(total, _mm_mulhi_epu16(two, weights));
    }
    return _mm_add_epi16(total, _mm_srli_si128(total, 8));
  };
  const __m128i round = _mm_set1_epi16(kPixelRound);
  const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xff000000u));
  // Two pixels' lanes side by side, rounded to bytes (in 16-bit lanes).
  auto two = [&](__m128i a, __m128i b) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(a, b), round), kPixelShift);
  };
  int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128i p01 = two(pixel(k), pixel(k + 1));
    const __m128i p23 = two(pixel(k + 2), pixel(k + 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<size_t>(k) * 4),
                     _mm_or_si128(_mm_packus_epi16(p01, p23), opaque));
  }
  for (; k < n; ++k) {
    const __m128i p = two(pixel(k), _mm_setzero_si128());
    const int32_t bgra = _mm_cvtsi128_si32(_mm_or_si128(_mm_packus_epi16(p, p), opaque));
    std::memcpy(out + static_cast<size_t>(k) * 4, &bgra, sizeof bgra);
  }
}

#else
// Horizontal pass, plainly: as above, one channel and one tap at a time.
void HorizontalPass(const uint16_t* sum, int32_t origin, const AxisTaps& columns, int32_t k0, int32_t n,
                    uint8_t* out) {
  for (int32_t k = 0; k < n; ++k) {
    const uint16_t* quads = sum + static_cast<size_t>(columns.first[k0 + k] - origin) * 4;
    const uint16_t* w = columns.weightsOf(columns.begin + k0 + k);
    for (int c = 0; c < 3; ++c) {
      uint32_t total = kPixelRound;
      for (int32_t t = 0; t < columns.stride; ++t) total += uint32_t{quads[t * 4 + c]} * w[t] >> kColumnShift;
      out[k * 4 + c] = static_cast<uint8_t>(total >> kPixelShift);
    }
    out[k * 4 + 3] = 255;
  }
}
#endif


// Each output's weights as high-multiply operands, pairs of taps side by side.
std::vector<WeightPair> WeightPairs(const AxisTaps& columns) {
  const size_t pairs = static_cast<size_t>(columns.end - columns.begin) * (columns.stride / 2);
  std::vector<WeightPair> out(pairs);
  for (size_t i = 0; i < pairs; ++i)
    for (int lane = 0; lane < 8; ++lane) out[i].lanes[lane] = columns.weights[2 * i + lane / 4];
  return out;
}

// The filter of bitmap pixels [u0, u1) x [v0, v1) from cellsWidth x cellsHeight cells at levelZoom.
void MakeFilter(int32_t cellsWidth, int32_t cellsHeight, double extentWidth, double extentHeight, double levelZoom,
                int32_t u0, int32_t u1, int32_t v0, int32_t v1, WindowFilter& filter) {
  filter.levelZoom = levelZoom;
  filter.hasTaps = !(levelZoom == 1.0 || levelZoom == 0.5 || levelZoom == 0.25);
  if (!filter.hasTaps || u1 <= u0 || v1 <= v0) return;
  filter.columns = smoothblit::MakeAxisTaps(u0, u1, levelZoom, cellsWidth, smoothblit::kColumnScale, extentWidth);
  filter.rows = smoothblit::MakeAxisTaps(v0, v1, levelZoom, cellsHeight, smoothblit::kRowScale, extentHeight);
#if defined(__SSE2__)
  filter.pairs = WeightPairs(filter.columns);
#endif
}

// Renders bitmap pixels [u0, u1) x [v0, v1) from planes whose cells are image pixels scaled down by 2^level,
// with the filter at levelZoom = zoom * 2^level relative to those cells, made for pixels that hold these;
// out is pixel (u0, v0).
void RenderWindow(const Planes& planes, const WindowFilter& filter, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                  uint8_t* out, size_t outStride) {
  using namespace smoothblit;
  auto bitmapRow = [&](int32_t v) { return out + static_cast<size_t>(v - v0) * outStride * 4; };
  if (filter.levelZoom == 1.0) {
    for (int32_t v = v0; v < v1; ++v) {
      const size_t at = planes.at(u0, v);
      InterleaveRow(planes.bgr[2] + at, planes.bgr[1] + at, planes.bgr[0] + at, bitmapRow(v), u1 - u0);
    }
    return;
  }
  if (!filter.hasTaps) {
    const auto box = filter.levelZoom == 0.5 ? &BoxRow<1> : &BoxRow<2>;
    for (int32_t v = v0; v < v1; ++v) box(planes, u0, u1 - u0, v, bitmapRow(v));
    return;
  }

  const AxisTaps& columns = filter.columns;
  const AxisTaps& rows = filter.rows;
  const int32_t k0 = u0 - columns.begin, n = u1 - u0;
  // Source columns these pixels read; the padded weight slots past the end read zeros.
  const int32_t origin = columns.first[k0];  // first[] never decreases
  int32_t sourceEnd = origin;
  for (int32_t k = k0; k < k0 + n; ++k) sourceEnd = std::max(sourceEnd, columns.first[k] + columns.count[k]);
  const int32_t width = sourceEnd - origin;
  std::vector<uint16_t> sums(static_cast<size_t>(width + columns.stride) * 4, 0);

#if defined(__SSE2__)
  auto horizontal = &HorizontalPass<0>;
  if (columns.stride == 2) horizontal = &HorizontalPass<2>;
  if (columns.stride == 4) horizontal = &HorizontalPass<4>;
  if (columns.stride == 6) horizontal = &HorizontalPass<6>;
  if (columns.stride == 8) horizontal = &HorizontalPass<8>;
#endif
  for (int32_t v = v0; v < v1; ++v) {
    const int32_t k = v - rows.begin;
    VerticalFor(rows.count[k])(planes, origin, width, rows.first[k], rows.count[k], rows.weightsOf(v), sums.data());
#if defined(__SSE2__)
    horizontal(sums.data(), origin, columns, filter.pairs.data(), k0, n, bitmapRow(v));
#else
    HorizontalPass(sums.data(), origin, columns, k0, n, bitmapRow(v));
#endif
  }
}

double LevelZoom(float zoom, int32_t level) { return static_cast<double>(zoom) * static_cast<double>(1 << level); }

Planes PlanesOf(const BlitSource& source) {
  return Planes{{source.b, source.g, source.r}, static_cast<size_t>(source.stride), source.originX, source.originY};
}

}  // namespace

int32_t PyramidLevelFor(float zoom, int32_t levels) {
  int32_t level = 0;
  while (level < levels && static_cast<double>(zoom) * static_cast<double>(2 << level) <= 1.0) ++level;
  return level;
}

void MakeWindowFilter(const BlitSource& shape, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                      smoothblit::WindowFilter& filter) {
  MakeFilter(shape.width, shape.height, shape.extentWidth, shape.extentHeight, LevelZoom(zoom, shape.level), u0, u1,
             v0, v1, filter);
}

void SmoothblitReads(const smoothblit::WindowFilter& filter, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                     int32_t& cx0, int32_t& cy0, int32_t& cx1, int32_t& cy1) {
  cx0 = cy0 = cx1 = cy1 = 0;
  if (u1 <= u0 || v1 <= v0) return;
  if (!filter.hasTaps) {
    const int32_t k = filter.levelZoom == 1.0 ? 1 : filter.levelZoom == 0.5 ? 2 : 4;
    cx0 = u0 * k, cx1 = u1 * k, cy0 = v0 * k, cy1 = v1 * k;
    return;
  }
  const int32_t c0 = u0 - filter.columns.begin, r0 = v0 - filter.rows.begin;
  cx0 = filter.columns.first[c0], cy0 = filter.rows.first[r0];
  for (int32_t k = c0; k < u1 - filter.columns.begin; ++k)
    cx1 = std::max(cx1, filter.columns.first[k] + filter.columns.count[k]);
  for (int32_t k = r0; k < v1 - filter.rows.begin; ++k) cy1 = std::max(cy1, filter.rows.first[k] + filter.rows.count[k]);
}

void SmoothblitReads(const BlitSource& source, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                     int32_t& cx0, int32_t& cy0, int32_t& cx1, int32_t& cy1) {
  smoothblit::WindowFilter filter;
  MakeWindowFilter(source, zoom, u0, u1, v0, v1, filter);
  SmoothblitReads(filter, u0, u1, v0, v1, cx0, cy0, cx1, cy1);
}

void p_smoothblit_window(const BlitSource& source, const smoothblit::WindowFilter& filter, int32_t u0, int32_t u1,
                         int32_t v0, int32_t v1, uint8_t* out, int32_t outStride) {
  if (u1 <= u0 || v1 <= v0 || source.width < 1 || source.height < 1) return;
  RenderWindow(PlanesOf(source), filter, u0, u1, v0, v1, out, static_cast<size_t>(outStride));
}

void p_smoothblit_window(const BlitSource& source, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                         uint8_t* out, int32_t outStride) {
  if (u1 <= u0 || v1 <= v0 || source.width < 1 || source.height < 1) return;
  smoothblit::WindowFilter filter;
  MakeWindowFilter(source, zoom, u0, u1, v0, v1, filter);
  RenderWindow(PlanesOf(source), filter, u0, u1, v0, v1, out, static_cast<size_t>(outStride));
}

void p_smoothblit(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bits, int32_t x1, int32_t y1,
                  int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight, int32_t zoomedWidth,
                  int32_t zoomedHeight, int32_t dibWidth, float zoom) {
  using namespace smoothblit;
  BlitSpan s;
  if (!FindBlitSpan(x1, y1, x2, y2, planeWidth, planeHeight, zoomedWidth, zoomedHeight, dibWidth, zoom, s)) return;
  const Planes planes{{b, g, r}, static_cast<size_t>(s.planeWidth)};
  WindowFilter filter;
  MakeFilter(s.planeWidth, s.planeHeight, 0.0, 0.0, zoom, s.u0, s.u1, s.v0, s.v1, filter);
  RenderWindow(planes, filter, s.u0, s.u1, s.v0, s.v1, bits + (static_cast<size_t>(s.v0) * dibWidth + s.u0) * 4,
               static_cast<size_t>(dibWidth));
}

}  // namespace brisel::native
