// Dab stamping: AALine with AAcpen beside libmypaint's dab rendering, at the same radii and spacing.
//
// Each iteration stamps one horizontal line 980 pixels long, at the spacing of the "Step" slider's default
// (15 % of the size: a dab every pixel at size 2, every 2nd at 8, every 5th at 32), the lines walking down
// a 1024 x 1024 plane. Brisel writes one coverage byte a pixel; libmypaint blends 16-bit premultiplied
// RGBA in 64 x 64 tiles and, as its tiled surfaces do, renders the dabs queued since begin_atomic at
// end_atomic, so that call is inside the timing. libmypaint may spread end_atomic over the cores with
// OpenMP; run with OMP_NUM_THREADS=1 for one core against one core.
//
// Along a horizontal line every dab sits at the same sub-pixel offset, and Brisel renders such a dab once
// and lays the same bytes down again for the next ones (as along any horizontal or vertical stroke). The
// slanted rows draw the same lines tilted by kSlant pixels over their length, so that no two dabs share an
// offset and every dab is rendered afresh, as along most strokes a hand draws.
//
// Rows: dabs/<brisel|libmypaint>/radius:<r> and dabs/<brisel|libmypaint>/slanted-radius:<r>,
// items = dabs.

#include <benchmark/benchmark.h>

extern "C" {
#include <mypaint-fixed-tiled-surface.h>
#include <mypaint-surface.h>
}

#include <cmath>
#include <cstdint>

#include "stroke/aa_line.h"

namespace {

constexpr int32_t kSide = 1024;
constexpr float kLineStart = 20, kLineEnd = 1000;  // 981 positions
constexpr float kStepPercent = 15;
constexpr float kSlant = 29.7f;  // the slanted lines' drop over their length: 981 positions still

// Positions between dabs at this size: the walk adds one a position and dabs once it reaches the spacing.
int32_t DabEvery(float size) { return std::max(1, int32_t(std::ceil(kStepPercent / 100 * size))); }
int64_t DabsPerLine(float size) { return int64_t(kLineEnd - kLineStart + 1) / DabEvery(size); }

float LineRow(int64_t i) { return 40.5f + float((i * 37) % (kSide - 80)); }

void BriselDabs(benchmark::State& state, float slant) {
  const float size = float(state.range(0));
  brisel::BytePlane mask(kSide, kSide), none;
  brisel::stroke::Surface surface{none, none, none, none, none, none, mask, none, 0, 0, kSide, kSide};
  brisel::stroke::compositing::Brush brush;
  brush.step = kStepPercent;
  brush.press = 255;
  brisel::stroke::Stroke stroke;
  int64_t lines = 0;
  for (auto _ : state) {
    const float y = LineRow(lines++);
    stroke.StepDistance = 0;
    brisel::stroke::AALine(stroke, surface, brush, kLineStart, y, kLineEnd, y + slant, size, size);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(lines * DabsPerLine(size));
}

void LibmypaintDabs(benchmark::State& state, float slant) {
  const float radius = float(state.range(0));
  MyPaintFixedTiledSurface* fixed = mypaint_fixed_tiled_surface_new(kSide, kSide);
  MyPaintSurface* surface = mypaint_fixed_tiled_surface_interface(fixed);
  const int32_t every = DabEvery(radius);
  // AALine's unit step along the line.
  const float length = std::hypot(kLineEnd - kLineStart, slant);
  const float ux = (kLineEnd - kLineStart) / length, uy = slant / length;
  const int32_t positions = int32_t(std::nearbyint(length)) + 1;
  int64_t lines = 0;
  for (auto _ : state) {
    const float y = LineRow(lines++);
    mypaint_surface_begin_atomic(surface);
    // The same positions AALine dabs at: the first after `every` steps, then every `every`.
    for (int32_t i = every - 1; i < positions; i += every)
      mypaint_surface_draw_dab(surface, kLineStart + float(i) * ux, y + float(i) * uy, radius, 0, 0, 0, /*opaque*/ 1,
                               /*hardness*/ 0.9f, /*alpha_eraser*/ 1, /*aspect_ratio*/ 1, /*angle*/ 0,
                               /*lock_alpha*/ 0, /*colorize*/ 0);
    MyPaintRectangle roi;
    mypaint_surface_end_atomic(surface, &roi);
  }
  state.SetItemsProcessed(lines * DabsPerLine(radius));
  mypaint_surface_unref(surface);
}

}  // namespace

BENCHMARK_CAPTURE(BriselDabs, horizontal, 0.0f)->Name("dabs/brisel/radius")->Arg(2)->Arg(8)->Arg(32);
BENCHMARK_CAPTURE(LibmypaintDabs, horizontal, 0.0f)->Name("dabs/libmypaint/radius")->Arg(2)->Arg(8)->Arg(32);
BENCHMARK_CAPTURE(BriselDabs, slanted, kSlant)->Name("dabs/brisel/slanted-radius")->Arg(2)->Arg(8)->Arg(32);
BENCHMARK_CAPTURE(LibmypaintDabs, slanted, kSlant)
    ->Name("dabs/libmypaint/slanted-radius")
    ->Arg(2)
    ->Arg(8)
    ->Arg(32);
