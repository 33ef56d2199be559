// The GIMP host's pixel arithmetic, without GIMP: patterns to grey, and what a send changes.

#include <gtest/gtest.h>

#include <vector>

#include "gimp/layer_pixels.h"

namespace brisel::gimphost {
namespace {

TEST(PatternToGrey, ReadsEveryPixelKindAndShowsTransparencyAsWhite) {
  const std::vector<uint8_t> grey = {0, 100, 255};
  const BytePlane g = PatternToGrey(grey, 3, 1, 1);
  EXPECT_EQ(g(0, 0), 0);
  EXPECT_EQ(g(1, 0), 100);
  EXPECT_EQ(g(2, 0), 255);

  const std::vector<uint8_t> greyAlpha = {100, 255, 100, 0, 0, 128};
  const BytePlane ga = PatternToGrey(greyAlpha, 3, 1, 2);
  EXPECT_EQ(ga(0, 0), 100);
  EXPECT_EQ(ga(1, 0), 255);  // transparent: the white under it
  EXPECT_EQ(ga(2, 0), 127);  // black at half cover

  const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const BytePlane colour = PatternToGrey(rgb, 2, 2, 3);
  EXPECT_EQ(colour(0, 0), 255 * 11 / 32);
  EXPECT_EQ(colour(1, 0), 255 * 16 / 32);
  EXPECT_EQ(colour(0, 1), 255 * 5 / 32);
  EXPECT_EQ(colour(1, 1), 255);

  const std::vector<uint8_t> rgba = {0, 0, 0, 255, 0, 0, 0, 0};
  const BytePlane alpha = PatternToGrey(rgba, 2, 1, 4);
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(1, 0), 255);
}

TEST(PatternToGrey, RefusesBytesThatDoNotHoldThePattern) {
  const std::vector<uint8_t> bytes(11, 7);
  EXPECT_TRUE(PatternToGrey(bytes, 2, 2, 3).empty()) << "12 bytes needed";
  EXPECT_TRUE(PatternToGrey(bytes, 2, 2, 5).empty());
  EXPECT_TRUE(PatternToGrey(bytes, 0, 2, 1).empty());
  EXPECT_TRUE(PatternToGrey(bytes, -3, -2, 1).empty());
}

// A 5 x 4 layer with alpha, pixel (x, y) = (x, y, x + y, alpha 200 + x).
struct Layer {
  static constexpr int kWidth = 5, kHeight = 4, kChannels = 4;
  std::vector<uint8_t> pixels;
  BytePlane r{kWidth, kHeight}, g{kWidth, kHeight}, b{kWidth, kHeight};
  Layer() {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        pixels.insert(pixels.end(), {uint8_t(x), uint8_t(y), uint8_t(x + y), uint8_t(200 + x)});
        r(x, y) = uint8_t(x);
        g(x, y) = uint8_t(y);
        b(x, y) = uint8_t(x + y);
      }
    }
  }
  StagedPlanes staged() const { return {r, g, b}; }
};

TEST(Send, ChangesOnlyThePixelsWhoseColourDiffersAndKeepsAlpha) {
  Layer layer;
  const Box whole{0, 0, Layer::kWidth, Layer::kHeight};
  EXPECT_TRUE(ChangedBox(layer.pixels, 4, whole, layer.staged()).empty()) << "planes as read change nothing";

  layer.g(1, 1) = 99;  // one channel of one pixel
  layer.b(3, 2) = 98;
  const Box box = ChangedBox(layer.pixels, 4, whole, layer.staged());
  EXPECT_EQ(box, (Box{1, 1, 3, 2}));

  const ComposedStrip strip = Compose(layer.pixels, 4, whole, layer.staged(), box);
  EXPECT_EQ(strip.changed, (std::vector<uint8_t>{1, 0, 0, 0, 0, 1}));
  // (1, 1) as sent, with the layer's own alpha.
  EXPECT_EQ(std::vector<uint8_t>(strip.pixels.begin(), strip.pixels.begin() + 4), (std::vector<uint8_t>{1, 99, 2, 201}));

  // In the layer's own format (here 2 bytes a pixel), only the changed pixels take the converted values.
  std::vector<uint8_t> native(12, 0xAA), converted(12, 0x55);
  TakeChanged(native, converted, 2, strip.changed);
  EXPECT_EQ(native, (std::vector<uint8_t>{0x55, 0x55, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 0x55}));
}

