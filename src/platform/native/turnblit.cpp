// The turned view's pixels: each window pixel's point stepped across the row in 16.16 fixed point, and the
// four cells around it mixed with 8-bit weights, as the upright magnified display mixes them.
//
// A pixel shows cell point q; the cells' centres sit at k + 0.5, so the taps are floor(q - 0.5) and the
// one after, weighted by the fraction of q - 0.5. A point that falls exactly on a cell centre (a quarter turn
// at zoom 1) takes that cell alone. Per pixel and plane, with wx, wy the weights in 256ths:
//   top = left * (256 - wx) + right * wx, bottom likewise (each at most 255 * 256),
//   value = (top * (256 - wy) + bottom * wy + 32768) >> 16.
//
// The window is walked in tiles, so that a tile's rows read a patch of the source that the caches and the
// TLB hold, not a source row per pixel or two across the whole window (each row a page of its own). Each
// window row is split once into the margin off the image (the back colour), the pixels whose four taps all
// lie inside the held cells and the image, mixed without a clamp or a branch, and the edges between, taken
// one by one. The inside pixels go eight at a time with AVX2 where the processor has it (their taps
// gathered from the tile's rows interleaved in pairs beforehand), else four at a time with SSE2.
// Every path computes the same integers, so the output does not depend on the processor.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/native.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace brisel::native {
namespace {

constexpr int64_t kOne = 1 << 16, kHalf = kOne / 2;
bool gVectors = true;  // UseTurnblitVectors
// A tile of window pixels. Turned 30 degrees at zoom 1, a 128 x 128 tile reads about 180 x 180 cells of each
// plane; of tiles 16 to 256 wide and 32 to 256 tall it drew the window the fastest at zooms 1, 1.5 and 4 (at
// zoom 1 in under half the time whole rows take).
constexpr int32_t kTileWidth = 128, kTileHeight = 128;

// The planes in the window's byte order, addressed from cell (0, 0), and the call's fixed-point frame.
struct Frame {
  const uint8_t* bgr[3];
  int64_t stride;
  int32_t cx0, cy0, cx1, cy1;  // the held cells
  int64_t extentX, extentY;    // the image's end in 16.16 cells
  int64_t stepX, stepY;        // a window pixel to the right, in 16.16 cells
  uint32_t backPixel;
};

inline uint32_t Mix(const uint8_t* p, int64_t stride, int32_t xa, int32_t xb, int32_t ya, int32_t yb, uint32_t wx,
                    uint32_t wy) {
  const uint8_t* top = p + ya * stride;
  const uint8_t* bottom = p + yb * stride;
  const uint32_t t = top[xa] * (256 - wx) + top[xb] * wx;
  const uint32_t b = bottom[xa] * (256 - wx) + bottom[xb] * wx;
  return (t * (256 - wy) + b * wy + 32768) >> 16;
}

// Any pixel: the back colour off the image, else the taps clamped to the held cells.
inline uint32_t EdgePixel(const Frame& f, int64_t fx, int64_t fy) {
  if (fx < 0 || fy < 0 || fx >= f.extentX || fy >= f.extentY) return f.backPixel;
  const int64_t sx = fx - kHalf, sy = fy - kHalf;
  const int32_t x0 = int32_t(sx >> 16), y0 = int32_t(sy >> 16);
  const uint32_t wx = uint32_t(sx >> 8) & 0xFF, wy = uint32_t(sy >> 8) & 0xFF;
  const int32_t xa = std::clamp(x0, f.cx0, f.cx1 - 1), xb = std::clamp(x0 + 1, f.cx0, f.cx1 - 1);
  const int32_t ya = std::clamp(y0, f.cy0, f.cy1 - 1), yb = std::clamp(y0 + 1, f.cy0, f.cy1 - 1);
  return Mix(f.bgr[0], f.stride, xa, xb, ya, yb, wx, wy) | Mix(f.bgr[1], f.stride, xa, xb, ya, yb, wx, wy) << 8 |
         Mix(f.bgr[2], f.stride, xa, xb, ya, yb, wx, wy) << 16 | 0xFF000000u;
}

// A pixel whose taps are all held: EdgePixel without its tests.
inline uint32_t InsidePixel(const Frame& f, int64_t fx, int64_t fy) {
  const int64_t sx = fx - kHalf, sy = fy - kHalf;
  const int32_t x0 = int32_t(sx >> 16), y0 = int32_t(sy >> 16);
  const uint32_t wx = uint32_t(sx >> 8) & 0xFF, wy = uint32_t(sy >> 8) & 0xFF;
  return Mix(f.bgr[0], f.stride, x0, x0 + 1, y0, y0 + 1, wx, wy) |
         Mix(f.bgr[1], f.stride, x0, x0 + 1, y0, y0 + 1, wx, wy) << 8 |
         Mix(f.bgr[2], f.stride, x0, x0 + 1, y0, y0 + 1, wx, wy) << 16 | 0xFF000000u;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  const int64_t q = a / b;
  return q - (a % b != 0 && a < 0);
}

// The pixels i of [0, n) with lo <= v + i * step < hi, as [first, last) (empty: first >= last).
void RunWithin(int64_t v, int64_t step, int64_t lo, int64_t hi, int32_t n, int32_t& first, int32_t& last) {
  int64_t a = 0, b = 0;
  if (lo >= hi) {
  } else if (step == 0) {
    if (v >= lo && v < hi) a = 0, b = n;
  } else if (step > 0) {
    a = -FloorDiv(v - lo, step), b = -FloorDiv(v - hi, step);  // ceil((lo - v) / step), ceil((hi - v) / step)
  } else {
    a = FloorDiv(v - hi, -step) + 1, b = FloorDiv(v - lo, -step) + 1;
  }
  first = int32_t(std::clamp<int64_t>(a, 0, n)), last = int32_t(std::clamp<int64_t>(b, 0, n));
}

#if defined(__SSE2__)
// A plane's four taps of a pixel in one word: left, right, then left and right a row below.
inline uint32_t Quad(const uint8_t* p, int64_t at, int64_t stride) {
  uint16_t top, bottom;
  std::memcpy(&top, p + at, 2);
  std::memcpy(&bottom, p + at + stride, 2);
  return uint32_t(top) | uint32_t(bottom) << 16;
}

// One plane of four pixels from their quads. wxLo, wxHi: the words [256 - wx, wx] twice for pixels 0, 1 and
// 2, 3; wy: [256 - wy, wy] for each pixel. The row mixes reach 65280, past a signed word, so the column mix
// takes their high and low bytes apart: top * (256 - wy) + bottom * wy = 256 * high + low.
inline __m128i Mix4(__m128i quads, __m128i wxLo, __m128i wxHi, __m128i wy) {
  const __m128i zero = _mm_setzero_si128(), lowByte = _mm_set1_epi32(0xFF);
  const __m128i rows01 = _mm_madd_epi16(_mm_unpacklo_epi8(quads, zero), wxLo);  // top0, bottom0, top1, bottom1
  const __m128i rows23 = _mm_madd_epi16(_mm_unpackhi_epi8(quads, zero), wxHi);
  const __m128i high = _mm_madd_epi16(_mm_packs_epi32(_mm_srli_epi32(rows01, 8), _mm_srli_epi32(rows23, 8)), wy);
  const __m128i low =
      _mm_madd_epi16(_mm_packs_epi32(_mm_and_si128(rows01, lowByte), _mm_and_si128(rows23, lowByte)), wy);
  return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high, 8), low), _mm_set1_epi32(32768)), 16);
}

