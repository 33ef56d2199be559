#pragma once
// The round dab that AAcpen stamps, shared by AAcpen and its reference so that both agree to the bit;
// they differ only in which pixels they visit (AAcpen also repeats EdgeValue four pixels at a time, with
// the same float operations in the same order: keep the two in step).
//
// Pixel (i, j) is the unit square [i, i + 1) x [j, j + 1), its centre at (i + 0.5, j + 0.5); a dab at
// (10.5, 7.5) is centred on pixel (10, 7). With d the distance from the dab's centre to a pixel's centre
// and R the dab's radius, the pixel's coverage is
//   clamp(R + 0.5 - d, 0, 1):
// full inside R - 0.5, nothing from R + 0.5 on, and a linear ramp one pixel wide in between. That ramp is
// close to the fraction of the pixel the circle covers, and over the whole plane it sums to
// pi (R^2 + 1/12).
//
// A dab smaller than half a pixel is drawn with the profile of R = 0.5 (a cone one pixel in radius) scaled
// by (size / 0.5)^2, so what it lays down stays in proportion to its area: a stroke whose pressure fades
// gets fainter instead of breaking into separate dots. At size 0.5 both rules agree.
//
// The written byte is nearest(peak * coverage), peak = value * strength * that scale, clamped to 0..255,
// and a pixel only ever rises (max): a slow drag that stamps the same place many times lays down no more
// than one dab does, and a weaker dab never thins a stronger one.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace brisel::native::dab {

struct Shape {
  float outer = 0;  // R + 0.5: pixels whose centres are this far or farther stay untouched
  float inner = 0;  // R - 0.5: pixels whose centres are this near or nearer get the full peak
  float peak = 0;   // 0..255, the value of a fully covered pixel
};

// The dab's shape for the pen's arguments; peak is 0 when the dab lays down nothing.
inline Shape MakeShape(float size, float value, float strength) {
  Shape s;
  if (!(size > 0)) return s;  // also refuses NaN
  const float radius = std::max(size, 0.5f);
  const float scale = size < 0.5f ? (size / 0.5f) * (size / 0.5f) : 1.0f;
  const float peak = value * strength * scale;
  s.outer = radius + 0.5f;
  s.inner = radius - 0.5f;
  s.peak = peak > 0 ? std::min(peak, 255.0f) : 0.0f;  // NaN becomes 0
  return s;
}

// v (0..255) to the nearest whole number, halves to even, as std::nearbyint does under the default
// rounding mode: adding and taking away 1.5 * 2^23 leaves no fraction bits. Inline and branch-free, where
// std::lrint would be a library call per pixel.
inline uint8_t NearestByte(float v) {
  constexpr float kShift = 12582912.0f;  // 1.5 * 2^23
  return uint8_t(int32_t((v + kShift) - kShift));
}

// The byte a pixel whose centre lies (dx, dy) from the dab's centre receives; 0 outside the dab.
inline uint8_t EdgeValue(const Shape& s, float dx, float dy) {
  const float coverage = std::clamp(s.outer - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
  return NearestByte(s.peak * coverage);
}

// The byte a fully covered pixel receives.
inline uint8_t FullValue(const Shape& s) { return NearestByte(s.peak); }

}  // namespace brisel::native::dab
