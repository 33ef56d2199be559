// The HSV conversions: round trips over the byte grid, greys, and out-of-range input made sane.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/native.h"

namespace brisel::testing {
namespace {

using native::HSV_To_RGB;
using native::RGB_To_HSV;

struct Rgb {
  float r, g, b;
};
Rgb ToRgb(float h, float s, float v) {
  Rgb c;
  HSV_To_RGB(c.r, c.g, c.b, h, s, v);
  return c;
}
void ExpectSame(Rgb a, Rgb b, const char* what) {
  EXPECT_FLOAT_EQ(a.r, b.r) << what;
  EXPECT_FLOAT_EQ(a.g, b.g) << what;
  EXPECT_FLOAT_EQ(a.b, b.b) << what;
}

TEST(HsvTest, BytesSurviveTheRoundTripAndHueStaysBelow360) {
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        float h, s, v;
        RGB_To_HSV(r / 255.0f, g / 255.0f, b / 255.0f, h, s, v);
        ASSERT_TRUE(h >= 0 && h < 360 && s >= 0 && s <= 1 && v >= 0 && v <= 1) << r << "," << g << "," << b;
        const Rgb back = ToRgb(h, s, v);
        ASSERT_EQ(std::lrint(back.r * 255), r) << r << "," << g << "," << b;
        ASSERT_EQ(std::lrint(back.g * 255), g) << r << "," << g << "," << b;
        ASSERT_EQ(std::lrint(back.b * 255), b) << r << "," << g << "," << b;
      }
}

TEST(HsvTest, PrimariesAndGreys) {
  float h, s, v;
  RGB_To_HSV(0, 1, 0, h, s, v);
  EXPECT_EQ(h, 120.0f);
  RGB_To_HSV(1, 0, 1, h, s, v);
  EXPECT_EQ(h, 300.0f);
  RGB_To_HSV(0.4f, 0.4f, 0.4f, h, s, v);
  EXPECT_EQ(h, 0.0f) << "a grey reports hue 0";
  EXPECT_EQ(s, 0.0f);
  EXPECT_FLOAT_EQ(v, 0.4f);
  RGB_To_HSV(0, 0, 0, h, s, v);
  EXPECT_EQ(h + s + v, 0.0f);
}

TEST(HsvTest, OutOfRangeInputIsLimitedOrWrapped) {
  ExpectSame(ToRgb(360, 1, 1), ToRgb(0, 1, 1), "360 is 0");
  ExpectSame(ToRgb(-120, 0.5f, 0.8f), ToRgb(240, 0.5f, 0.8f), "negative hues wrap");
  ExpectSame(ToRgb(725, 1, 1), ToRgb(5, 1, 1), "two turns and 5");
  // The per-pixel triangle asks for saturations up to about 1.5 and values a little above 1.
  ExpectSame(ToRgb(30, 1.48f, 1.006f), ToRgb(30, 1, 1), "saturation and value stop at 1");
  ExpectSame(ToRgb(30, -0.2f, -1), ToRgb(30, 0, 0), "and at 0");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ExpectSame(ToRgb(nan, nan, 0.5f), ToRgb(0, 0, 0.5f), "NaN counts as 0");
  float h, s, v;
  RGB_To_HSV(1.5f, -1, 0, h, s, v);  // a slider set out of range by code
  EXPECT_EQ(h, 0.0f);
  EXPECT_EQ(s, 1.0f);
  EXPECT_EQ(v, 1.0f);
}

}  // namespace
}  // namespace brisel::testing
