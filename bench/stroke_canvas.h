#pragma once
// A canvas for the stroke benchmarks, set up as start-up and the canvas's load leave it: the image planes,
// the display copy and the mask, the canvas window with its client area, the display bitmap at a zoom,
// and the whole image drawn once. The toolkit runs on the offscreen platform.

#include <QApplication>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/canvas_stroke.h"
#include "app/reset_state.h"
#include "app/startup.h"
#include "app/window_handlers.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::bench {

inline void EnsureQt() {
  if (QApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "brisel_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

inline void MakeCanvas(int32_t imageWidth, int32_t imageHeight, float zoom, int32_t clientWidth, int32_t clientHeight) {
  EnsureQt();
  app::WireWindowHandlers();
  Dibs::FreeDib();
  DestroyWindows();
  app::ResetProgramState();
  ImageWidth = imageWidth;
  ImageHeight = imageHeight;
  app::SizeBuffers();
  // A smooth picture with some texture, so that nothing is uniform.
  for (int32_t y = 0; y < imageHeight; ++y)
    for (int32_t x = 0; x < imageWidth; ++x) {
      PlaneR(x, y) = uint8_t(x / 8 + y);
      PlaneG(x, y) = uint8_t(y / 4 + (x * 7 & 31));
      PlaneB(x, y) = uint8_t((x + y) / 16);
    }
  ViewR = PlaneR;
  ViewG = PlaneG;
  ViewB = PlaneB;
  brisel::app::CanvasStroke().StrokePoints.assign(stroke::kStrokePointsLast + 1, stroke::StrokePoint{0, 0, 0});
  Zoom = zoom;
  Form1Window().SetClientSize(clientWidth, clientHeight);
  Dibs::CreateDib(Form1Window());
  canvas::displaybuffers(Form1Window());
  BrushSize = 2;
  BrushOpacity = 255;
  BrushPress = 255;
  BrushStep = 15;
  PaintRed = 200;
  PaintGreen = 40;
  PaintBlue = 90;
}

inline void DropCanvas() {
  Dibs::FreeDib();
  DestroyWindows();
  app::ResetProgramState();
}

// The calling thread's CPU time, in microseconds: a move's cost whatever else the machine does.
inline double ThreadMicroseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// The p-th quantile (0..1) of v, the nearest rank below.
inline double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

}  // namespace brisel::bench
