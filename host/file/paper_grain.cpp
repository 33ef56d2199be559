#include "file/paper_grain.h"

#include <algorithm>
#include <array>
#include <vector>

namespace brisel::filehost {
namespace {

// A lattice point's byte: an integer hash, so the grain does not depend on any library's random numbers.
uint32_t LatticeByte(uint32_t i, uint32_t j, uint32_t octave) {
  uint32_t h = i * 0x8da6b343u ^ j * 0xd8163841u ^ (octave + 1) * 0xcb1ab31fu;
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h & 255u;
}

// Smoothstep of t / cell, in units of 1/4096: 3s^2 - 2s^3.
int64_t Ease(int32_t t, int32_t cell) {
  const int64_t s = int64_t(t) * 4096 / cell;
  return s * s * (3 * 4096 - 2 * s) / (4096 * 4096);
}

}  // namespace

BytePlane MakePaperGrain() {
  constexpr int32_t n = kPaperGrainSide;
  constexpr std::array<int32_t, 5> cells = {32, 16, 8, 4, 2};
  constexpr std::array<int64_t, 5> weights = {1, 2, 3, 4, 4};

  std::vector<int64_t> sum(size_t(n) * n, 0);  // weighted octaves, each value in 1/4096
  for (size_t o = 0; o < cells.size(); ++o) {
    const int32_t cell = cells[o], points = n / cell;  // lattice points a row, wrapping
    for (int32_t y = 0; y < n; ++y) {
      const uint32_t j0 = uint32_t(y / cell), j1 = uint32_t((y / cell + 1) % points);
      const int64_t wy = Ease(y % cell, cell);
      for (int32_t x = 0; x < n; ++x) {
        const uint32_t i0 = uint32_t(x / cell), i1 = uint32_t((x / cell + 1) % points);
        const int64_t wx = Ease(x % cell, cell);
        const int64_t top = LatticeByte(i0, j0, o) * (4096 - wx) + LatticeByte(i1, j0, o) * wx;
        const int64_t bottom = LatticeByte(i0, j1, o) * (4096 - wx) + LatticeByte(i1, j1, o) * wx;
        sum[size_t(y) * n + x] += weights[o] * ((top * (4096 - wy) + bottom * wy) / 4096);
      }
    }
  }

  const auto [lo, hi] = std::minmax_element(sum.begin(), sum.end());
  const int64_t low = *lo, range = std::max<int64_t>(*hi - *lo, 1);
  BytePlane grain(n, n);
  for (int32_t y = 0; y < n; ++y)
    for (int32_t x = 0; x < n; ++x)
      grain(x, y) = uint8_t(((sum[size_t(y) * n + x] - low) * 255 + range / 2) / range);
  return grain;
}

}  // namespace brisel::filehost