// The same arithmetic on a part of the layer (the pixels read for area only) gives what the whole layer
// gives for the pixels in that part.
TEST(Send, ComparesAndComposesWithinAPartOfTheLayer) {
  Layer layer;
  layer.g(1, 1) = 99;
  layer.b(3, 2) = 98;
  layer.r(4, 3) = 97;
  const Box whole{0, 0, Layer::kWidth, Layer::kHeight};
  for (const Box area : {Box{1, 1, 3, 2}, Box{2, 1, 3, 3}, Box{0, 0, 2, 2}, Box{4, 0, 1, 3}}) {
    SCOPED_TRACE(testing::Message() << area.x << "," << area.y << " " << area.width << "x" << area.height);
    std::vector<uint8_t> part;
    for (int y = area.y; y < area.y + area.height; ++y)
      for (int x = area.x; x < area.x + area.width; ++x)
        part.insert(part.end(), layer.pixels.begin() + (y * Layer::kWidth + x) * 4,
                    layer.pixels.begin() + (y * Layer::kWidth + x + 1) * 4);
    const Box inPart = ChangedBox(part, 4, area, layer.staged());
    // The bounds of the pixels in area whose colour the whole layer's composition says changes.
    int32_t x0 = area.x + area.width, y0 = area.y + area.height, x1 = area.x, y1 = area.y;
    for (int y = area.y; y < area.y + area.height; ++y)
      for (int x = area.x; x < area.x + area.width; ++x)
        if (Compose(layer.pixels, 4, whole, layer.staged(), {x, y, 1, 1}).changed[0]) {
          x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
        }
    const Box expected = x1 > x0 ? Box{x0, y0, x1 - x0, y1 - y0} : Box{};
    EXPECT_EQ(inPart, expected);
    if (inPart.empty()) continue;
    const ComposedStrip fromPart = Compose(part, 4, area, layer.staged(), inPart);
    const ComposedStrip fromWhole = Compose(layer.pixels, 4, whole, layer.staged(), inPart);
    EXPECT_EQ(fromPart.pixels, fromWhole.pixels);
    EXPECT_EQ(fromPart.changed, fromWhole.changed);
  }
}

// GIMP changed (0, 0) and (2, 2) since the fetch, the program painted (2, 2) and (3, 1): the program's
// pixels are written, its stroke winning where both changed one; GIMP's other edit stays.
TEST(Send, WritesOnlyWhatTheProgramPaintedSinceTheLayerAndItLastAgreed) {
  Layer layer;
  const Layer base;
  const Box whole{0, 0, Layer::kWidth, Layer::kHeight};
  layer.pixels[0] = 77;                               // GIMP: (0, 0)
  layer.pixels[(2 * Layer::kWidth + 2) * 4 + 1] = 66;  // GIMP: (2, 2)
  layer.r(2, 2) = 11;                                 // the program: (2, 2) and (3, 1)
  layer.b(3, 1) = 12;
  const std::vector<uint8_t> painted = PaintedSince(layer.staged(), base.staged());
  StagedPlanes planes = layer.staged();
  planes.painted = painted;
  EXPECT_EQ(ChangedBox(layer.pixels, 4, whole, planes), (Box{2, 1, 2, 2}));
  const ComposedStrip strip = Compose(layer.pixels, 4, whole, planes, whole);
  for (int y = 0; y < Layer::kHeight; ++y)
    for (int x = 0; x < Layer::kWidth; ++x)
      EXPECT_EQ(strip.changed[size_t(y * Layer::kWidth + x)], (x == 2 && y == 2) || (x == 3 && y == 1)) << x << "," << y;
}

TEST(Send, IntersectsBoxes) {
  EXPECT_EQ(Intersect({0, 0, 10, 10}, {5, 6, 10, 10}), (Box{5, 6, 5, 4}));
  EXPECT_TRUE(Intersect({0, 0, 10, 10}, {10, 0, 5, 5}).empty()) << "the far edge is exclusive";
}

TEST(ChannelPlane, SplitsInterleavedPixels) {
  Layer layer;
  EXPECT_EQ(ChannelPlane(layer.pixels, Layer::kWidth, Layer::kHeight, 4, host::Channel::kBlue), layer.b);
  const std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6};
  const BytePlane green = ChannelPlane(rgb, 2, 1, 3, host::Channel::kGreen);
  EXPECT_EQ(green(0, 0), 2);
  EXPECT_EQ(green(1, 0), 5);
}

}  // namespace
}  // namespace brisel::gimphost