// The weight words [256 - w, w] of four pixels whose 16.16 points, less a half, are v (low 32 bits each).
inline __m128i WeightPairs(__m128i v) {
  const __m128i w = _mm_and_si128(_mm_srli_epi32(v, 8), _mm_set1_epi32(0xFF));
  return _mm_or_si128(_mm_sub_epi32(_mm_set1_epi32(256), w), _mm_slli_epi32(w, 16));
}

// Pixels [0, n) of an inside run from point (fx, fy), four at a time; returns how many were drawn.
int32_t InsideRun4(const Frame& f, int64_t fx, int64_t fy, int32_t n, uint32_t* row) {
  const int32_t quads = n / 4;
  if (quads == 0) return 0;
  int64_t sx = fx - kHalf, sy = fy - kHalf;
  const int64_t sx4 = 4 * f.stepX, sy4 = 4 * f.stepY;
  __m128i vx = _mm_setr_epi32(int32_t(sx), int32_t(sx + f.stepX), int32_t(sx + 2 * f.stepX), int32_t(sx + 3 * f.stepX));
  __m128i vy = _mm_setr_epi32(int32_t(sy), int32_t(sy + f.stepY), int32_t(sy + 2 * f.stepY), int32_t(sy + 3 * f.stepY));
  const __m128i vx4 = _mm_set1_epi32(int32_t(sx4)), vy4 = _mm_set1_epi32(int32_t(sy4));
  const uint8_t* const blue = f.bgr[0];
  const uint8_t* const green = f.bgr[1];
  const uint8_t* const red = f.bgr[2];
  const int64_t stride = f.stride;
  const __m128i opaque = _mm_set1_epi32(int32_t(0xFF000000u));
  for (int32_t q = 0; q < quads; ++q, sx += sx4, sy += sy4) {
    int64_t at[4];
    for (int k = 0; k < 4; ++k) at[k] = ((sy + k * f.stepY) >> 16) * stride + ((sx + k * f.stepX) >> 16);
    const __m128i qb = _mm_setr_epi32(int32_t(Quad(blue, at[0], stride)), int32_t(Quad(blue, at[1], stride)),
                                      int32_t(Quad(blue, at[2], stride)), int32_t(Quad(blue, at[3], stride)));
    const __m128i qg = _mm_setr_epi32(int32_t(Quad(green, at[0], stride)), int32_t(Quad(green, at[1], stride)),
                                      int32_t(Quad(green, at[2], stride)), int32_t(Quad(green, at[3], stride)));
    const __m128i qr = _mm_setr_epi32(int32_t(Quad(red, at[0], stride)), int32_t(Quad(red, at[1], stride)),
                                      int32_t(Quad(red, at[2], stride)), int32_t(Quad(red, at[3], stride)));
    const __m128i px = WeightPairs(vx), wy = WeightPairs(vy);
    const __m128i wxLo = _mm_unpacklo_epi32(px, px), wxHi = _mm_unpackhi_epi32(px, px);
    const __m128i b = Mix4(qb, wxLo, wxHi, wy), g = Mix4(qg, wxLo, wxHi, wy), r = Mix4(qr, wxLo, wxHi, wy);
    const __m128i pixels = _mm_or_si128(_mm_or_si128(b, _mm_slli_epi32(g, 8)), _mm_or_si128(_mm_slli_epi32(r, 16), opaque));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * q), pixels);
    vx = _mm_add_epi32(vx, vx4), vy = _mm_add_epi32(vy, vy4);
  }
  return 4 * quads;
}
#else
int32_t InsideRun4(const Frame&, int64_t, int64_t, int32_t, uint32_t*) { return 0; }
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define BRISEL_AVX2 __attribute__((target("avx2")))
// Mix4 for eight pixels. Either axis may go first (weights wxLo, wxHi), the other second (wy): the sum of
// the four taps' products is the same.
BRISEL_AVX2 inline __m256i Mix8(__m256i quads, __m256i wxLo, __m256i wxHi, __m256i wy) {
  const __m256i zero = _mm256_setzero_si256(), lowByte = _mm256_set1_epi32(0xFF);
  const __m256i rows01 = _mm256_madd_epi16(_mm256_unpacklo_epi8(quads, zero), wxLo);
  const __m256i rows23 = _mm256_madd_epi16(_mm256_unpackhi_epi8(quads, zero), wxHi);
  const __m256i high =
      _mm256_madd_epi16(_mm256_packs_epi32(_mm256_srli_epi32(rows01, 8), _mm256_srli_epi32(rows23, 8)), wy);
  const __m256i low = _mm256_madd_epi16(
      _mm256_packs_epi32(_mm256_and_si256(rows01, lowByte), _mm256_and_si256(rows23, lowByte)), wy);
  return _mm256_srli_epi32(
      _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(high, 8), low), _mm256_set1_epi32(32768)), 16);
}

