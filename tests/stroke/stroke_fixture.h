#pragma once
// A surface for the stroke engine's tests: an image of the given size with every plane of its own, a
// stroke of its own and a brush that paints opaque black. Nothing of the program's shared state is used but
// the blend tables, which the tests that need them build.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "platform/byte_plane.h"
#include "stroke/stroke.h"
#include "stroke/surface.h"

namespace brisel::testing {

inline void Randomise(BytePlane& plane, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (int32_t y = 0; y < plane.height(); ++y)
    for (int32_t x = 0; x < plane.width(); ++x) plane(x, y) = uint8_t(byte(rng));
}

inline int CountNonZero(const BytePlane& plane) {
  int n = 0;
  for (int32_t y = 0; y < plane.height(); ++y)
    for (int32_t x = 0; x < plane.width(); ++x) n += plane(x, y) != 0;
  return n;
}

class StrokeTest : public ::testing::Test {
 protected:
  // A white image of width x height, an empty mask, no paper, and the brush the tool panel starts with
  // (size 2, full opacity and pressure, step 15) in black.
  void MakeImage(int32_t width, int32_t height, uint8_t fill = 255) {
    for (BytePlane* p : {&planeR, &planeG, &planeB, &viewR, &viewG, &viewB}) *p = BytePlane(width, height, fill);
    mask = BytePlane(width, height, 0);
    surface.width = width;
    surface.height = height;
    s = stroke::Stroke{};
    brush.size = 2;
    brush.opacity = 255;
    brush.press = 255;
    brush.step = 15;
    brush.paintRed = brush.paintGreen = brush.paintBlue = 0;
  }

  BytePlane planeR, planeG, planeB, viewR, viewG, viewB, mask, paper;
  stroke::Surface surface{planeR, planeG, planeB, viewR, viewG, viewB, mask, paper};
  stroke::compositing::Brush brush;
  stroke::Stroke s;
};

}  // namespace brisel::testing
