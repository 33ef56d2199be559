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
// gathered, or, magnified, loaded from the tile's cells laid out beforehand), else four at a time with SSE2.
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
// A tile of window pixels. Turned 30 degrees at zoom 1, a 64 x 128 tile reads about 140 source rows of each
// plane, 120 cells of each; of tiles 16 to 256 wide and 32 to 128 tall it drew the window the fastest at
// zooms 1 and 4 (at zoom 1 in under half the time whole rows take).
constexpr int32_t kTileWidth = 64, kTileHeight = 128;

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
// With AVX2, eight pixels a step, and each row's two taps of a plane gathered as one 32-bit word at the left
// tap (so two cells past the right one are read too: such a run ends three cells before the held ones do).
// The gather's offsets are 32-bit, from the run's first cell.
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

BRISEL_AVX2 inline __m256i Quads8(const uint8_t* p, __m256i at, __m256i below) {
  const int* words = reinterpret_cast<const int*>(p);
  const __m256i top = _mm256_i32gather_epi32(words, at, 1), bottom = _mm256_i32gather_epi32(words, below, 1);
  return _mm256_or_si256(_mm256_and_si256(top, _mm256_set1_epi32(0xFFFF)), _mm256_slli_epi32(bottom, 16));
}

// Pixels [0, n) of a gathering run from point (fx, fy), eight at a time; returns how many were drawn.
BRISEL_AVX2 int32_t InsideRun8(const Frame& f, int64_t fx, int64_t fy, int32_t n, uint32_t* row) {
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
  const int64_t base = cellY * f.stride + cellX;
  const uint8_t* const blue = f.bgr[0] + base;
  const uint8_t* const green = f.bgr[1] + base;
  const uint8_t* const red = f.bgr[2] + base;
  const __m256i stride = _mm256_set1_epi32(int32_t(f.stride)), opaque = _mm256_set1_epi32(int32_t(0xFF000000u));
  for (int32_t s = 0; s < steps; ++s) {
    const __m256i at =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(vy, 16), stride), _mm256_srai_epi32(vx, 16));
    const __m256i below = _mm256_add_epi32(at, stride);
    const __m256i px = WeightPairs8(vx), wy = WeightPairs8(vy);
    const __m256i wxLo = _mm256_unpacklo_epi32(px, px), wxHi = _mm256_unpackhi_epi32(px, px);
    const __m256i b = Mix8(Quads8(blue, at, below), wxLo, wxHi, wy);
    const __m256i g = Mix8(Quads8(green, at, below), wxLo, wxHi, wy);
    const __m256i r = Mix8(Quads8(red, at, below), wxLo, wxHi, wy);
    const __m256i pixels = _mm256_or_si256(_mm256_or_si256(b, _mm256_slli_epi32(g, 8)),
                                           _mm256_or_si256(_mm256_slli_epi32(r, 16), opaque));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 8 * s), pixels);
    vx = _mm256_add_epi32(vx, vx8), vy = _mm256_add_epi32(vy, vy8);
  }
  return 8 * steps;
}

// Whether a run of n pixels may gather: the processor has AVX2, and the run's offsets from its first cell
// (a row apart at most n steps down, and one more) stay well inside 32 bits.
bool Gathers(const Frame& f, int32_t n) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const int64_t rows = (int64_t(n) * std::abs(f.stepY) >> 16) + 3, columns = (int64_t(n) * std::abs(f.stepX) >> 16) + 3;
  return avx2 && rows * std::abs(f.stride) + columns < (int64_t(1) << 30) && std::abs(8 * f.stepX) < (int64_t(1) << 30) &&
         std::abs(8 * f.stepY) < (int64_t(1) << 30);
}
#else
int32_t InsideRun8(const Frame&, int64_t, int64_t, int32_t, uint32_t*) { return 0; }
bool Gathers(const Frame&, int32_t) { return false; }
#endif


// Magnified, a tile's pixels read few cells, each many times: the cells are first laid out as one 16-byte
// record each, the quads of blue, green and red that Mix takes there, so that eight pixels need eight loads
// and a transpose rather than six gathers.
struct CellQuads {
  std::vector<uint32_t> records;  // four words a cell: blue, green and red quads, and a spare
  int32_t x0 = 0, y0 = 0, width = 0;
};

// The record of the cell at `at`: its quads of blue, green and red.
inline void Record(const Frame& f, int64_t at, uint32_t* to) {
  for (int k = 0; k < 3; ++k) {
    const uint8_t* p = f.bgr[k] + at;
    to[k] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[f.stride]) << 16 | uint32_t(p[f.stride + 1]) << 24;
  }
  to[3] = 0;
}