BRISEL_AVX2 inline __m256i WeightPairs8(__m256i v) {
  const __m256i w = _mm256_and_si256(_mm256_srli_epi32(v, 8), _mm256_set1_epi32(0xFF));
  return _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(256), w), _mm256_slli_epi32(w, 16));
}

// Whether the processor runs the AVX2 paths.
bool HasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
#else
bool HasAvx2() { return false; }
#endif

// With AVX2, each plane's rows of a tile are first interleaved in pairs, each cell's byte beside the one
// below it, so that one gather fetches a plane's four taps of a pixel (left, below it, right, below that).
struct RowPairs {
  std::vector<uint16_t> pairs[3];  // per plane: (x, y) at (y - y0) * width + x - x0, (x, y + 1) its high byte
  int32_t x0 = 0, y0 = 0, width = 0;
};

// Pairs for cells [x0, x1 + 1] x [y0, y1] (the right taps of cells up to x1), within the held cells.
void MakeRowPairs(const Frame& f, int32_t x0, int32_t y0, int32_t x1, int32_t y1, RowPairs& q) {
  q.x0 = x0, q.y0 = y0, q.width = x1 + 2 - x0;
  for (int k = 0; k < 3; ++k) {
    q.pairs[k].resize(size_t(q.width) * size_t(y1 - y0 + 1));
    uint16_t* to = q.pairs[k].data();
    for (int32_t y = y0; y <= y1; ++y, to += q.width) {
      const uint8_t* top = f.bgr[k] + y * f.stride;
      const uint8_t* bottom = top + f.stride;
      int32_t x = x0;
#if defined(__SSE2__)
      for (; x + 15 <= x1 + 1; x += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (x - x0)), _mm_unpacklo_epi8(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (x - x0) + 8), _mm_unpackhi_epi8(a, b));
      }
#endif
      for (; x <= x1 + 1; ++x) to[x - x0] = uint16_t(top[x] | bottom[x] << 8);
    }
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Pixels [0, n) of an inside run from point (fx, fy), eight at a time from the pairs; returns how many. The
// taps come column by column, so the columns are mixed first.
BRISEL_AVX2 int32_t InsideRunPairs(const Frame& f, const RowPairs& q, int64_t fx, int64_t fy, int32_t n,
                                   uint32_t* row) {
  const int32_t steps = n / 8;
  if (steps == 0) return 0;
  const int64_t sx = fx - kHalf, sy = fy - kHalf;
  const int64_t cellX = sx >> 16, cellY = sy >> 16;
  const __m256i k = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i vx = _mm256_add_epi32(_mm256_set1_epi32(int32_t(sx - cellX * kOne)),
                                _mm256_mullo_epi32(k, _mm256_set1_epi32(int32_t(f.stepX))));
  __m256i vy = _mm256_add_epi32(_mm256_set1_epi32(int32_t(sy - cellY * kOne)),
                                _mm256_mullo_epi32(k, _mm256_set1_epi32(int32_t(f.stepY))));
  const __m256i vx8 = _mm256_set1_epi32(int32_t(8 * f.stepX)), vy8 = _mm256_set1_epi32(int32_t(8 * f.stepY));
  const int64_t base = (cellY - q.y0) * q.width + (cellX - q.x0);
  const int* const blue = reinterpret_cast<const int*>(q.pairs[0].data() + base);
  const int* const green = reinterpret_cast<const int*>(q.pairs[1].data() + base);
  const int* const red = reinterpret_cast<const int*>(q.pairs[2].data() + base);
  const __m256i width = _mm256_set1_epi32(q.width), opaque = _mm256_set1_epi32(int32_t(0xFF000000u));
  for (int32_t s = 0; s < steps; ++s) {
    const __m256i at =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(vy, 16), width), _mm256_srai_epi32(vx, 16));
    const __m256i py = WeightPairs8(vy), wx = WeightPairs8(vx);
    const __m256i wyLo = _mm256_unpacklo_epi32(py, py), wyHi = _mm256_unpackhi_epi32(py, py);
    const __m256i b = Mix8(_mm256_i32gather_epi32(blue, at, 2), wyLo, wyHi, wx);
    const __m256i g = Mix8(_mm256_i32gather_epi32(green, at, 2), wyLo, wyHi, wx);
    const __m256i r = Mix8(_mm256_i32gather_epi32(red, at, 2), wyLo, wyHi, wx);
    const __m256i pixels = _mm256_or_si256(_mm256_or_si256(b, _mm256_slli_epi32(g, 8)),
                                           _mm256_or_si256(_mm256_slli_epi32(r, 16), opaque));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 8 * s), pixels);
    vx = _mm256_add_epi32(vx, vx8), vy = _mm256_add_epi32(vy, vy8);
  }
  return 8 * steps;
}
#endif

