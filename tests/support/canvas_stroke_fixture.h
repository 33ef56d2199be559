#pragma once
// A canvas for the tests of the canvas's stroke handlers: the whole program reset, an image of the given size
// with every plane allocated (no host, no window unless a test makes one), and a brush that paints opaque black.

#include <gtest/gtest.h>

#include <cstdint>

#include "app/canvas_stroke.h"
#include "app/reset_state.h"
#include "app/startup.h"
#include "canvas/display_bitmap.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "stroke/stroke_fixture.h"

namespace brisel::testing {

class CanvasStrokeTest : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override { Fresh(); }

  static void Fresh() {
    DestroyWindows();
    app::ResetProgramState();
  }

  // A white image of width x height, an empty mask, and the brush the tool panel starts with (size 2,
  // full opacity and pressure, step 15) in black.
  static void MakeImage(int32_t width, int32_t height, uint8_t fill = 255) {
    ImageWidth = width;
    ImageHeight = height;
    app::SizeBuffers();
    for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB, &ViewR, &ViewG, &ViewB}) p->fill(fill);
    app::CanvasStroke().StrokePoints.assign(stroke::kStrokePointsLast + 1, stroke::StrokePoint{0, 0, 0});
    BrushSize = 2;
    BrushOpacity = 255;
    BrushPress = 255;
    BrushStep = 15;
    PaintRed = PaintGreen = PaintBlue = 0;
  }
};

}  // namespace brisel::testing
