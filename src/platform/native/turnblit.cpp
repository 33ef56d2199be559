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
// one by one. The inside pixels go eight at a time with AVX2 where the processor has it (their taps read
// from records of the tile's cells laid out beforehand, all three planes' taps of a cell side by side), else
// four at a time with SSE2.
// Every path computes the same integers, so the output does not depend on the processor.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/native.h"
#include "platform/quad_reach.h"

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
// A tile of window pixels. Turned 30 degrees at zoom 1, a 256 x 128 tile reads a turned square of about
// 33,000 cells of each plane (its bounding box holds 68,000); of tiles 64 to 256 wide and 64 to 256 tall it
// drew the window the fastest at zooms 0.25, 1 and 4 (128 x 128 a tenth slower at zoom 1, 256 x 64 and
// 64 x 64 slower still).
constexpr int32_t kTileWidth = 256, kTileHeight = 128;

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
    const __m128i pixels =
        _mm_or_si128(_mm_or_si128(b, _mm_slli_epi32(g, 8)), _mm_or_si128(_mm_slli_epi32(r, 16), opaque));
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

// With AVX2, a tile's cells are first laid out as records of eight bytes, one a cell: its blue, the blue
// below it, its green, the green below, its red, the red below, and two pads. A pixel's four taps of all three
// planes are then the sixteen bytes of two neighbouring records, fetched in one load. A turned tile reads a
// turned square of cells, so each row holds only the cells its part of that square reads.
struct CellRecords {
  std::vector<uint64_t> records;
  std::vector<int64_t> rowStart;  // cell (x, y) at records[rowStart[y - y0] + x]
  std::vector<int32_t> lo, hi;    // row y holds cells [lo[y - y0], hi[y - y0]]
  int32_t y0 = 0;
};

// Records for rows [y0, y1], row y holding cells [lo(y), hi(y)] (none where hi < lo), within the held cells.
// The tile's rows of the planes are far apart in memory and short, too short for the processor to see
// coming: each is fetched a few rows ahead.
template <typename Reach>
void MakeCellRecords(const Frame& f, int32_t y0, int32_t y1, Reach reach, CellRecords& q) {
  constexpr int32_t kAhead = 6;
  q.y0 = y0;
  q.rowStart.resize(size_t(y1 - y0 + 1));
  q.lo.resize(q.rowStart.size()), q.hi.resize(q.rowStart.size());
  size_t count = 0;
  for (int32_t y = y0; y <= y1; ++y) {
    int32_t& lo = q.lo[size_t(y - y0)];
    int32_t& hi = q.hi[size_t(y - y0)];
    reach(y, lo, hi);
    q.rowStart[size_t(y - y0)] = int64_t(count) - lo;
    count += size_t(std::max(0, hi + 1 - lo));
  }
  q.records.resize(count);
  auto fetch = [&](int32_t y) {
    if (y > y1 + 1) return;
    const size_t r = size_t(std::min(y, y1) - y0);
    for (int k = 0; k < 3; ++k)
      for (int32_t x = q.lo[r]; x <= q.hi[r]; x += 64) __builtin_prefetch(f.bgr[k] + y * f.stride + x);
  };
  for (int32_t y = y0; y < std::min(y1 + 2, y0 + kAhead); ++y) fetch(y);
  for (int32_t y = y0; y <= y1; ++y) {
    fetch(y + kAhead);
    int32_t x = q.lo[size_t(y - y0)];
    const int32_t last = q.hi[size_t(y - y0)];
    uint8_t* to = reinterpret_cast<uint8_t*>(q.records.data() + q.rowStart[size_t(y - y0)] + x);
    const int64_t at = y * f.stride;
    const uint8_t *blue = f.bgr[0] + at, *green = f.bgr[1] + at, *red = f.bgr[2] + at;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    for (; x + 15 <= last; x += 16, to += 128) {
      const __m128i bt = load(blue + x), bb = load(blue + x + f.stride);
      const __m128i gt = load(green + x), gb = load(green + x + f.stride);
      const __m128i rt = load(red + x), rb = load(red + x + f.stride);
      const __m128i b2[2] = {_mm_unpacklo_epi8(bt, bb), _mm_unpackhi_epi8(bt, bb)};
      const __m128i g2[2] = {_mm_unpacklo_epi8(gt, gb), _mm_unpackhi_epi8(gt, gb)};
      const __m128i r2[2] = {_mm_unpacklo_epi8(rt, rb), _mm_unpackhi_epi8(rt, rb)};
      for (int h = 0; h < 2; ++h) {  // cells 0-7, then 8-15
        const __m128i bg[2] = {_mm_unpacklo_epi16(b2[h], g2[h]), _mm_unpackhi_epi16(b2[h], g2[h])};
        const __m128i r0[2] = {_mm_unpacklo_epi16(r2[h], zero), _mm_unpackhi_epi16(r2[h], zero)};
        for (int k = 0; k < 2; ++k) {
          __m128i* out = reinterpret_cast<__m128i*>(to + 64 * h + 32 * k);
          _mm_storeu_si128(out, _mm_unpacklo_epi32(bg[k], r0[k]));
          _mm_storeu_si128(out + 1, _mm_unpackhi_epi32(bg[k], r0[k]));
        }
      }
    }
#endif
    for (; x <= last; ++x, to += 8) {
      const uint8_t cell[8] = {blue[x],  blue[x + f.stride], green[x], green[x + f.stride],
                               red[x],   red[x + f.stride],  0,        0};
      std::memcpy(to, cell, 8);
    }
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// One register of two pixels' taps (records x and x + 1, the second pixel's in the high half) mixed: the
// column first by wy ([256 - wy, wy] words), then the row by the dwords 256 - wx and wx, which the high
// half takes from its own pixel. Gives the blue, green, red and a zero, as dwords.
BRISEL_AVX2 inline __m256i MixRecords(__m256i taps, __m256i wy, __m256i wxLeft, __m256i wxRight) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i left = _mm256_madd_epi16(_mm256_unpacklo_epi8(taps, zero), wy);
  const __m256i right = _mm256_madd_epi16(_mm256_unpackhi_epi8(taps, zero), wy);
  const __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(left, wxLeft), _mm256_mullo_epi32(right, wxRight));
  return _mm256_srli_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(32768)), 16);
}

