// The turned view (30 degrees) on a 4096 x 4096 picture in a 1920 x 1080 canvas:
//   turned/brisel/zoomZ    the whole canvas redrawn turned (canvas::RepaintImage: the picture's pixels
//                          sampled bilinear, zoomed out from the pyramid level the upright display reads)
//   turned/upright/zoomZ   the same redraw upright, the display as it was before turning existed
//   turned/pixman/zoomZ    pixman drawing the same affine transform of the picture (an x8r8g8b8 copy of the
//                          planes, made once), bilinear, into a 1920 x 1080 image
// items = window pixels, so the summary's ratios are Brisel's turned speed over each peer's. Zoom 0.25, 1, 4.
//   stroke_turned/image2048_zoom4   pointer moves of a 1,000-event stroke at BrushSize 32 through the canvas's
//                                   handlers, turned 30 degrees: the thread's CPU microseconds, median and p99.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

#include "app/canvas_input.h"
#include "canvas/navigation.h"
#include "canvas/view_turn.h"
#include "stroke_canvas.h"

namespace {

constexpr int32_t kSide = 4096, kWidth = 1920, kHeight = 1080;
constexpr double kAngle = 30;

// The picture's centre at the canvas's centre, at zoom, turned by angle.
void TurnedCanvas(float zoom, double angle) {
  brisel::bench::MakeCanvas(kSide, kSide, zoom, kWidth, kHeight);
  brisel::platform::Form& canvas = brisel::Form1Window();
  brisel::canvas::SetView(canvas, zoom, int32_t(kWidth / 2 - kSide * double(zoom) / 2),
                          int32_t(kHeight / 2 - kSide * double(zoom) / 2));
  brisel::canvas::SetTurn(canvas, angle, false);
  brisel::canvas::RepaintImage(canvas);
}

void Redraw(benchmark::State& state, float zoom, double angle) {
  TurnedCanvas(zoom, angle);
  brisel::platform::Form& canvas = brisel::Form1Window();
  for (auto _ : state) benchmark::DoNotOptimize(brisel::canvas::RepaintImage(canvas));
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
  brisel::bench::DropCanvas();
}

void Pixman(benchmark::State& state, float zoom) {
  brisel::bench::MakeCanvas(kSide, kSide, 1, 16, 16);
  std::vector<uint32_t> xrgb(size_t(kSide) * kSide);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x)
      xrgb[size_t(y) * kSide + x] = uint32_t(brisel::PlaneR(x, y)) << 16 | uint32_t(brisel::PlaneG(x, y)) << 8 |
                                    brisel::PlaneB(x, y);
  pixman_image_t* source =
      pixman_image_create_bits(PIXMAN_x8r8g8b8, kSide, kSide, xrgb.data(), kSide * int(sizeof(uint32_t)));
  pixman_image_t* target = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, nullptr, 0);
  // Destination to source: about the window's centre, turned back and shrunk by the zoom, onto the
  // picture's centre.
  const double a = -kAngle * M_PI / 180, c = std::cos(a) / zoom, s = std::sin(a) / zoom;
  const double tx = kSide / 2.0 - (c * kWidth / 2 - s * kHeight / 2), ty = kSide / 2.0 - (s * kWidth / 2 + c * kHeight / 2);
  pixman_transform_t transform = {{{pixman_double_to_fixed(c), pixman_double_to_fixed(-s), pixman_double_to_fixed(tx)},
                                   {pixman_double_to_fixed(s), pixman_double_to_fixed(c), pixman_double_to_fixed(ty)},
                                   {0, 0, pixman_fixed_1}}};
  pixman_image_set_transform(source, &transform);
  pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(source, PIXMAN_REPEAT_NONE);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::DoNotOptimize(pixman_image_get_data(target));
    benchmark::ClobberMemory();
  }
  pixman_image_unref(target);
  pixman_image_unref(source);
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
  brisel::bench::DropCanvas();
}

using brisel::bench::Percentile;
using brisel::bench::ThreadMicroseconds;

// The stroke of stroke_latency_bench.cpp (a figure of eight, about 9 window pixels an event), turned.
void TurnedStroke(benchmark::State& state) {
  brisel::bench::MakeCanvas(2048, 2048, 4.0f, kWidth, kHeight);
  brisel::canvas::SetTurn(brisel::Form1Window(), kAngle, false);
  brisel::canvas::RepaintImage(brisel::Form1Window());
  brisel::BrushSize = 32;
  std::vector<double> cpuMoves;
  for (auto _ : state) {
    for (int pass = 0; pass < 3; ++pass) {
      auto at = [](int i) {
        const double t = 2 * M_PI * i / 1001.0;
        return std::pair{float(960 + 760 * std::sin(t)), float(540 + 380 * std::sin(2 * t))};
      };
      brisel::Form1::Form_MouseDown(1, 0, at(0).first, at(0).second);
      for (int i = 1; i < 1001; ++i) {
        const double start = ThreadMicroseconds();
        brisel::Form1::Form_MouseMove(1, 0, at(i).first, at(i).second);
        cpuMoves.push_back(ThreadMicroseconds() - start);
      }
      brisel::Form1::Form_MouseUp(1, 0, at(1001).first, at(1001).second);
    }
  }
  state.counters["cpu_move_median_us"] = Percentile(cpuMoves, 0.5);
  state.counters["cpu_move_p99_us"] = Percentile(cpuMoves, 0.99);
  brisel::bench::DropCanvas();
}

}  // namespace

BENCHMARK_CAPTURE(Redraw, turned_zoom0.25, 0.25f, kAngle)->Name("turned/brisel/zoom0.25")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, upright_zoom0.25, 0.25f, 0.0)->Name("turned/upright/zoom0.25")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, zoom0.25, 0.25f)->Name("turned/pixman/zoom0.25")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, turned_zoom1, 1.0f, kAngle)->Name("turned/brisel/zoom1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, upright_zoom1, 1.0f, 0.0)->Name("turned/upright/zoom1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, zoom1, 1.0f)->Name("turned/pixman/zoom1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, turned_zoom4, 4.0f, kAngle)->Name("turned/brisel/zoom4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, upright_zoom4, 4.0f, 0.0)->Name("turned/upright/zoom4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, zoom4, 4.0f)->Name("turned/pixman/zoom4")->Unit(benchmark::kMillisecond);
BENCHMARK(TurnedStroke)->Name("stroke_turned/image2048_zoom4")->Iterations(1)->Unit(benchmark::kMillisecond);
