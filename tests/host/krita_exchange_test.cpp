// The Krita host's rules without Krita: the exchange header, the pipe's answers, 16-bit pixels read as planes,
// and a send's merge (three-way, selection, alpha, depth), against a plain reference over many cases.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/over_white.h"
#include "common/send_planes.h"
#include "krita/exchange.h"
#include "krita/layer_merge.h"

namespace brisel::kritahost {
namespace {

TEST(KritaHeader, ReadsWhatThePluginWritesAndRefusesTheRest) {
  const std::string good = "brisel-krita 1\nsize 40 30\norigin -5 7\ndepth 16\ndocument /home/a b.kra\n"
                           "layer Paint  layer\nwindow 18874375\nlater-key something\n";
  std::string why;
  ASSERT_TRUE(ParseHeader("brisel-krita 1\nsize 32767 4096\ndepth 8\n", why)) << why;  // 2^27 pixels, just
  const auto header = ParseHeader(good, why);
  ASSERT_TRUE(header) << why;
  EXPECT_EQ(header->width, 40);
  EXPECT_EQ(header->height, 30);
  EXPECT_EQ(header->originX, -5);
  EXPECT_EQ(header->depth, 16);
  EXPECT_EQ(header->document, "/home/a b.kra");
  EXPECT_EQ(header->layer, "Paint  layer");
  EXPECT_EQ(header->window, 18874375u);

  const struct {
    const char* text;
    const char* why;
  } kBad[] = {
      {"", "empty"},
      {"brisel-krita 2\nsize 4 4\ndepth 8\n", "another version"},
      {"brisel-krita 1\ndepth 8\n", "no size"},
      {"brisel-krita 1\nsize 0 4\ndepth 8\n", "an empty layer"},
      {"brisel-krita 1\nsize 4 -4\ndepth 8\n", "a negative height"},
      {"brisel-krita 1\nsize 4x4\ndepth 8\n", "a size in one word"},
      {"brisel-krita 1\nsize 32768 4\ndepth 8\n", "wider than Brisel opens"},
      {"brisel-krita 1\nsize 11586 11586\ndepth 8\n", "more pixels than Brisel opens"},
      {"brisel-krita 1\nsize 4 4\ndepth 12\n", "a depth Krita's integer layers do not have"},
      {"brisel-krita 1\nsize 4 4\n", "no depth"},
      {"brisel-krita 1\nsize 4 4 4\ndepth 8\n", "three numbers for a size"},
  };
  for (const auto& bad : kBad) {
    why.clear();
    EXPECT_FALSE(ParseHeader(bad.text, why)) << bad.why;
    EXPECT_FALSE(why.empty()) << bad.why;
  }
}

TEST(KritaPixels, SixteenBitValuesReadAsTheNearestByteAndShortBytesReadAsNothing) {
  // Two pixels of B, G, R, A in 16 bits: each value's nearest 8-bit one.
  const uint16_t values[8] = {0, 128, 129, 65535, 32767, 32896, 65535, 65535};
  std::vector<uint8_t> bytes(sizeof values);
  std::memcpy(bytes.data(), values, sizeof values);
  const auto planes = PlanesOf(bytes, 2, 1, 16);
  ASSERT_EQ(planes[0].width(), 2);
  EXPECT_EQ(planes[2](0, 0), 0);    // blue 0
  EXPECT_EQ(planes[1](0, 0), 0);    // green 128: 0.498 of a step
  EXPECT_EQ(planes[0](0, 0), 1);    // red 129: past half a step
  EXPECT_EQ(planes[2](1, 0), 127);  // 32767
  EXPECT_EQ(planes[1](1, 0), 128);  // 32896 = 128 * 257
  EXPECT_EQ(planes[0](1, 0), 255);
  for (uint32_t v = 0; v < 65536; ++v) EXPECT_EQ(Narrow(uint16_t(Narrow(uint16_t(v)) * 257)), Narrow(uint16_t(v)));
  EXPECT_TRUE(PlanesOf(std::span(bytes).first(15), 2, 1, 16)[0].empty());
  // Laid on white: transparent is white, half-transparent half its colour; the reference over every pair.
  for (int depth : {8, 16})
    for (uint32_t a = 0; a < 256; a += 5)
      for (uint32_t c = 0; c < 256; c += 3) {
        const uint16_t wide[4] = {uint16_t(c * 257), 0, 65535, uint16_t(a * 257)};
        const uint8_t narrow[4] = {uint8_t(c), 0, 255, uint8_t(a)};
        std::vector<uint8_t> pixel(PixelBytes(depth));
        std::memcpy(pixel.data(), depth == 8 ? static_cast<const void*>(narrow) : wide, pixel.size());
        const auto laid = PlanesOf(pixel, 1, 1, depth);
        ASSERT_EQ(laid[2](0, 0), uint8_t((c * a + 255 * (255 - a) + 127) / 255)) << depth << " " << a << " " << c;
        ASSERT_EQ(laid[1](0, 0), uint8_t((255 * (255 - a) + 127) / 255));
        ASSERT_EQ(laid[0](0, 0), 255);
      }
  EXPECT_TRUE(PlanesOf(bytes, 2, 1, 12)[0].empty());
}

// The merge as the rule reads, pixel by pixel over the whole layer: the expected layer after a send. A
// painted pixel is made to show on white what was painted; a partly selected one is blended towards that.
std::vector<uint8_t> ReferenceMerge(const std::vector<uint8_t>& layer, int depth, int32_t width, const Box& area,
                                    const host::StagedPlanes& planes, const std::vector<uint8_t>& selection) {
  std::vector<uint8_t> out = layer;
  const size_t size = PixelBytes(depth);
  const double most = depth == 8 ? 255 : 65535;
  auto get = [&](const uint8_t* at) -> uint32_t {
    if (depth == 8) return *at;
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
  };
  for (int32_t y = area.y; y < area.y + area.height; ++y)
    for (int32_t x = area.x; x < area.x + area.width; ++x) {
      if (!planes.Painted(x, y)) continue;
      const uint32_t s = selection.empty() ? 255 : selection[size_t(y) * size_t(width) + size_t(x)];
      const uint8_t shown[3] = {planes.b(x - planes.x, y - planes.y), planes.g(x - planes.x, y - planes.y),
                                planes.r(x - planes.x, y - planes.y)};
      uint8_t* pixel = out.data() + (size_t(y) * size_t(width) + size_t(x)) * size;
      double wanted[4] = {0, 0, 0, get(pixel + 3 * size / 4) / most};
      host::ShowOverWhite(wanted, shown);  // what it means on white, the row below says
      for (int c = 0; c < 4; ++c) {
        const uint32_t old = get(pixel + size_t(c) * (size / 4)), target = uint32_t(std::lround(wanted[c] * most));
        const uint32_t value = (old * (255 - s) + target * s + 127) / 255;
        if (depth == 8) pixel[c] = uint8_t(value);
        else std::memcpy(pixel + 2 * c, &value, 2);
      }
    }
  return out;
}

TEST(KritaMerge, MatchesTheReferenceOverDepthsSelectionsAndPartsOfTheLayer) {
  std::mt19937 random(27);
  auto byte = [&] { return uint8_t(random()); };
  struct Case {
    int depth;
    int32_t width, height;
    Box part;      // where the staged planes lie
    Box area;      // what the send may change
    bool selection, painted;
  };
  const Case kCases[] = {
      {8, 1, 1, {0, 0, 1, 1}, {0, 0, 1, 1}, false, false},
      {8, 17, 9, {0, 0, 17, 9}, {0, 0, 17, 9}, false, false},
      {8, 17, 9, {3, 2, 10, 5}, {4, 2, 8, 5}, true, true},
      {16, 17, 9, {0, 0, 17, 9}, {0, 0, 17, 9}, false, true},
      {16, 31, 12, {5, 1, 20, 10}, {6, 3, 15, 7}, true, true},
      {16, 2, 40, {0, 10, 2, 30}, {1, 10, 1, 30}, true, false},
      {8, 64, 3, {0, 0, 64, 3}, {60, 0, 4, 3}, true, true},
  };
  for (const Case& k : kCases) {
    const size_t size = PixelBytes(k.depth);
    std::vector<uint8_t> layer(size_t(k.width) * size_t(k.height) * size);
    for (auto& b : layer) b = byte();
    std::array<BytePlane, 3> parts{BytePlane(k.part.width, k.part.height), BytePlane(k.part.width, k.part.height),
                                   BytePlane(k.part.width, k.part.height)};
    std::vector<uint8_t> painted;
    for (auto& plane : parts)
      for (size_t i = 0; i < plane.size(); ++i) plane.data()[i] = byte() % 4 == 0 ? 0 : byte();
    if (k.painted)
      for (size_t i = 0; i < parts[0].size(); ++i) painted.push_back(byte() % 3 == 0);
    std::vector<uint8_t> selection;
    if (k.selection)
      for (int32_t i = 0; i < k.width * k.height; ++i) selection.push_back(i % 5 == 0 ? 0 : i % 5 == 1 ? 255 : byte());
    const host::StagedPlanes planes{parts[0], parts[1], parts[2], k.part.x, k.part.y, painted};

    // What the host hands Krita: the area's pixels now, and the area's selection.
    std::vector<uint8_t> current, areaSelection;
    for (int32_t y = k.area.y; y < k.area.y + k.area.height; ++y) {
      const size_t from = (size_t(y) * size_t(k.width) + size_t(k.area.x)) * size;
      current.insert(current.end(), layer.begin() + from, layer.begin() + from + size_t(k.area.width) * size);
      if (k.selection)
        areaSelection.insert(areaSelection.end(), selection.begin() + y * k.width + k.area.x,
                             selection.begin() + y * k.width + k.area.x + k.area.width);
    }
    const Merged merged = MergeSend(current, k.depth, k.area, planes, areaSelection);
    const std::vector<uint8_t> expected = ReferenceMerge(layer, k.depth, k.width, k.area, planes, selection);

    // The merge's box, put onto the layer, gives the reference; and it is the smallest box that does.
    std::vector<uint8_t> result = layer;
    const size_t row = size_t(merged.changed.width) * size;
    for (int32_t y = 0; y < merged.changed.height; ++y)
      std::memcpy(result.data() + (size_t(merged.changed.y + y) * size_t(k.width) + size_t(merged.changed.x)) * size,
                  merged.pixels.data() + size_t(y) * row, row);
    const std::string name = "depth " + std::to_string(k.depth) + ", " + std::to_string(k.width) + " x " +
                             std::to_string(k.height) + (k.selection ? ", selection" : "") +
                             (k.painted ? ", painted mask" : "");
    EXPECT_EQ(result, expected) << name;
    // And the whole area as the layer then holds it, which the canvas is shown where it differs from the send.
    std::vector<uint8_t> expectedArea;
    for (int32_t y = k.area.y; y < k.area.y + k.area.height; ++y) {
      const auto from = expected.begin() + ptrdiff_t((size_t(y) * size_t(k.width) + size_t(k.area.x)) * size);
      expectedArea.insert(expectedArea.end(), from, from + ptrdiff_t(size_t(k.area.width) * size));
    }
    EXPECT_EQ(merged.area, expectedArea) << name;
    int32_t left = k.width, right = -1, top = k.height, bottom = -1;
    for (int32_t y = 0; y < k.height; ++y)
      for (int32_t x = 0; x < k.width; ++x)
        if (std::memcmp(layer.data() + (size_t(y) * size_t(k.width) + size_t(x)) * size,
                        expected.data() + (size_t(y) * size_t(k.width) + size_t(x)) * size, size) != 0) {
          left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    const Box smallest = right < 0 ? Box{} : Box{left, top, right - left + 1, bottom - top + 1};
    EXPECT_EQ(merged.changed, smallest) << name;
    EXPECT_FALSE(merged.changed.empty()) << name << ": the case should change something";
    // Shown on white, a painted 8-bit pixel is what was painted, give or take the rounding; its alpha never fell.
    const Box both = host::Intersect(k.part, k.area);
    for (int32_t y = both.y; k.depth == 8 && !k.selection && y < both.y + both.height; ++y)
      for (int32_t x = both.x; x < both.x + both.width; ++x) {
        if (!planes.Painted(x, y)) continue;
        const uint8_t* pixel = result.data() + (size_t(y) * size_t(k.width) + size_t(x)) * 4;
        const uint8_t painted[3] = {planes.b(x - k.part.x, y - k.part.y), planes.g(x - k.part.x, y - k.part.y),
                                    planes.r(x - k.part.x, y - k.part.y)};
        for (int c = 0; c < 3; ++c) ASSERT_LE(std::abs(host::OnWhite(pixel[c], pixel[3]) - painted[c]), 1) << name;
        ASSERT_GE(pixel[3], layer[(size_t(y) * size_t(k.width) + size_t(x)) * 4 + 3]) << name;
      }
  }
}

TEST(KritaMerge, PlanesEqualToTheLayerChangeNothing) {
  std::vector<uint8_t> layer = {10, 20, 30, 255, 1, 2, 3, 255};
  const auto planes = PlanesOf(layer, 2, 1, 8);
  const Merged merged = MergeSend(layer, 8, {0, 0, 2, 1}, {planes[0], planes[1], planes[2]}, {});
  EXPECT_TRUE(merged.changed.empty());
  EXPECT_TRUE(merged.pixels.empty());
  EXPECT_EQ(merged.area, layer);
}

// The three-way rule, as every sharing host keeps it: a send marks as the program's only what differs from
// what it and the layer last agreed on, the fetch first and then each send.
TEST(SendPlanes, MarksOnlyWhatTheProgramPaintedSinceItAndTheLayerLastAgreed) {
  host::SendPlanes planes;
  BytePlane r(6, 4, 10), g(6, 4, 20), b(6, 4, 30);
  auto read = [&] { return host::SendPlanes::Reading{r, g, b}; };
  BytePlane red = planes.Fetch(host::Channel::kRed, read);
  BytePlane green = planes.Fetch(host::Channel::kGreen, [] { ADD_FAILURE() << "green read again"; return host::SendPlanes::Reading{}; });
  BytePlane blue = planes.Fetch(host::Channel::kBlue, read);
  red(1, 1) = 99;   // painted
  blue(4, 2) = 31;  // painted
  auto send = [&](host::Box box) {
    planes.SetChangedBox(box);
    planes.Stage(host::Channel::kRed, red);
    planes.Stage(host::Channel::kGreen, green);
    planes.Stage(host::Channel::kBlue, blue);
    return planes.Take(6, 4, "the layer");
  };
  host::Send first = send({1, 1, 4, 2});
  EXPECT_EQ(first.part, (host::Box{1, 1, 4, 2}));
  EXPECT_EQ(first.Area({0, 0, 3, 4}), (host::Box{1, 1, 2, 2}));
  const std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(first.painted, expected);
  planes.Agreed(first);

  green(2, 2) = 77;  // painted after the first send: the only pixel of the next
  host::Send second = send({0, 0, 6, 4});
  std::vector<uint8_t> only(24, 0);
  only[2 * 6 + 2] = 1;
  EXPECT_EQ(second.painted, only);

  // Planes of another size than the layer's are refused with the layer named; staged nothing, likewise.
  planes.Stage(host::Channel::kRed, red);
  planes.Stage(host::Channel::kGreen, green);
  planes.Stage(host::Channel::kBlue, blue);
  EXPECT_THROW(planes.Take(7, 4, "Krita's layer"), Error);
  EXPECT_THROW(planes.Take(6, 4, "Krita's layer"), Error);
}

// Brisel's end of the pipe, with the plug-in's answers written ahead into the pipe.
struct Pipes {
  int requests[2], answers[2];
  Pipes() {
    EXPECT_EQ(::pipe(requests), 0);
    EXPECT_EQ(::pipe(answers), 0);
  }
  ~Pipes() {
    for (int fd : {requests[0], requests[1], answers[0], answers[1]})
      if (fd >= 0) ::close(fd);
  }
  void Answer(const std::string& text) { ASSERT_EQ(::write(answers[1], text.data(), text.size()), ssize_t(text.size())); }
  std::string Requests() {
    char buffer[256];
    const ssize_t n = ::read(requests[0], buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, size_t(n)) : "";
  }
};

TEST(KritaExchange, AsksALineAndTakesTheAnswersInTurn) {
  Pipes pipes;
  Exchange exchange("/nowhere", pipes.requests[1], pipes.answers[0]);
  pipes.Answer("ok 40 30\nok 1\nerror The layer is locked in Krita\n");
  EXPECT_EQ(exchange.Ask("size"), "ok 40 30");
  EXPECT_EQ(*OkWords(exchange.Ask("read 1 2 3 4")), (std::vector<std::string>{"1"}));
  try {
    exchange.Ask("apply 1 2 3 4");
    ADD_FAILURE() << "an error answer was taken";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), "The layer is locked in Krita");
  }
  EXPECT_EQ(pipes.Requests(), "size\nread 1 2 3 4\napply 1 2 3 4\n");
  EXPECT_FALSE(OkWords("changed"));
  // Krita gone: the pipe closed without an answer is an error, not a wait.
  ::close(pipes.answers[1]);
  pipes.answers[1] = -1;
  EXPECT_THROW(exchange.Ask("fetch"), Error);
}

}  // namespace
}  // namespace brisel::kritahost
