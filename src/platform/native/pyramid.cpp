// p_halve: one level of the display's image pyramid from the level below it. Each cell is the rounded mean of
// the two-by-two cells under it; at an odd right or bottom edge the missing column or row repeats the last
// one, which makes the same rounded mean of the one or two cells that exist.

#include <algorithm>
#include <cstddef>

#include "platform/native.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisel::native {

namespace {

// n cells from whole pairs of columns of rows a and b: out[i] = (a[2i] + a[2i+1] + b[2i] + b[2i+1] + 2) >> 2.
void HalvePairs(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i lowBytes = _mm_set1_epi16(0x00ff), two = _mm_set1_epi16(2);
  auto eight = [&](const uint8_t* p, const uint8_t* q) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(x, lowBytes), _mm_srli_epi16(x, 8)),
                                      _mm_add_epi16(_mm_and_si128(y, lowBytes), _mm_srli_epi16(y, 8)));
    return _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i lo = eight(a + 2 * i, b + 2 * i), hi = eight(a + 2 * i + 16, b + 2 * i + 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<uint8_t>((a[2 * i] + a[2 * i + 1] + b[2 * i] + b[2 * i + 1] + 2) >> 2);
}

}  // namespace

void p_halve(const uint8_t* src, int32_t srcStride, int32_t srcWidth, int32_t srcHeight, int32_t srcOriginX,
             int32_t srcOriginY, uint8_t* dst, int32_t dstStride, int32_t dstOriginX, int32_t dstOriginY, int32_t cx0,
             int32_t cy0, int32_t cx1, int32_t cy1) {
  if (cx1 <= cx0 || cy1 <= cy0 || srcWidth < 1 || srcHeight < 1) return;
  const int32_t pairsEnd = std::min(cx1, srcWidth / 2);  // cells whose two columns both exist
  for (int32_t y = cy0; y < cy1; ++y) {
    const int32_t ya = 2 * y, yb = std::min(2 * y + 1, srcHeight - 1);
    const uint8_t* a = src + static_cast<ptrdiff_t>(ya - srcOriginY) * srcStride - srcOriginX;
    const uint8_t* b = src + static_cast<ptrdiff_t>(yb - srcOriginY) * srcStride - srcOriginX;
    uint8_t* out = dst + static_cast<ptrdiff_t>(y - dstOriginY) * dstStride - dstOriginX;
    if (pairsEnd > cx0) HalvePairs(a + 2 * cx0, b + 2 * cx0, out + cx0, pairsEnd - cx0);
    for (int32_t x = std::max(cx0, pairsEnd); x < cx1; ++x) {  // the last, single column
      const int32_t xa = std::min(2 * x, srcWidth - 1);
      out[x] = static_cast<uint8_t>((a[xa] + b[xa] + 1) >> 1);
    }
  }
}

}  // namespace brisel::native