// A window row: its first pixel's point, and its pixels split into the margin off the image before
// `shown`, the edge before `first`, the inside run [first, last), the edge before `hidden` and the margin
// from there on.
struct RowPlan {
  int64_t fx, fy;
  int32_t shown, first, last, hidden;
};

RowPlan PlanRow(const Frame& f, int64_t fx, int64_t fy, int32_t n) {
  int32_t ax, bx, ay, by;
  RunWithin(fx, f.stepX, 0, f.extentX, n, ax, bx);
  RunWithin(fy, f.stepY, 0, f.extentY, n, ay, by);
  RowPlan plan{fx, fy, std::max(ax, ay), 0, 0, 0};
  plan.hidden = std::max(plan.shown, std::min(bx, by));
  // Inside: the image, and both taps of each axis within the held cells (x0 >= cx0, x0 + 1 <= cx1 - 1).
  RunWithin(fx, f.stepX, std::max<int64_t>(0, int64_t(f.cx0) * kOne + kHalf),
            std::min<int64_t>(f.extentX, int64_t(f.cx1 - 1) * kOne + kHalf), n, ax, bx);
  RunWithin(fy, f.stepY, std::max<int64_t>(0, int64_t(f.cy0) * kOne + kHalf),
            std::min<int64_t>(f.extentY, int64_t(f.cy1 - 1) * kOne + kHalf), n, ay, by);
  plan.first = std::clamp(std::max(ax, ay), plan.shown, plan.hidden);
  plan.last = std::clamp(std::min(bx, by), plan.first, plan.hidden);
  return plan;
}