#if defined(__SSE2__)
// The records of sixteen cells of a row from the one at `at`: each plane's quads from its row and the next
// (each byte paired with its right neighbour, then with the pair below), then the planes' quads of each cell
// side by side.
inline void Records16(const Frame& f, int64_t at, uint32_t* to) {
  __m128i quads[3][4];
  for (int k = 0; k < 3; ++k) {
    const uint8_t* p = f.bgr[k] + at;
    auto load = [](const uint8_t* a) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(a)); };
    const __m128i top = load(p), topRight = load(p + 1);
    const __m128i bottom = load(p + f.stride), bottomRight = load(p + f.stride + 1);
    const __m128i topLo = _mm_unpacklo_epi8(top, topRight), topHi = _mm_unpackhi_epi8(top, topRight);
    const __m128i bottomLo = _mm_unpacklo_epi8(bottom, bottomRight);
    const __m128i bottomHi = _mm_unpackhi_epi8(bottom, bottomRight);
    quads[k][0] = _mm_unpacklo_epi16(topLo, bottomLo), quads[k][1] = _mm_unpackhi_epi16(topLo, bottomLo);
    quads[k][2] = _mm_unpacklo_epi16(topHi, bottomHi), quads[k][3] = _mm_unpackhi_epi16(topHi, bottomHi);
  }
  const __m128i zero = _mm_setzero_si128();
  __m128i* out = reinterpret_cast<__m128i*>(to);
  for (int c = 0; c < 4; ++c, out += 4) {
    const __m128i bg01 = _mm_unpacklo_epi32(quads[0][c], quads[1][c]), bg23 = _mm_unpackhi_epi32(quads[0][c], quads[1][c]);
    const __m128i r01 = _mm_unpacklo_epi32(quads[2][c], zero), r23 = _mm_unpackhi_epi32(quads[2][c], zero);
    _mm_storeu_si128(out + 0, _mm_unpacklo_epi64(bg01, r01));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi64(bg01, r01));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi64(bg23, r23));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi64(bg23, r23));
  }
}
#endif

// Records for cells [x0, x1] x [y0, y1], each of whose quads lies within the held cells.
void MakeCellQuads(const Frame& f, int32_t x0, int32_t y0, int32_t x1, int32_t y1, CellQuads& q) {
  q.x0 = x0, q.y0 = y0, q.width = x1 - x0 + 1;
  q.records.resize(size_t(q.width) * size_t(y1 - y0 + 1) * 4);
  uint32_t* to = q.records.data();
  for (int32_t y = y0; y <= y1; ++y) {
    int32_t x = x0;
#if defined(__SSE2__)
    // Sixteen cells read seventeen bytes of each row: their quads' right taps.
    for (; x + 15 <= x1; x += 16, to += 64) Records16(f, y * f.stride + x, to);
#endif
    for (; x <= x1; ++x, to += 4) Record(f, y * f.stride + x, to);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Two pixels' records, in the low and the high lane.
BRISEL_AVX2 inline __m256i RecordPair(const __m128i* low, const __m128i* high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(low)), _mm_loadu_si128(high), 1);
}

// Pixels [0, n) of an inside run from point (fx, fy), eight at a time from the records; returns how many.
BRISEL_AVX2 int32_t InsideRunQuads(const Frame& f, const CellQuads& q, int64_t fx, int64_t fy, int32_t n,
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
  const __m128i* const base =
      reinterpret_cast<const __m128i*>(q.records.data()) + (cellY - q.y0) * q.width + (cellX - q.x0);
  const __m256i width = _mm256_set1_epi32(q.width), opaque = _mm256_set1_epi32(int32_t(0xFF000000u));
  alignas(32) int32_t at[8];
  for (int32_t s = 0; s < steps; ++s) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                       _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(vy, 16), width), _mm256_srai_epi32(vx, 16)));
    const __m256i c0 = RecordPair(base + at[0], base + at[4]), c1 = RecordPair(base + at[1], base + at[5]);
    const __m256i c2 = RecordPair(base + at[2], base + at[6]), c3 = RecordPair(base + at[3], base + at[7]);
    const __m256i bg01 = _mm256_unpacklo_epi32(c0, c1), bg23 = _mm256_unpacklo_epi32(c2, c3);
    const __m256i r01 = _mm256_unpackhi_epi32(c0, c1), r23 = _mm256_unpackhi_epi32(c2, c3);
    const __m256i px = WeightPairs8(vx), wy = WeightPairs8(vy);
    const __m256i wxLo = _mm256_unpacklo_epi32(px, px), wxHi = _mm256_unpackhi_epi32(px, px);
    const __m256i b = Mix8(_mm256_unpacklo_epi64(bg01, bg23), wxLo, wxHi, wy);
    const __m256i g = Mix8(_mm256_unpackhi_epi64(bg01, bg23), wxLo, wxHi, wy);
    const __m256i r = Mix8(_mm256_unpacklo_epi64(r01, r23), wxLo, wxHi, wy);
    const __m256i pixels = _mm256_or_si256(_mm256_or_si256(b, _mm256_slli_epi32(g, 8)),
                                           _mm256_or_si256(_mm256_slli_epi32(r, 16), opaque));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 8 * s), pixels);
    vx = _mm256_add_epi32(vx, vx8), vy = _mm256_add_epi32(vy, vy8);
  }
  return 8 * steps;
}
#endif

