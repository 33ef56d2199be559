// Pointer-move latency: a scripted stroke of 1,000 move events at BrushSize 32 through the canvas's own
// mouse handlers, timed from the handler's entry to its return, when the changed pixels are in the
// client surface (the window presents them at its next paint, which is not counted).
//
// The stroke is a smooth figure of eight across a 1920 x 1080 client area, about 9 window pixels per event
// (a brisk stroke on a 1,000 Hz mouse). Two canvases: a 4096 x 4096 image at zoom 1, and a 2048 x 2048
// image at zoom 4. Each run paints the stroke three times (press, 1,000 moves, release) and reports the
// median and the 99th percentile of the moves and the median release, in microseconds: by the wall clock,
// and by the thread's own CPU time (cpu_*), which leaves out the time other processes took the core; and
// how many redraws reached the window per move (blits_per_move: one, however many spline samples the
// move composited).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <vector>

#include "app/canvas_input.h"
#include "stroke_canvas.h"

namespace {

struct Point {
  float x, y;
};

std::vector<Point> ScriptedStroke() {
  std::vector<Point> points;
  for (int i = 0; i <= 1001; ++i) {
    const double t = 2 * M_PI * i / 1001.0;
    points.push_back({float(960 + 760 * std::sin(t)), float(540 + 380 * std::sin(2 * t))});
  }
  return points;
}

using brisel::bench::Percentile;
using brisel::bench::ThreadMicroseconds;

void StrokeLatency(benchmark::State& state, int32_t side, float zoom) {
  brisel::bench::MakeCanvas(side, side, zoom, 1920, 1080);
  brisel::BrushSize = 32;
  const std::vector<Point> stroke = ScriptedStroke();
  std::vector<double> moves, releases, cpuMoves;
  uint64_t blits = 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    for (int pass = 0; pass < 3; ++pass) {
      brisel::Form1::Form_MouseDown(1, 0, stroke.front().x, stroke.front().y);
      for (size_t i = 1; i + 1 < stroke.size(); ++i) {
        const uint64_t blitsBefore = brisel::Dibs::BlitsToWindow();
        const double cpuStart = ThreadMicroseconds();
        const auto start = Clock::now();
        brisel::Form1::Form_MouseMove(1, 0, stroke[i].x, stroke[i].y);
        moves.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        cpuMoves.push_back(ThreadMicroseconds() - cpuStart);
        blits += brisel::Dibs::BlitsToWindow() - blitsBefore;
      }
      const auto start = Clock::now();
      brisel::Form1::Form_MouseUp(1, 0, stroke.back().x, stroke.back().y);
      releases.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
  }
  state.counters["move_median_us"] = Percentile(moves, 0.5);
  state.counters["move_p99_us"] = Percentile(moves, 0.99);
  state.counters["move_max_us"] = Percentile(moves, 1.0);
  state.counters["release_median_us"] = Percentile(releases, 0.5);
  state.counters["cpu_move_median_us"] = Percentile(cpuMoves, 0.5);
  state.counters["cpu_move_p99_us"] = Percentile(cpuMoves, 0.99);
  state.counters["blits_per_move"] = double(blits) / double(moves.size());
  brisel::bench::DropCanvas();
}

}  // namespace

BENCHMARK_CAPTURE(StrokeLatency, image4096_zoom1, 4096, 1.0f)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StrokeLatency, image2048_zoom4, 2048, 4.0f)->Iterations(1)->Unit(benchmark::kMillisecond);