// Pixels [i0, i1) of a planned row.
void DrawRow(const Frame& f, const RowPlan& plan, const RowPairs* pairs, int32_t i0, int32_t i1, uint32_t* row) {
  auto fx = [&](int32_t i) { return plan.fx + i * f.stepX; };
  auto fy = [&](int32_t i) { return plan.fy + i * f.stepY; };
  int32_t i = i0;
  if (const int32_t end = std::min(i1, plan.shown); i < end) std::fill(row + i, row + end, f.backPixel), i = end;
  for (const int32_t end = std::min(i1, plan.first); i < end; ++i) row[i] = EdgePixel(f, fx(i), fy(i));
#if defined(__x86_64__) && defined(__GNUC__)
  if (const int32_t end = std::min(i1, plan.last); pairs && i < end)
    i += InsideRunPairs(f, *pairs, fx(i), fy(i), end - i, row + i);
#else
  (void)pairs;  // made only for the AVX2 path
#endif
  if (const int32_t end = std::min(i1, plan.last); i < end) {
    if (gVectors) i += InsideRun4(f, fx(i), fy(i), end - i, row + i);
    for (; i < end; ++i) row[i] = InsidePixel(f, fx(i), fy(i));
  }
  for (const int32_t end = std::min(i1, plan.hidden); i < end; ++i) row[i] = EdgePixel(f, fx(i), fy(i));
  if (i < i1) std::fill(row + i, row + i1, f.backPixel);
}

}  // namespace