// A window row: its first pixel's point, and its pixels split into the margin off the image before
// `shown`, the edge before `first`, the inside run [first, last) (gathering up to `gathered`), the edge
// before `hidden` and the margin from there on.
struct RowPlan {
  int64_t fx, fy;
  int32_t shown, first, gathered, last, hidden;
};

RowPlan PlanRow(const Frame& f, int64_t fx, int64_t fy, int32_t n) {
  int32_t ax, bx, ay, by;
  RunWithin(fx, f.stepX, 0, f.extentX, n, ax, bx);
  RunWithin(fy, f.stepY, 0, f.extentY, n, ay, by);
  RowPlan plan{fx, fy, std::max(ax, ay), 0, 0, 0, 0};
  plan.hidden = std::max(plan.shown, std::min(bx, by));
  // Inside: the image, and both taps of each axis within the held cells (x0 >= cx0, x0 + 1 <= cx1 - 1).
  RunWithin(fx, f.stepX, std::max<int64_t>(0, int64_t(f.cx0) * kOne + kHalf),
            std::min<int64_t>(f.extentX, int64_t(f.cx1 - 1) * kOne + kHalf), n, ax, bx);
  RunWithin(fy, f.stepY, std::max<int64_t>(0, int64_t(f.cy0) * kOne + kHalf),
            std::min<int64_t>(f.extentY, int64_t(f.cy1 - 1) * kOne + kHalf), n, ay, by);
  plan.first = std::clamp(std::max(ax, ay), plan.shown, plan.hidden);
  plan.last = std::clamp(std::min(bx, by), plan.first, plan.hidden);
  plan.gathered = plan.first;
  if (Gathers(f, std::min(plan.last - plan.first, kTileWidth))) {
    int32_t gx0, gx1;
    RunWithin(fx, f.stepX, 0, std::min<int64_t>(f.extentX, int64_t(f.cx1 - 3) * kOne + kHalf), n, gx0, gx1);
    plan.gathered = std::clamp(gx1, plan.first, plan.last);
  }
  return plan;
}

#if defined(__x86_64__) && defined(__GNUC__)
constexpr bool kQuadsAvailable = true;
#else
constexpr bool kQuadsAvailable = false;
#endif

// Pixels [i0, i1) of a planned row.
void DrawRow(const Frame& f, const RowPlan& plan, const CellQuads* quads, int32_t i0, int32_t i1, uint32_t* row) {
  auto fx = [&](int32_t i) { return plan.fx + i * f.stepX; };
  auto fy = [&](int32_t i) { return plan.fy + i * f.stepY; };
  int32_t i = i0;
  if (const int32_t end = std::min(i1, plan.shown); i < end) std::fill(row + i, row + end, f.backPixel), i = end;
  for (const int32_t end = std::min(i1, plan.first); i < end; ++i) row[i] = EdgePixel(f, fx(i), fy(i));
#if defined(__x86_64__) && defined(__GNUC__)
  if (const int32_t end = std::min(i1, plan.last); quads && i < end)
    i += InsideRunQuads(f, *quads, fx(i), fy(i), end - i, row + i);
#endif
  if (const int32_t end = std::min(i1, plan.gathered); !quads && i < end)
    i += InsideRun8(f, fx(i), fy(i), end - i, row + i);
  if (const int32_t end = std::min(i1, plan.last); i < end) {
    i += InsideRun4(f, fx(i), fy(i), end - i, row + i);
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
  // Magnified at least twice (a step of half a cell or less), with AVX2, the tiles' cells are laid out first:
  // that took a fifth off the time the gathers take at zoom 4, a twelfth at zoom 2 (at zoom 1, a sixth more).
  const bool magnified =
      kQuadsAvailable && std::abs(f.stepX) <= kHalf && std::abs(f.stepY) <= kHalf && Gathers(f, kTileWidth);
  static thread_local CellQuads quads;
  for (int32_t j0 = 0; j0 < height; j0 += kTileHeight) {
    const int32_t j1 = std::min(height, j0 + kTileHeight);
    // Each row starts from its own exact point, so the fixed-point steps drift by a row's length at most.
    for (int32_t j = j0; j < j1; ++j)
      plans[j - j0] = PlanRow(f, std::llround((span.qx + j * span.jqx) * kOne),
                              std::llround((span.qy + j * span.jqy) * kOne), width);
    for (int32_t i0 = 0; i0 < width; i0 += kTileWidth) {
      const int32_t i1 = std::min(width, i0 + kTileWidth);
      const CellQuads* tileQuads = nullptr;
      if (magnified) {
        // The cells the tile's inside runs read from: its rows' ends, within the cells whose quads are held.
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
          MakeCellQuads(f, int32_t(sx0 >> 16), int32_t(sy0 >> 16), int32_t(sx1 >> 16), int32_t(sy1 >> 16), quads);
          tileQuads = &quads;
        }
      }
      for (int32_t j = j0; j < j1; ++j)
        DrawRow(f, plans[j - j0], tileQuads, i0, i1, reinterpret_cast<uint32_t*>(out + int64_t(j) * outStride * 4));
    }
  }
}
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
