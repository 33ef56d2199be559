#include "gimp/layer_pixels.h"

#include <algorithm>

namespace brisel::gimphost {
namespace {

constexpr uint8_t Grey(uint32_t r, uint32_t g, uint32_t b) { return uint8_t((r * 11 + g * 16 + b * 5) / 32); }

size_t PixelOffset(int32_t x, int32_t y, int32_t width, int channels) {
  return (size_t(y) * size_t(width) + size_t(x)) * size_t(channels);
}

}  // namespace

BytePlane PatternToGrey(std::span<const uint8_t> bytes, int32_t width, int32_t height, int32_t bytesPerPixel) {
  if (width <= 0 || height <= 0 || bytesPerPixel < 1 || bytesPerPixel > 4) return {};
  if (bytes.size() < size_t(width) * size_t(height) * size_t(bytesPerPixel)) return {};
  BytePlane grey(width, height);
  const uint8_t* p = bytes.data();
  uint8_t* out = grey.data();
  const size_t count = grey.size();
  for (size_t i = 0; i < count; ++i, p += bytesPerPixel) {
    switch (bytesPerPixel) {
      case 1: out[i] = p[0]; break;
      case 2: out[i] = host::OnWhite(p[0], p[1]); break;
      case 3: out[i] = Grey(p[0], p[1], p[2]); break;
      case 4: out[i] = host::OnWhite(Grey(p[0], p[1], p[2]), p[3]); break;
    }
  }
  return grey;
}

void ShowOnWhite(std::span<uint8_t> pixels) {
  for (size_t i = 0; i + 3 < pixels.size(); i += 4)
    for (size_t c = 0; c < 3; ++c) pixels[i + c] = host::OnWhite(pixels[i + c], pixels[i + 3]);
}

BytePlane ChannelPlane(std::span<const uint8_t> pixels, int32_t width, int32_t height, int channels,
                       host::Channel channel) {
  BytePlane plane(width, height);
  const uint8_t* p = pixels.data() + static_cast<int>(channel);
  uint8_t* out = plane.data();
  for (size_t i = 0, n = plane.size(); i < n; ++i, p += channels) out[i] = *p;
  return plane;
}

Box ChangedBox(std::span<const uint8_t> current, int channels, const Box& area, StagedPlanes planes) {
  int32_t left = area.x + area.width, right = -1, top = area.y + area.height, bottom = -1;
  for (int32_t y = area.y; y < area.y + area.height; ++y) {
    const uint8_t* px = current.data() + PixelOffset(0, y - area.y, area.width, channels);
    const uint8_t *r = planes.r.row(y - planes.y), *g = planes.g.row(y - planes.y), *b = planes.b.row(y - planes.y);
    int32_t first = -1, last = -1;
    for (int32_t x = area.x; x < area.x + area.width; ++x, px += channels) {
      const int32_t i = x - planes.x;
      if ((px[0] != r[i] || px[1] != g[i] || px[2] != b[i]) && planes.Painted(x, y)) {
        if (first < 0) first = x;
        last = x;
      }
    }
    if (first < 0) continue;
    left = std::min(left, first);
    right = std::max(right, last);
    top = std::min(top, y);
    bottom = y;
  }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

ComposedStrip Compose(std::span<const uint8_t> current, int channels, const Box& area, StagedPlanes planes,
                      const Box& strip) {
  ComposedStrip composed;
  composed.pixels.resize(size_t(strip.width) * size_t(strip.height) * size_t(channels));
  composed.changed.resize(size_t(strip.width) * size_t(strip.height));
  uint8_t* out = composed.pixels.data();
  uint8_t* changed = composed.changed.data();
  for (int32_t y = strip.y; y < strip.y + strip.height; ++y) {
    const uint8_t* px = current.data() + PixelOffset(strip.x - area.x, y - area.y, area.width, channels);
    for (int32_t x = strip.x; x < strip.x + strip.width; ++x, px += channels, out += channels, ++changed) {
      out[0] = planes.r(x - planes.x, y - planes.y);
      out[1] = planes.g(x - planes.x, y - planes.y);
      out[2] = planes.b(x - planes.x, y - planes.y);
      if (channels == 4) out[3] = px[3];
      *changed = (out[0] != px[0] || out[1] != px[1] || out[2] != px[2]) && planes.Painted(x, y);
    }
  }
  return composed;
}

void TakeChanged(std::span<uint8_t> native, std::span<const uint8_t> converted, size_t pixelBytes,
                 std::span<const uint8_t> changed) {
  for (size_t i = 0; i < changed.size(); ++i)
    if (changed[i]) std::copy_n(converted.data() + i * pixelBytes, pixelBytes, native.data() + i * pixelBytes);
}

}  // namespace brisel::gimphost
