// RenderSegment beside a plain copy of the same bytes, the memory-bandwidth reference.
//
// The whole of a 1024 x 1024 image (its planes fit the cache) or of a 4096 x 4096 one (they do not: main
// memory's bandwidth decides) as the box, at zoom 1, the mask either a stroke-like pattern (bands of
// coverage with anti-aliased edges over about half the box) or fully covered (every pixel mixed). flags 2
// reads the mask and the three planes and writes the planes; flags 1 writes the display copy instead and
// then redraws the box through the display bitmap into the canvas's client surface (p_smoothblit and a
// copy into the surface are part of its figure). The copy row copies the three planes' bytes of the box.
//
// Rows: composite/<brisel|copy>/<side>_<flags1|flags2>_<stroke|full>, items = pixels of the box.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/canvas_stroke.h"
#include "stroke/compositing.h"
#include "stroke_canvas.h"

namespace {

void FillMask(int32_t side, bool full) {
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) {
      // Diagonal bands 40 pixels wide every 80, with an 8-pixel ramp on each edge.
      const int32_t u = (x + y) % 80;
      const int32_t ramp = u < 40 ? std::min(u, 39 - u) : -1;
      brisel::FXbuffer(x, y) = full ? 255 : ramp < 0 ? 0 : uint8_t(std::min(255, ramp * 32));
    }
}

void BriselComposite(benchmark::State& state, int32_t side, int32_t flags, bool full) {
  brisel::bench::MakeCanvas(side, side, 1, std::min(side, 1920), std::min(side, 1080));
  FillMask(side, full);
  const float r = brisel::BrushSize;
  brisel::stroke::Surface surface = brisel::app::CanvasSurface();
  const brisel::stroke::compositing::Brush brush = brisel::app::CanvasBrush();
  for (auto _ : state) {
    brisel::stroke::RenderSegment(surface, brush, flags, r, r, float(side) - 1 - r, float(side) - 1 - r);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
  brisel::bench::DropCanvas();
}

void CopyPlanes(benchmark::State& state, int32_t side) {
  brisel::bench::MakeCanvas(side, side, 1, 16, 16);
  for (auto _ : state) {
    for (int32_t y = 0; y < side; ++y) {
      std::memcpy(brisel::ViewR.row(y), brisel::PlaneR.row(y), size_t(side));
      std::memcpy(brisel::ViewG.row(y), brisel::PlaneG.row(y), size_t(side));
      std::memcpy(brisel::ViewB.row(y), brisel::PlaneB.row(y), size_t(side));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
  brisel::bench::DropCanvas();
}

void Register() {
  for (int32_t side : {1024, 4096})
    for (int32_t flags : {1, 2})
      for (bool full : {false, true}) {
        const std::string kase =
            std::to_string(side) + "_flags" + std::to_string(flags) + (full ? "_full" : "_stroke");
        benchmark::RegisterBenchmark(("composite/brisel/" + kase).c_str(), [side, flags, full](benchmark::State& s) {
          BriselComposite(s, side, flags, full);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("composite/copy/" + kase).c_str(), [side](benchmark::State& s) {
          CopyPlanes(s, side);
        })->Unit(benchmark::kMillisecond);
      }
}

const bool kRegistered = (Register(), true);

}  // namespace
