// RenderSegment beside a plain copy of the same bytes, the memory-bandwidth reference.
//
// A 1024 x 1024 box over a 1024 x 1024 image at zoom 1, the mask either a stroke-like pattern (bands of
// coverage with anti-aliased edges over about half the box) or fully covered (every pixel mixed). flags 2
// reads the mask and the three planes and writes the planes; flags 1 writes the display copy instead and
// then redraws the box through the display bitmap into the canvas's client surface (p_smoothblit and a
// copy into the surface are part of its figure). The copy row copies the three planes' bytes of the box.
//
// Rows: composite/<brisel|copy>/<flags1|flags2>_<stroke|full>, items = pixels of the box.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "stroke/compositing.h"
#include "stroke_canvas.h"

namespace {

constexpr int32_t kSide = 1024;

void FillMask(bool full) {
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      // Diagonal bands 40 pixels wide every 80, with an 8-pixel ramp on each edge.
      const int32_t u = (x + y) % 80;
      const int32_t ramp = u < 40 ? std::min(u, 39 - u) : -1;
      brisel::FXbuffer(x, y) = full ? 255 : ramp < 0 ? 0 : uint8_t(std::min(255, ramp * 32));
    }
}

void BriselComposite(benchmark::State& state, int32_t flags, bool full) {
  brisel::bench::MakeCanvas(kSide, kSide, 1, kSide, kSide);
  FillMask(full);
  const float r = brisel::BrushSize;
  for (auto _ : state) {
    brisel::Form1::RenderSegment(flags, r, r, kSide - 1 - r, kSide - 1 - r);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
  brisel::bench::DropCanvas();
}

void CopyPlanes(benchmark::State& state) {
  brisel::bench::MakeCanvas(kSide, kSide, 1, 16, 16);
  for (auto _ : state) {
    for (int32_t y = 0; y < kSide; ++y) {
      std::memcpy(brisel::ViewR.row(y), brisel::PlaneR.row(y), kSide);
      std::memcpy(brisel::ViewG.row(y), brisel::PlaneG.row(y), kSide);
      std::memcpy(brisel::ViewB.row(y), brisel::PlaneB.row(y), kSide);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
  brisel::bench::DropCanvas();
}

void Register() {
  for (int32_t flags : {1, 2})
    for (bool full : {false, true}) {
      const std::string kase = "flags" + std::to_string(flags) + (full ? "_full" : "_stroke");
      benchmark::RegisterBenchmark(("composite/brisel/" + kase).c_str(),
                                   [flags, full](benchmark::State& s) { BriselComposite(s, flags, full); })
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("composite/copy/" + kase).c_str(), CopyPlanes)->Unit(benchmark::kMillisecond);
    }
}

const bool kRegistered = (Register(), true);

}  // namespace
