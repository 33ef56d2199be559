#pragma once
// A canvas for the stroke engine's tests: shared state reset, an image of the given size with every plane
// allocated (no host, no window unless a test makes one), and a brush that paints opaque black.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "app/reset_state.h"
#include "app/startup.h"
#include "canvas/display_bitmap.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::testing {

class StrokeTest : public ::testing::Test {
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
    StrokePoints.assign(kStrokePointsLast + 1, StrokePoint{0, 0, 0});
    BrushSize = 2;
    BrushOpacity = 255;
    BrushPress = 255;
    BrushStep = 15;
    PaintRed = PaintGreen = PaintBlue = 0;
  }

  static void Randomise(BytePlane& plane, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int32_t y = 0; y < plane.height(); ++y)
      for (int32_t x = 0; x < plane.width(); ++x) plane(x, y) = uint8_t(byte(rng));
  }

  static int CountNonZero(const BytePlane& plane) {
    int n = 0;
    for (int32_t y = 0; y < plane.height(); ++y)
      for (int32_t x = 0; x < plane.width(); ++x) n += plane(x, y) != 0;
    return n;
  }
};

}  // namespace brisel::testing
