// The display and the undo at the program's level, on an 8192 x 8192 picture in a 1920 x 1080 canvas:
//   display/fit/8192_into_1920x1080   "Fit to Window" (zoom 0.25, the least a fit gives), once the pyramid is
//                                     made (first_ms: the first fit, which makes it); wall time of one fit.
//   undo/brisel/stroke200_8192         undo of a 200 x 200 stroke's step (the step restored, the display copy
//                                     and the canvas brought up to date), ms per undo.
//   undo/brisel/clear_then_undo_8192   the Clear button then an undo, beside
//   undo/copy/clear_then_undo_8192     a plain copy of the three planes into three others; items = pixels,
//                                     so the summary's ratio is the copy's time over the clear and undo's.
//   display/zoom6/8192                 the display's bytes at zoom 6 (tiles and pyramid), as counters.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "stroke_canvas.h"
#if __has_include("canvas/pyramid.h")
#define BRISEL_DISPLAY_BYTES 1
#endif

namespace {

constexpr int32_t kSide = 8192;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Fit(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1.0f, 1920, 1080);
  brisel::platform::Form& canvas = brisel::Form1Window();
  const auto first = Clock::now();
  brisel::canvas::FitToWindow(canvas);  // the first makes the pyramid
  state.counters["first_ms"] = Seconds(first) * 1e3;
  for (auto _ : state) {
    const auto start = Clock::now();
    brisel::canvas::FitToWindow(canvas);
    state.SetIterationTime(Seconds(start));
  }
  state.counters["zoom"] = brisel::Zoom;
#ifdef BRISEL_DISPLAY_BYTES
  state.counters["display_MiB"] = double(brisel::Dibs::DisplayBytes()) / (1 << 20);
#endif
  brisel::bench::DropCanvas();
}

void UndoStroke(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1.0f, 1920, 1080);
  for (auto _ : state) {
    if (!brisel::canvas::TheHistory().Save({900, 700, 1100, 900})) state.SkipWithError("no undo step");
    for (int32_t y = 700; y < 900; ++y) std::memset(&brisel::PlaneR(900, y), 7, 200);
    const auto start = Clock::now();
    brisel::canvas::TheHistory().UndoLastStep(false);
    state.SetIterationTime(Seconds(start));
  }
  brisel::bench::DropCanvas();
}

// The first clear of a run takes fresh memory for its step (first_ms, page faults and all); after it, a clear
// and its undo reuse the same planes, as the copy reuses its buffers. clear_ms and undo_ms split the rest.
void ClearThenUndo(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1.0f, 1920, 1080);
  auto start = Clock::now();
  brisel::Form2::vx_button2_Click();
  brisel::canvas::TheHistory().UndoLastStep(false);
  state.counters["first_ms"] = Seconds(start) * 1e3;
  double clear = 0, undo = 0;
  for (auto _ : state) {
    start = Clock::now();
    brisel::Form2::vx_button2_Click();
    const double c = Seconds(start);
    brisel::canvas::TheHistory().UndoLastStep(false);
    const double both = Seconds(start);
    clear += c, undo += both - c;
    state.SetIterationTime(both);
  }
  state.counters["clear_ms"] = clear * 1e3 / double(state.iterations());
  state.counters["undo_ms"] = undo * 1e3 / double(state.iterations());
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
  brisel::bench::DropCanvas();
}

void CopyPlanes(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1.0f, 16, 16);
  for (auto _ : state) {
    const auto start = Clock::now();
    std::memcpy(brisel::ViewR.data(), brisel::PlaneR.data(), brisel::PlaneR.size());
    std::memcpy(brisel::ViewG.data(), brisel::PlaneG.data(), brisel::PlaneG.size());
    std::memcpy(brisel::ViewB.data(), brisel::PlaneB.data(), brisel::PlaneB.size());
    benchmark::ClobberMemory();
    state.SetIterationTime(Seconds(start));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
  brisel::bench::DropCanvas();
}

void Zoom6(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1.0f, 1920, 1080);
  brisel::platform::Form& canvas = brisel::Form1Window();
  for (auto _ : state) {
    const auto start = Clock::now();
    brisel::canvas::SetView(canvas, 6.0f, -20000, -20000);
    brisel::canvas::displaybuffers(canvas);
    state.SetIterationTime(Seconds(start));
  }
#ifdef BRISEL_DISPLAY_BYTES
  state.counters["display_MiB"] = double(brisel::Dibs::DisplayBytes()) / (1 << 20);
#endif
  brisel::bench::DropCanvas();
}

}  // namespace

BENCHMARK(Fit)->Name("display/fit/8192_into_1920x1080")->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(Zoom6)->Name("display/zoom6/8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(UndoStroke)->Name("undo/brisel/stroke200_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(ClearThenUndo)->Name("undo/brisel/clear_then_undo_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(CopyPlanes)->Name("undo/copy/clear_then_undo_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