void p_turnblit(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height, uint32_t back,
                uint8_t* out, int32_t outStride) {
  if (width <= 0 || height <= 0 || span.cx1 <= span.cx0 || span.cy1 <= span.cy0) {
    for (int32_t j = 0; j < height; ++j) std::fill_n(reinterpret_cast<uint32_t*>(out + int64_t(j) * outStride * 4),
                                                    std::max(width, 0), back | 0xFF000000u);
    return;
  }
  // The planes' addresses of cell (0, 0), and the held cells in the same counting.
  const int64_t shift = -int64_t(source.originY) * source.stride - source.originX;
  const Frame f{{source.b + shift, source.g + shift, source.r + shift},
                source.stride,
                span.cx0,
                span.cy0,
                span.cx1,
                span.cy1,
                int64_t(std::floor(source.extentWidth * kOne)),
                int64_t(std::floor(source.extentHeight * kOne)),
                std::llround(span.iqx * kOne),
                std::llround(span.iqy * kOne),
                back | 0xFF000000u};
  RowPlan plans[kTileHeight];
  // With AVX2 the tiles' rows are paired first. Against gathering each row's taps from the planes themselves
  // that took a tenth off at zoom 1, a fifth at zooms 1.5 and 4; against loading magnified tiles' cells laid
  // out as 16-byte records of all their taps, a twentieth at zoom 4 and a tenth at zoom 2. The program's steps
  // are at most two cells, so a tile reads at most 512 x 512 cells; longer steps take the SSE2 path.
  const bool paired = gVectors && HasAvx2() && std::abs(f.stepX) <= 2 * kOne && std::abs(f.stepY) <= 2 * kOne;
  static thread_local RowPairs pairs;
  for (int32_t j0 = 0; j0 < height; j0 += kTileHeight) {
    const int32_t j1 = std::min(height, j0 + kTileHeight);
    // Each row starts from its own exact point, so the fixed-point steps drift by a row's length at most.
    for (int32_t j = j0; j < j1; ++j)
      plans[j - j0] = PlanRow(f, std::llround((span.qx + j * span.jqx) * kOne),
                              std::llround((span.qy + j * span.jqy) * kOne), width);
    for (int32_t i0 = 0; i0 < width; i0 += kTileWidth) {
      const int32_t i1 = std::min(width, i0 + kTileWidth);
      const RowPairs* tilePairs = nullptr;
      if (paired) {
        // The cells the tile's inside runs read from: its rows' ends, within the cells whose four taps are held.
        int64_t sx0 = INT64_MAX, sy0 = INT64_MAX, sx1 = INT64_MIN, sy1 = INT64_MIN;
        for (int32_t j = j0; j < j1; ++j) {
          const RowPlan& p = plans[j - j0];
          const int32_t a = std::max(i0, p.first), b = std::min(i1, p.last);
          if (a >= b) continue;
          for (const int32_t i : {a, b - 1}) {
            const int64_t sx = p.fx + i * f.stepX - kHalf, sy = p.fy + i * f.stepY - kHalf;
            sx0 = std::min(sx0, sx), sx1 = std::max(sx1, sx), sy0 = std::min(sy0, sy), sy1 = std::max(sy1, sy);
          }
        }
        if (sx0 <= sx1) {
          MakeRowPairs(f, int32_t(sx0 >> 16), int32_t(sy0 >> 16), int32_t(sx1 >> 16), int32_t(sy1 >> 16), pairs);
          tilePairs = &pairs;
        }
      }
      for (int32_t j = j0; j < j1; ++j)
        DrawRow(f, plans[j - j0], tilePairs, i0, i1,
                reinterpret_cast<uint32_t*>(out + int64_t(j) * outStride * 4));
    }
  }
}
void UseTurnblitVectors(bool use) { gVectors = use; }

void p_turnblit_reference(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height,
                          uint32_t back, uint8_t* out, int32_t outStride) {
  const uint8_t* planes[3] = {source.b, source.g, source.r};
  for (int32_t j = 0; j < height; ++j)
    for (int32_t i = 0; i < width; ++i) {
      uint8_t* p = out + (int64_t(j) * outStride + i) * 4;
      const double qx = span.qx + i * span.iqx + j * span.jqx, qy = span.qy + i * span.iqy + j * span.jqy;
      if (!(qx >= 0 && qy >= 0 && qx < source.extentWidth && qy < source.extentHeight) || span.cx1 <= span.cx0 ||
          span.cy1 <= span.cy0) {
        for (int k = 0; k < 3; ++k) p[k] = uint8_t(back >> (8 * k));
        p[3] = 255;
        continue;
      }
      const double sx = qx - 0.5, sy = qy - 0.5;
      const double fx = std::floor(sx), fy = std::floor(sy);
      const double wx = sx - fx, wy = sy - fy;
      const int32_t xa = std::clamp(int32_t(fx), span.cx0, span.cx1 - 1);
      const int32_t xb = std::clamp(int32_t(fx) + 1, span.cx0, span.cx1 - 1);
      const int32_t ya = std::clamp(int32_t(fy), span.cy0, span.cy1 - 1);
      const int32_t yb = std::clamp(int32_t(fy) + 1, span.cy0, span.cy1 - 1);
      for (int k = 0; k < 3; ++k) {
        auto cell = [&](int32_t x, int32_t y) {
          return double(planes[k][int64_t(y - source.originY) * source.stride + (x - source.originX)]);
        };
        const double v = (cell(xa, ya) * (1 - wx) + cell(xb, ya) * wx) * (1 - wy) +
                         (cell(xa, yb) * (1 - wx) + cell(xb, yb) * wx) * wy;
        p[k] = uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
      }
      p[3] = 255;
    }
}

}  // namespace brisel::native
