#include "krita/layer_merge.h"

#include "common/over_white.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brisel::kritahost {
namespace {

// A pixel's B, G, R or A at depth, widened.
uint32_t Sample(const uint8_t* pixel, int depth, int channel) {
  if (depth == 8) return pixel[channel];
  uint16_t v;
  std::memcpy(&v, pixel + 2 * channel, 2);
  return v;
}

void Put(uint8_t* pixel, int depth, int channel, uint32_t value) {
  if (depth == 8) {
    pixel[channel] = uint8_t(value);
    return;
  }
  const uint16_t v = uint16_t(value);
  std::memcpy(pixel + 2 * channel, &v, 2);
}

}  // namespace

std::array<BytePlane, 3> PlanesOf(std::span<const uint8_t> pixels, int32_t width, int32_t height, int depth) {
  const size_t pixelBytes = PixelBytes(depth);
  if (width <= 0 || height <= 0 || (depth != 8 && depth != 16) ||
      pixels.size() != size_t(width) * size_t(height) * pixelBytes)
    return {};
  std::array<BytePlane, 3> planes{BytePlane(width, height), BytePlane(width, height), BytePlane(width, height)};
  uint8_t *r = planes[0].data(), *g = planes[1].data(), *b = planes[2].data();
  const uint8_t* p = pixels.data();
  for (size_t i = 0, n = planes[0].size(); i < n; ++i, p += pixelBytes) {
    uint32_t bgra[4];
    for (int c = 0; c < 4; ++c) bgra[c] = depth == 8 ? p[c] : Narrow(uint16_t(Sample(p, 16, c)));
    b[i] = host::OnWhite(bgra[0], bgra[3]);
    g[i] = host::OnWhite(bgra[1], bgra[3]);
    r[i] = host::OnWhite(bgra[2], bgra[3]);
  }
  return planes;
}

Merged MergeSend(std::span<const uint8_t> current, int depth, const Box& area, const host::StagedPlanes& planes,
                 std::span<const uint8_t> selection) {
  const size_t pixelBytes = PixelBytes(depth);
  const uint32_t most = depth == 16 ? 65535 : 255;
  std::vector<uint8_t> merged(current.begin(), current.end());
  int32_t left = area.x + area.width, right = -1, top = area.y + area.height, bottom = -1;
  for (int32_t y = area.y; y < area.y + area.height; ++y) {
    const size_t rowStart = size_t(y - area.y) * size_t(area.width);
    const uint8_t *r = planes.r.row(y - planes.y), *g = planes.g.row(y - planes.y), *b = planes.b.row(y - planes.y);
    for (int32_t x = area.x; x < area.x + area.width; ++x) {
      const size_t i = rowStart + size_t(x - area.x);
      const uint32_t s = selection.empty() ? 255 : selection[i];
      if (s == 0 || !planes.Painted(x, y)) continue;
      uint8_t* pixel = merged.data() + i * pixelBytes;
      const int32_t px = x - planes.x;
      // What was painted, made to show on white as the canvas showed it: B, G, R and A as stored.
      double wanted[4] = {0, 0, 0, Sample(pixel, depth, 3) / double(most)};
      const uint8_t shown[3] = {b[px], g[px], r[px]};
      host::ShowOverWhite(wanted, shown);
      bool changed = false;
      for (int c = 0; c < 4; ++c) {
        const uint32_t old = Sample(pixel, depth, c);
        const uint32_t target = uint32_t(std::lround(wanted[c] * most));
        const uint32_t value = s == 255 ? target : (old * (255 - s) + target * s + 127) / 255;
        if (value == old) continue;
        Put(pixel, depth, c, value);
        changed = true;
      }
      if (!changed) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Merged result;
  if (right >= 0) {
    result.changed = {left, top, right - left + 1, bottom - top + 1};
    const size_t rowBytes = size_t(result.changed.width) * pixelBytes;
    result.pixels.resize(rowBytes * size_t(result.changed.height));
    for (int32_t y = 0; y < result.changed.height; ++y) {
      const size_t from = (size_t(top - area.y + y) * size_t(area.width) + size_t(left - area.x)) * pixelBytes;
      std::memcpy(result.pixels.data() + size_t(y) * rowBytes, merged.data() + from, rowBytes);
    }
  }
  result.area = std::move(merged);
  return result;
}

}  // namespace brisel::kritahost
