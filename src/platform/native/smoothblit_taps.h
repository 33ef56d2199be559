#pragma once
// What p_smoothblit and its reference share: which bitmap pixels a call writes, and the filter taps that
// say which plane pixels each bitmap column or row is made of. Both renderers take their arithmetic from
// here, so they agree to the bit; they differ only in how they walk the pixels.
//
// The filter is separable. Along one axis, output pixel i (a bitmap column or row) is
//   sum over t < count[i] of weight[i][t] * source[first[i] + t],   the weights summing to exactly `scale`.
// Magnification (zoom > 1) is bilinear: output i samples source position (i + 0.5) / zoom - 0.5 in pixel
// centres, clamped to the plane's edges. Minification (zoom < 1) is an area average: output i is the mean of
// the source interval [i / zoom, (i + 1) / zoom), edge pixels weighted by how much of them lies inside, so
// fine detail is averaged rather than aliased.
//
// The arithmetic, per channel, for bitmap pixel (u, v):
//   column value  c(x) = sum over rows of wy * plane(x, y)            wy sum to 128, so c <= 255 * 128
//   pixel             = (sum over columns of (c(x) * wx >> 16) + 32) >> 6   wx sum to 32768
// c fits an unsigned 16-bit lane and c * wx >> 16 is one SIMD high multiply; the sum is the pixel in 1/64
// steps, each term at most 1/64 low, so the result is within 1/2 + taps/64 of the mean with these weights.
// Rounding the shares to 7 and 15 bits moves that mean by about a level at most: on random content the
// result stays within 1.5 levels of the exact bilinear or area mean. The reference and the fast version
// both compute exactly this.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisel::native::smoothblit {

inline constexpr int32_t kRowScale = 1 << 7;      // row weights sum to this
inline constexpr int32_t kColumnScale = 1 << 15;  // column weights sum to this
inline constexpr int32_t kColumnShift = 16;       // each column term is c * wx >> kColumnShift
inline constexpr int32_t kPixelShift = 6;         // the column terms' sum is the pixel << kPixelShift
inline constexpr int32_t kPixelRound = 1 << (kPixelShift - 1);

// The part of one call's work that does not depend on the filter.
struct BlitSpan {
  int32_t planeWidth = 0, planeHeight = 0;  // the planes' real width and height (the arguments minus one)
  int32_t u0 = 0, u1 = 0;                   // bitmap columns written: [u0, u1)
  int32_t v0 = 0, v1 = 0;                   // bitmap rows written: [v0, v1)
};

// Works out the bitmap pixels a call writes: with the rectangle clamped to the planes, columns
// [floor(x1 * zoom), min(zoomedWidth, dibWidth, floor(x2 * zoom))) and rows [floor(y1 * zoom),
// min(zoomedHeight, floor(y2 * zoom))). The products are taken in double, where an image coordinate times
// a float is exact, so floor(x1 * zoom) + floor((x2 - x1) * zoom), where the window copy ends, never passes
// floor(x2 * zoom): every pixel the copy takes is rendered. False when nothing is to be written: an empty
// or reversed rectangle, empty planes, or a zoom that is not a positive number.
bool FindBlitSpan(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight,
                  int32_t zoomedWidth, int32_t zoomedHeight, int32_t dibWidth, float zoom, BlitSpan& span);

// The taps of outputs [begin, end) along one axis. Every output has `stride` weight slots (an even number,
// so the taps go two to a SIMD multiply); slots from count[i] on hold 0. first[i] + count[i] never
// passes the source length, so only padded slots may name a source index beyond it.
struct AxisTaps {
  int32_t begin = 0, end = 0;
  int32_t stride = 0;
  std::vector<int32_t> first;     // first source index of output begin + k, at [k]; never decreasing
  std::vector<int32_t> count;     // taps that name real source pixels
  std::vector<uint16_t> weights;  // stride slots per output
  int32_t sourceEnd = 0;          // one past the largest source index any output reads
  const uint16_t* weightsOf(int32_t i) const { return weights.data() + static_cast<size_t>(i - begin) * stride; }
};

// zoom must be positive and not 1; sourceLength at least 1. extent, when positive, is where the source really
// ends (at most sourceLength): a pyramid level's last cell may stand for less than a whole cell of the image,
// and shrinking clips each output's interval there instead of at sourceLength.
AxisTaps MakeAxisTaps(int32_t begin, int32_t end, double zoom, int32_t sourceLength, int32_t scale,
                      double extent = 0.0);

// Two taps' weights as one high-multiply operand: (w[t] x 4, w[t + 1] x 4), matching two quads loaded together.
struct alignas(16) WeightPair {
  uint16_t lanes[8];
};

// The filter of one redraw: the taps of its bitmap columns and rows at the zoom relative to the source's cells,
// worked out once and shared by the parts the redraw is drawn in (a tile's share each). An output's taps do not
// depend on the range they were made for, so a part draws exactly what a call of its own would. At the zooms
// that need no taps (1, 1/2 and 1/4 of a cell) the filter holds none.
struct WindowFilter {
  double levelZoom = 0;
  bool hasTaps = false;
  AxisTaps columns, rows;
  std::vector<WeightPair> pairs;  // the columns' weights as pairs: stride / 2 per output
};

}  // namespace brisel::native::smoothblit