// The taps of two pixels, from their left records.
BRISEL_AVX2 inline __m256i Taps(const uint64_t* a, const uint64_t* b) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Pixels [0, n) of an inside run from point (fx, fy), eight at a time from the records; returns how many.
// Register k holds pixels k and k + 4, so that packing the four gives the eight in order.
BRISEL_AVX2 int32_t InsideRunRecords(const Frame& f, const CellRecords& q, int64_t fx, int64_t fy, int32_t n,
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
  const __m256i toRow = _mm256_set1_epi32(int32_t(cellY - q.y0)), toColumn = _mm256_set1_epi32(int32_t(cellX));
  const __m256i opaque = _mm256_set1_epi32(int32_t(0xFF000000u));
  const __m256i byte = _mm256_set1_epi32(0xFF), full = _mm256_set1_epi32(256);
  const uint64_t* const records = q.records.data();
  const int64_t* const start = q.rowStart.data();
  alignas(32) int32_t rows[8], columns[8];
  for (int32_t s = 0; s < steps; ++s) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(rows), _mm256_add_epi32(_mm256_srai_epi32(vy, 16), toRow));
    _mm256_store_si256(reinterpret_cast<__m256i*>(columns), _mm256_add_epi32(_mm256_srai_epi32(vx, 16), toColumn));
    auto left = [&](int p) { return records + start[rows[p]] + columns[p]; };
    const __m256i wy = WeightPairs8(vy);
    const __m256i wxRight = _mm256_and_si256(_mm256_srli_epi32(vx, 8), byte);
    const __m256i wxLeft = _mm256_sub_epi32(full, wxRight);
    const __m256i p0 = MixRecords(Taps(left(0), left(4)), _mm256_shuffle_epi32(wy, 0x00),
                                  _mm256_shuffle_epi32(wxLeft, 0x00), _mm256_shuffle_epi32(wxRight, 0x00));
    const __m256i p1 = MixRecords(Taps(left(1), left(5)), _mm256_shuffle_epi32(wy, 0x55),
                                  _mm256_shuffle_epi32(wxLeft, 0x55), _mm256_shuffle_epi32(wxRight, 0x55));
    const __m256i p2 = MixRecords(Taps(left(2), left(6)), _mm256_shuffle_epi32(wy, 0xAA),
                                  _mm256_shuffle_epi32(wxLeft, 0xAA), _mm256_shuffle_epi32(wxRight, 0xAA));
    const __m256i p3 = MixRecords(Taps(left(3), left(7)), _mm256_shuffle_epi32(wy, 0xFF),
                                  _mm256_shuffle_epi32(wxLeft, 0xFF), _mm256_shuffle_epi32(wxRight, 0xFF));
    const __m256i pixels = _mm256_packus_epi16(_mm256_packus_epi32(p0, p1), _mm256_packus_epi32(p2, p3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 8 * s), _mm256_or_si256(pixels, opaque));
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
void DrawRow(const Frame& f, const RowPlan& plan, const CellRecords* records, int32_t i0, int32_t i1, uint32_t* row) {
  auto fx = [&](int32_t i) { return plan.fx + i * f.stepX; };
  auto fy = [&](int32_t i) { return plan.fy + i * f.stepY; };
  int32_t i = i0;
  if (const int32_t end = std::min(i1, plan.shown); i < end) std::fill(row + i, row + end, f.backPixel), i = end;
  for (const int32_t end = std::min(i1, plan.first); i < end; ++i) row[i] = EdgePixel(f, fx(i), fy(i));
#if defined(__x86_64__) && defined(__GNUC__)
  if (const int32_t end = std::min(i1, plan.last); records && i < end)
    i += InsideRunRecords(f, *records, fx(i), fy(i), end - i, row + i);
#else
  (void)records;  // made only for the AVX2 path
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
  // With AVX2 each tile's cells are laid out as records first, a row holding only the cells of the tile's
  // turned square (with the rows fetched ahead). Against gathering each row's taps from the planes themselves
  // in interleaved pairs of rows, that took a quarter off at zoom 0.25, a tenth at zoom 1 and three tenths at
  // zoom 4. The program's steps are at most two cells, so a tile reads at most 512 x 256 cells; longer steps
  // take the SSE2 path.
  const bool recorded = gVectors && HasAvx2() && std::abs(f.stepX) <= 2 * kOne && std::abs(f.stepY) <= 2 * kOne;
  static thread_local CellRecords records;
  for (int32_t j0 = 0; j0 < height; j0 += kTileHeight) {
    const int32_t j1 = std::min(height, j0 + kTileHeight);
    // Each row starts from its own exact point, so the fixed-point steps drift by a row's length at most.
    for (int32_t j = j0; j < j1; ++j)
      plans[j - j0] = PlanRow(f, std::llround((span.qx + j * span.jqx) * kOne),
                              std::llround((span.qy + j * span.jqy) * kOne), width);
    for (int32_t i0 = 0; i0 < width; i0 += kTileWidth) {
      const int32_t i1 = std::min(width, i0 + kTileWidth);
      const CellRecords* tileRecords = nullptr;
      if (recorded) {
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
          // Those points lie in the turned square of the tile's pixels (its corner rows' points; the rows
          // between start within a 65536th of a cell of it). A row of records holds the cells of the points
          // whose left taps lie in it, and the taps to their right, a cell to spare either side.
          platform::QuadCorner square[4];
          const RowPlan& top = plans[0];
          const RowPlan& bottom = plans[j1 - 1 - j0];
          const int32_t corners[4][2] = {{i0, 0}, {i1 - 1, 0}, {i1 - 1, 1}, {i0, 1}};
          for (int c = 0; c < 4; ++c) {
            const RowPlan& p = corners[c][1] ? bottom : top;
            square[c] = {double(p.fx + corners[c][0] * f.stepX - kHalf) / kOne,
                         double(p.fy + corners[c][0] * f.stepY - kHalf) / kOne};
          }
          const int32_t xLeast = int32_t(sx0 >> 16), xMost = int32_t(sx1 >> 16) + 1;
          auto reach = [&](int32_t y, int32_t& lo, int32_t& hi) {
            double left, right;
            if (!platform::QuadReach(square, y - 0.01, y + 1.01, left, right)) {
              lo = 0, hi = -1;
              return;
            }
            lo = std::max(xLeast, int32_t(std::floor(left)) - 1);
            hi = std::min(xMost, int32_t(std::floor(right)) + 2);
          };
          MakeCellRecords(f, int32_t(sy0 >> 16), int32_t(sy1 >> 16), reach, records);
          tileRecords = &records;
        }
      }
      for (int32_t j = j0; j < j1; ++j)
        DrawRow(f, plans[j - j0], tileRecords, i0, i1,
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
