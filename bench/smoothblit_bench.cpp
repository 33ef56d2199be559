// The display's redraw beside pixman's bilinear scaling: a 1920 x 1080 window's worth of a 4096 x 4096 image
// at zooms 1/16, 1/8, 1/4, 1/2, 1, 2 and 4, plus 0.3 and 0.75, which fall between the pyramid's levels.
// Shrunk, the redraw reads the image pyramid's level at which a bitmap pixel covers one to two cells
// (canvas/pyramid.h, made once here as the program keeps it); the brisel_planes rows read the planes
// themselves (p_smoothblit, every image pixel under each bitmap pixel), for comparison. Where the whole image is smaller than the window on screen (0.25:
// 1024 x 1024; 0.3: 1228 x 1228) the case renders the whole image. Our input is three planes and pixman's
// is one interleaved x8r8g8b8 image: each renderer reads what it reads in the real job, and both write the
// same 32-bit output. Shrinking, we average every pixel under the output one while pixman's bilinear
// reads only a 2 x 2 sample of it; that is the comparison of the real job too.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/native.h"

namespace {

constexpr int32_t kImageSide = 4096;

// Random-ish content: gradients under hashed noise, different in each plane.
struct Image {
  std::vector<uint8_t> r, g, b;
  std::vector<uint32_t> xrgb;  // the same pixels for pixman, 0xffRRGGBB
  Image() {
    const size_t n = static_cast<size_t>(kImageSide) * kImageSide;
    r.resize(n), g.resize(n), b.resize(n), xrgb.resize(n);
    uint32_t state = 12345;
    for (int32_t y = 0; y < kImageSide; ++y)
      for (int32_t x = 0; x < kImageSide; ++x) {
        state = state * 1664525u + 1013904223u;
        const size_t i = static_cast<size_t>(y) * kImageSide + x;
        r[i] = static_cast<uint8_t>((x / 16 + (state >> 26)) & 255);
        g[i] = static_cast<uint8_t>((y / 16 + (state >> 20 & 63)) & 255);
        b[i] = static_cast<uint8_t>(((x + y) / 32 + (state >> 14 & 63)) & 255);
        xrgb[i] = 0xff000000u | r[i] << 16 | g[i] << 8 | b[i];
      }
  }
};

const Image& TestImage() {
  static const Image image;
  return image;
}

// The image rectangle, from (0, 0), whose zoomed size fills the window (or the whole image at 0.25).
struct Case {
  float zoom;
  int32_t x2, y2;              // image rectangle [0, x2) x [0, y2)
  int32_t outWidth, outHeight;  // its zoomed size
};

Case CaseFor(float zoom) {
  const bool whole = zoom * kImageSide <= 1920;
  const int32_t x2 = whole ? kImageSide : static_cast<int32_t>(std::lrint(1920 / zoom));
  const int32_t y2 = whole ? kImageSide : static_cast<int32_t>(std::lrint(1080 / zoom));
  return {zoom, x2, y2, static_cast<int32_t>(std::floor(x2 * double(zoom))),
          static_cast<int32_t>(std::floor(y2 * double(zoom)))};
}

std::string Label(const Case& c) {
  return std::to_string(c.x2) + "x" + std::to_string(c.y2) + " -> " + std::to_string(c.outWidth) + "x" +
         std::to_string(c.outHeight);
}

// The pyramid's levels 1 .. 6 of the test image, as the program keeps them.
struct Pyramid {
  struct Level {
    int32_t side;
    std::vector<uint8_t> r, g, b;
  };
  std::vector<Level> levels;  // [0]: the image itself
  Pyramid() {
    const Image& image = TestImage();
    levels.push_back({kImageSide, image.r, image.g, image.b});
    for (int32_t l = 1; l <= 6; ++l) {
      const Level& in = levels.back();
      Level out{in.side / 2, {}, {}, {}};
      const size_t n = static_cast<size_t>(out.side) * out.side;
      out.r.resize(n), out.g.resize(n), out.b.resize(n);
      for (auto [from, to] : {std::pair{&in.r, &out.r}, {&in.g, &out.g}, {&in.b, &out.b}})
        brisel::native::p_halve(from->data(), in.side, in.side, in.side, 0, 0, to->data(), out.side, 0, 0, 0, 0,
                                out.side, out.side);
      levels.push_back(std::move(out));
    }
  }
};

const Pyramid& TestPyramid() {
  static const Pyramid pyramid;
  return pyramid;
}

void Brisel(benchmark::State& state, float zoom) {
  const Pyramid& pyramid = TestPyramid();
  const Case c = CaseFor(zoom);
  const int32_t level = zoom < 1 ? brisel::native::PyramidLevelFor(zoom, 6) : 0;
  const Pyramid::Level& cells = pyramid.levels[static_cast<size_t>(level)];
  brisel::native::BlitSource source;
  source.r = cells.r.data(), source.g = cells.g.data(), source.b = cells.b.data();
  if (level == 0) {  // the image's own planes, as the other rows read them
    const Image& image = TestImage();
    source.r = image.r.data(), source.g = image.g.data(), source.b = image.b.data();
  }
  source.stride = source.width = source.height = cells.side;
  source.extentWidth = source.extentHeight = cells.side;
  source.level = level;
  std::vector<uint8_t> bits(static_cast<size_t>(c.outWidth) * c.outHeight * 4);
  for (auto _ : state) {
    brisel::native::p_smoothblit_window(source, zoom, 0, c.outWidth, 0, c.outHeight, bits.data(), c.outWidth);
    benchmark::DoNotOptimize(bits.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * c.outWidth * c.outHeight);
  state.SetLabel(Label(c) + " level " + std::to_string(level));
}

void BriselPlanes(benchmark::State& state, float zoom) {
  const Image& image = TestImage();
  const Case c = CaseFor(zoom);
  // The bitmap holds just the rendered rectangle: its rows are the zoomed rectangle's width.
  std::vector<uint8_t> bits(static_cast<size_t>(c.outWidth) * c.outHeight * 4);
  for (auto _ : state) {
    brisel::native::p_smoothblit(image.r.data(), image.g.data(), image.b.data(), bits.data(), 0, 0, c.x2, c.y2,
                                 kImageSide + 1, kImageSide + 1, c.outWidth, c.outHeight, c.outWidth, zoom);
    benchmark::DoNotOptimize(bits.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * c.outWidth * c.outHeight);
  state.SetLabel(Label(c));
}

void Pixman(benchmark::State& state, float zoom) {
  const Image& image = TestImage();
  const Case c = CaseFor(zoom);
  pixman_image_t* source = pixman_image_create_bits(PIXMAN_x8r8g8b8, kImageSide, kImageSide,
                                                    const_cast<uint32_t*>(image.xrgb.data()), kImageSide * 4);
  pixman_image_t* target = pixman_image_create_bits(PIXMAN_x8r8g8b8, c.outWidth, c.outHeight, nullptr, 0);
  // pixman maps destination to source, so the transform is the inverse zoom. Edge pixels repeat, as our
  // filter clamps to the edges.
  pixman_transform_t scale;
  pixman_transform_init_scale(&scale, pixman_double_to_fixed(1.0 / zoom), pixman_double_to_fixed(1.0 / zoom));
  pixman_image_set_transform(source, &scale);
  pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, c.outWidth, c.outHeight);
    benchmark::DoNotOptimize(pixman_image_get_data(target));
    benchmark::ClobberMemory();
  }
  pixman_image_unref(target);
  pixman_image_unref(source);
  state.SetItemsProcessed(state.iterations() * c.outWidth * c.outHeight);
  state.SetLabel(Label(c));
}

// A stroke preview: a 40 x 40 image rectangle inside the image at zoom 2. Its cost should follow its area,
// not the image's.
void BriselPreview(benchmark::State& state) {
  const Image& image = TestImage();
  const float zoom = 2.0f;
  const int32_t side = 2080;  // bitmap just big enough for the rectangle's zoomed far corner
  std::vector<uint8_t> bits(static_cast<size_t>(side) * side * 4);
  for (auto _ : state) {
    brisel::native::p_smoothblit(image.r.data(), image.g.data(), image.b.data(), bits.data(), 1000, 1000, 1040,
                                 1040, kImageSide + 1, kImageSide + 1, side, side, side, zoom);
    benchmark::DoNotOptimize(bits.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 80 * 80);
}

const bool registered = [] {
  for (const float zoom : {0.0625f, 0.125f, 0.25f, 0.3f, 0.5f, 0.75f, 1.0f, 2.0f, 4.0f}) {
    char kase[32];
    std::snprintf(kase, sizeof kase, "zoom:%g", zoom);
    benchmark::RegisterBenchmark((std::string("smoothblit/brisel/") + kase).c_str(), Brisel, zoom)
        ->Unit(benchmark::kMillisecond);
    if (zoom <= 1)
      benchmark::RegisterBenchmark((std::string("smoothblit/brisel_planes/") + kase).c_str(), BriselPlanes, zoom)
          ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("smoothblit/pixman/") + kase).c_str(), Pixman, zoom)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("smoothblit/brisel_preview/40x40_at_zoom:2", BriselPreview)
      ->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace
