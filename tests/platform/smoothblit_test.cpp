#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/native.h"

namespace brisel::native {
namespace {

constexpr uint8_t kSentinel = 0x5a;

struct Planes {
  int32_t w, h;
  std::vector<uint8_t> r, g, b;  // exactly w * h bytes, so a sanitizer sees any read past the end
  Planes(int32_t width, int32_t height) : w(width), h(height), r(w * h), g(w * h), b(w * h) {}
  void fill(auto value) {  // value(x, y, channel)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        r[y * w + x] = static_cast<uint8_t>(value(x, y, 0));
        g[y * w + x] = static_cast<uint8_t>(value(x, y, 1));
        b[y * w + x] = static_cast<uint8_t>(value(x, y, 2));
      }
  }
};

Planes RandomPlanes(int32_t w, int32_t h, uint32_t seed) {
  Planes p(w, h);
  std::mt19937 random(seed);
  p.fill([&](int32_t, int32_t, int) { return random() & 255; });
  return p;
}

// The display bitmap for the whole image at zoom, every byte the sentinel.
struct Bitmap {
  int32_t zoomedWidth, zoomedHeight, dibWidth;
  std::vector<uint8_t> bits;
  Bitmap(const Planes& p, float zoom)
      : zoomedWidth(static_cast<int32_t>(std::floor(p.w * double(zoom)))),
        zoomedHeight(static_cast<int32_t>(std::floor(p.h * double(zoom)))),
        dibWidth((zoomedWidth + 3) / 4 * 4),
        bits(static_cast<size_t>(dibWidth) * std::max(zoomedHeight, 1) * 4, kSentinel) {}
  const uint8_t* at(int32_t u, int32_t v) const { return &bits[(static_cast<size_t>(v) * dibWidth + u) * 4]; }
  bool written(int32_t u, int32_t v) const { return at(u, v)[3] == 255; }
};

using Blit = decltype(&p_smoothblit);

void Render(Blit blit, const Planes& p, Bitmap& bmp, int32_t x1, int32_t y1, int32_t x2, int32_t y2, float zoom) {
  blit(p.r.data(), p.g.data(), p.b.data(), bmp.bits.data(), x1, y1, x2, y2, p.w + 1, p.h + 1, bmp.zoomedWidth,
       bmp.zoomedHeight, bmp.dibWidth, zoom);
}

int32_t Floor(int32_t c, float zoom) { return static_cast<int32_t>(std::floor(c * double(zoom))); }

std::string Case(const Planes& p, float zoom, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  std::ostringstream s;
  s << "image " << p.w << "x" << p.h << " zoom " << zoom << " rect (" << x1 << "," << y1 << ")-(" << x2 << ","
    << y2 << ")";
  return s.str();
}

// The zooms the tests sweep: the two exact block means (1/2, 1/4), general shrinking down to eight rows a
// pixel, the straight copy, and magnification.
const float kZooms[] = {0.15f, 0.25f, 0.3f, 0.5f, 0.75f, 1.0f, 1.25f, 2.0f, 3.7f, 6.0f};

TEST(SmoothBlit, ZoomOneIsAStraightInterleave) {
  for (auto [w, h] : {std::pair{1, 1}, {1, 5}, {3, 2}, {7, 7}, {17, 3}, {33, 19}, {100, 80}}) {
    const Planes p = RandomPlanes(w, h, w * 100 + h);
    for (Blit blit : {&p_smoothblit, &p_smoothblit_reference}) {
      Bitmap bmp(p, 1.0f);
      Render(blit, p, bmp, 0, 0, w, h, 1.0f);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t* px = bmp.at(x, y);
          const size_t i = static_cast<size_t>(y) * w + x;
          ASSERT_EQ(px[0], p.b[i]) << w << "x" << h << " at " << x << "," << y;
          ASSERT_EQ(px[1], p.g[i]) << w << "x" << h << " at " << x << "," << y;
          ASSERT_EQ(px[2], p.r[i]) << w << "x" << h << " at " << x << "," << y;
          ASSERT_EQ(px[3], 255) << w << "x" << h << " at " << x << "," << y;
        }
    }
  }
}

// The fast version against the reference, bit for bit, over sizes, zooms and rectangles; and a sub-rectangle
// shows exactly what the whole redraw shows there, so a stroke preview leaves no seams.
TEST(SmoothBlit, FastAgreesWithReferenceAndWithTheWholeRedraw) {
  for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {5, 7}, {17, 9}, {31, 33}, {64, 48}, {101, 37}}) {
    const Planes p = RandomPlanes(w, h, w * 7 + h);
    for (float zoom : kZooms) {
      Bitmap whole(p, zoom);
      Render(&p_smoothblit, p, whole, 0, 0, w, h, zoom);
      const int32_t rects[][4] = {{0, 0, w, h}, {w / 3, h / 4, w - w / 5, h - h / 3}, {w / 2, h / 2, w / 2 + 1, h / 2 + 1},
                                  {w - 1, 0, w, h}, {1, h / 2, w, h}};
      for (const auto& rc : rects) {
        const std::string name = Case(p, zoom, rc[0], rc[1], rc[2], rc[3]);
        Bitmap fast(p, zoom), reference(p, zoom);
        Render(&p_smoothblit, p, fast, rc[0], rc[1], rc[2], rc[3], zoom);
        Render(&p_smoothblit_reference, p, reference, rc[0], rc[1], rc[2], rc[3], zoom);
        ASSERT_TRUE(fast.bits == reference.bits) << name;
        for (size_t i = 0; i < fast.bits.size(); i += 4) {
          if (fast.bits[i + 3] != 255) continue;  // not written
          ASSERT_TRUE(std::equal(&fast.bits[i], &fast.bits[i + 4], &whole.bits[i])) << name << " at byte " << i;
        }
      }
    }
  }
}

// Exactly the bitmap pixels of the zoomed rectangle are written: all of them, so every pixel the window copy
// takes (from floor(x1 * zoom), floor((x2 - x1) * zoom) wide) is fresh, and none beyond.
TEST(SmoothBlit, WritesTheZoomedRectangleAndNothingElse) {
  const Planes p = RandomPlanes(53, 41, 3);
  std::mt19937 random(11);
  for (float zoom : {0.25f, 0.3f, 0.5f, 0.75f, 1.0f, 1.25f, 2.0f, 3.7f, 6.0f, 1.1f}) {
    for (int trial = 0; trial < 12; ++trial) {
      const int32_t x1 = random() % p.w, x2 = x1 + 1 + random() % (p.w - x1);
      const int32_t y1 = random() % p.h, y2 = y1 + 1 + random() % (p.h - y1);
      Bitmap bmp(p, zoom);
      Render(&p_smoothblit, p, bmp, x1, y1, x2, y2, zoom);
      const int32_t u0 = Floor(x1, zoom), u1 = std::min(bmp.zoomedWidth, Floor(x2, zoom));
      const int32_t v0 = Floor(y1, zoom), v1 = std::min(bmp.zoomedHeight, Floor(y2, zoom));
      const int32_t copyWidth = static_cast<int32_t>(std::floor((x2 - x1) * double(zoom)));
      const int32_t copyHeight = static_cast<int32_t>(std::floor((y2 - y1) * double(zoom)));
      ASSERT_LE(u0 + copyWidth, u1) << Case(p, zoom, x1, y1, x2, y2);
      ASSERT_LE(v0 + copyHeight, v1) << Case(p, zoom, x1, y1, x2, y2);
      for (int32_t v = 0; v < bmp.zoomedHeight; ++v)
        for (int32_t u = 0; u < bmp.dibWidth; ++u) {
          const bool inside = u >= u0 && u < u1 && v >= v0 && v < v1;
          if (inside) {
            ASSERT_TRUE(bmp.written(u, v)) << Case(p, zoom, x1, y1, x2, y2) << " pixel " << u << "," << v;
          } else {
            ASSERT_EQ(bmp.at(u, v)[0], kSentinel) << Case(p, zoom, x1, y1, x2, y2) << " pixel " << u << "," << v;
          }
        }
    }
  }
}

TEST(SmoothBlit, ReachingTheFarEdgeRendersTheLastColumnAndRow) {
  const Planes p = RandomPlanes(10, 7, 5);
  for (float zoom : kZooms) {
    Bitmap bmp(p, zoom);
    Render(&p_smoothblit, p, bmp, p.w / 2, p.h / 2, p.w, p.h, zoom);
    EXPECT_TRUE(bmp.written(bmp.zoomedWidth - 1, bmp.zoomedHeight - 1)) << "zoom " << zoom;
  }
}

TEST(SmoothBlit, EmptyReversedOrMeaninglessRequestsWriteNothing) {
  const Planes p = RandomPlanes(20, 20, 9);
  const float nan = std::nanf("");
  struct Request { int32_t x1, y1, x2, y2; float zoom; };
  for (const Request& q : {Request{5, 5, 5, 9, 1.0f}, {5, 5, 9, 5, 2.0f}, {9, 5, 4, 12, 1.0f}, {3, 12, 8, 2, 0.5f},
                           {0, 0, 20, 20, 0.0f}, {0, 0, 20, 20, -1.0f}, {0, 0, 20, 20, nan}, {20, 0, 25, 20, 1.0f}}) {
    Bitmap bmp(p, 2.0f);
    Render(&p_smoothblit, p, bmp, q.x1, q.y1, q.x2, q.y2, q.zoom);
    EXPECT_TRUE(std::all_of(bmp.bits.begin(), bmp.bits.end(), [](uint8_t v) { return v == kSentinel; }))
        << q.x1 << "," << q.y1 << "-" << q.x2 << "," << q.y2 << " zoom " << q.zoom;
  }
  // Planes with no pixels.
  Bitmap bmp(p, 1.0f);
  p_smoothblit(p.r.data(), p.g.data(), p.b.data(), bmp.bits.data(), 0, 0, 5, 5, 1, 21, 20, 20, 20, 1.0f);
  EXPECT_TRUE(std::all_of(bmp.bits.begin(), bmp.bits.end(), [](uint8_t v) { return v == kSentinel; }));
}

TEST(SmoothBlit, ARectangleBeyondThePlanesIsClampedToThem) {
  const Planes p = RandomPlanes(30, 20, 13);
  for (float zoom : {0.3f, 1.0f, 2.0f}) {
    Bitmap clamped(p, zoom), exact(p, zoom);
    Render(&p_smoothblit, p, clamped, -4, -7, p.w + 9, p.h + 3, zoom);
    Render(&p_smoothblit, p, exact, 0, 0, p.w, p.h, zoom);
    EXPECT_TRUE(clamped.bits == exact.bits) << "zoom " << zoom;
  }
}

TEST(SmoothBlit, AFlatPlaneStaysFlatAtEveryZoom) {
  Planes p(37, 23);
  p.fill([](int32_t, int32_t, int c) { return c == 0 ? 255 : c == 1 ? 131 : 0; });
  for (float zoom : {0.05f, 0.2f, 0.25f, 0.3f, 0.5f, 0.75f, 0.99f, 1.0f, 1.25f, 2.0f, 3.7f, 6.0f, 11.5f}) {
    Bitmap bmp(p, zoom);
    Render(&p_smoothblit, p, bmp, 0, 0, p.w, p.h, zoom);
    for (int32_t v = 0; v < bmp.zoomedHeight; ++v)
      for (int32_t u = 0; u < bmp.zoomedWidth; ++u) {
        const uint8_t* px = bmp.at(u, v);
        ASSERT_TRUE(px[0] == 0 && px[1] == 131 && px[2] == 255 && px[3] == 255)
            << "zoom " << zoom << " pixel " << u << "," << v;
      }
  }
}

TEST(SmoothBlit, AStepEdgeMagnifiedRampsThroughIntermediateValues) {
  Planes p(8, 8);
  p.fill([](int32_t x, int32_t, int) { return x < 4 ? 0 : 255; });
  Bitmap bmp(p, 4.0f);
  Render(&p_smoothblit, p, bmp, 0, 0, p.w, p.h, 4.0f);
  int intermediate = 0;
  for (int32_t u = 1; u < bmp.zoomedWidth; ++u) {
    EXPECT_GE(bmp.at(u, 13)[2], bmp.at(u - 1, 13)[2]) << "column " << u;  // never steps back
    intermediate += bmp.at(u, 13)[2] > 0 && bmp.at(u, 13)[2] < 255;
  }
  EXPECT_GE(intermediate, 3);
}

// Shrinking averages fine detail instead of picking samples from it: a one-pixel checkerboard comes out
// near mid grey everywhere, where point or bilinear sampling would show black and white patches.
TEST(SmoothBlit, ShrinkingAveragesFineDetail) {
  Planes p(96, 96);
  p.fill([](int32_t x, int32_t y, int) { return (x + y) % 2 ? 255 : 0; });
  for (float zoom : {0.2f, 0.25f, 0.3f, 0.5f}) {
    Bitmap bmp(p, zoom);
    Render(&p_smoothblit, p, bmp, 0, 0, p.w, p.h, zoom);
    for (int32_t v = 0; v < bmp.zoomedHeight; ++v)
      for (int32_t u = 0; u < bmp.zoomedWidth; ++u)
        ASSERT_NEAR(bmp.at(u, v)[1], 128, 16) << "zoom " << zoom << " pixel " << u << "," << v;
  }
}

// The integer arithmetic stays close to the filter it stands for, computed in double: bilinear between pixel
// centres when magnifying, the exact area mean when shrinking.
TEST(SmoothBlit, StaysCloseToTheExactFilter) {
  const Planes p = RandomPlanes(41, 29, 17);
  auto plane = [&](int32_t x, int32_t y) { return double(p.g[y * p.w + x]); };
  auto bilinear = [&](double sx, double sy) {
    sx = std::clamp(sx, 0.0, p.w - 1.0), sy = std::clamp(sy, 0.0, p.h - 1.0);
    const int32_t x0 = std::min(int32_t(sx), p.w - 2), y0 = std::min(int32_t(sy), p.h - 2);
    const double fx = sx - x0, fy = sy - y0;
    return (1 - fy) * ((1 - fx) * plane(x0, y0) + fx * plane(x0 + 1, y0)) +
           fy * ((1 - fx) * plane(x0, y0 + 1) + fx * plane(x0 + 1, y0 + 1));
  };
  auto overlap = [](double lo, double hi, int32_t i) { return std::max(0.0, std::min(hi, i + 1.0) - std::max(lo, double(i))); };
  auto area = [&](double x0, double y0, double x1, double y1) {
    double sum = 0;
    for (int32_t y = int32_t(y0); y < std::min(p.h, int32_t(std::ceil(y1))); ++y)
      for (int32_t x = int32_t(x0); x < std::min(p.w, int32_t(std::ceil(x1))); ++x)
        sum += overlap(x0, x1, x) * overlap(y0, y1, y) * plane(x, y);
    return sum / ((x1 - x0) * (y1 - y0));
  };
  for (float zoom : {0.3f, 0.5f, 0.75f, 1.25f, 2.0f, 3.7f}) {
    Bitmap bmp(p, zoom);
    Render(&p_smoothblit, p, bmp, 0, 0, p.w, p.h, zoom);
    const double z = zoom;
    for (int32_t v = 0; v < bmp.zoomedHeight; ++v)
      for (int32_t u = 0; u < bmp.zoomedWidth; ++u) {
        const double exact = zoom > 1 ? bilinear((u + 0.5) / z - 0.5, (v + 0.5) / z - 0.5)
                                      : area(u / z, v / z, (u + 1) / z, (v + 1) / z);
        ASSERT_NEAR(bmp.at(u, v)[1], exact, 1.5) << "zoom " << zoom << " pixel " << u << "," << v;
      }
  }
}

// ---- the pyramid -------------------------------------------------------------------------------------

// Level `level` of p's planes, made by p_halve from level 0 up; cells are (w + 2^l - 1) >> l a row.
struct Levels {
  std::vector<Planes> levels;
  Levels(const Planes& p, int32_t top) {
    levels.push_back(p);
    for (int32_t l = 1; l <= top; ++l) {
      const Planes& in = levels.back();
      Planes out((in.w + 1) / 2, (in.h + 1) / 2);
      for (auto [from, to] : {std::pair{&in.r, &out.r}, {&in.g, &out.g}, {&in.b, &out.b}})
        p_halve(from->data(), in.w, in.w, in.h, 0, 0, to->data(), out.w, 0, 0, 0, 0, out.w, out.h);
      levels.push_back(std::move(out));
    }
  }
  BlitSource Source(int32_t level, int32_t imageW, int32_t imageH) const {
    const Planes& c = levels[size_t(level)];
    BlitSource s;
    s.r = c.r.data(), s.g = c.g.data(), s.b = c.b.data();
    s.stride = s.width = c.w;
    s.height = c.h;
    s.extentWidth = double(imageW) / (1 << level), s.extentHeight = double(imageH) / (1 << level);
    s.level = level;
    return s;
  }
};

// A cell is the rounded mean of the one, two or four cells under it, odd edges included.
TEST(Pyramid, EachCellIsTheRoundedMeanOfTheCellsUnderIt) {
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {3, 5}, {37, 19}, {64, 33}, {129, 7}}) {
    const Planes p = RandomPlanes(w, h, w * 31 + h);
    const Levels pyramid(p, 3);
    for (int32_t l = 1; l <= 3; ++l) {
      const Planes& in = pyramid.levels[size_t(l - 1)];
      const Planes& out = pyramid.levels[size_t(l)];
      for (int32_t y = 0; y < out.h; ++y)
        for (int32_t x = 0; x < out.w; ++x) {
          int sum = 0, n = 0;
          for (int32_t yy = 2 * y; yy < std::min(2 * y + 2, in.h); ++yy)
            for (int32_t xx = 2 * x; xx < std::min(2 * x + 2, in.w); ++xx) sum += in.g[yy * in.w + xx], ++n;
          ASSERT_EQ(out.g[y * out.w + x], (sum + n / 2) / n) << w << "x" << h << " level " << l << " cell " << x << "," << y;
        }
    }
  }
}

// Drawn from the pyramid, a shrunk picture is still its area average: within a level or so of the exact mean
// at 1/2^k (each cell is that mean, rounded once per level), and on a photo-like picture (smooth shading
// under a little grain) within a few levels at zooms between the levels, where a cell at the footprint's
// edge counts by how much of it lies inside. (At 0.06 a pixel covers 17 x 17 image pixels of shading whose
// period is 23: level 4's 16-pixel cells blur the footprint's edges by a third of a period, hence up to 8
// levels there; pixman's bilinear, sampling 2 x 2 of the 289 pixels, misses by far more.) A flat picture stays exactly flat, and fine detail still
// averages to grey instead of aliasing.
TEST(Pyramid, DrawingFromALevelStaysCloseToThePlainAreaAverage) {
  const int32_t w = 301, h = 203;
  Planes photo(w, h);
  std::mt19937 random(5);
  photo.fill([&](int32_t x, int32_t y, int c) {
    const double shade = 128 + 90 * std::sin(x / 23.0 + c) * std::cos(y / 31.0 - c);
    return std::clamp(int(shade) + int(random() % 9) - 4, 0, 255);
  });
  const Planes noise = RandomPlanes(w, h, 77);
  auto exact = [&](const Planes& p, double x0, double y0, double x1, double y1) {
    auto overlap = [](double lo, double hi, int32_t i) { return std::max(0.0, std::min(hi, i + 1.0) - std::max(lo, double(i))); };
    double sum = 0;
    for (int32_t y = int32_t(y0); y < std::min(p.h, int32_t(std::ceil(y1))); ++y)
      for (int32_t x = int32_t(x0); x < std::min(p.w, int32_t(std::ceil(x1))); ++x)
        sum += overlap(x0, x1, x) * overlap(y0, y1, y) * p.g[y * p.w + x];
    return sum / ((std::min(x1, double(p.w)) - x0) * (std::min(y1, double(p.h)) - y0));
  };
  struct Case { const Planes* p; float zoom; double tolerance; };
  for (const Case& c : {Case{&noise, 0.5f, 1.0}, {&noise, 0.25f, 1.5}, {&noise, 0.125f, 2.0}, {&photo, 0.3f, 3.0},
                        {&photo, 0.2f, 3.0}, {&photo, 0.1318f, 3.0}, {&photo, 0.7f, 1.5}, {&photo, 0.06f, 8.0}}) {
    const Levels pyramid(*c.p, 6);
    const int32_t level = PyramidLevelFor(c.zoom, 6);
    const int32_t zw = int32_t(std::floor(w * double(c.zoom))), zh = int32_t(std::floor(h * double(c.zoom)));
    std::vector<uint8_t> out(size_t(zw) * zh * 4);
    p_smoothblit_window(pyramid.Source(level, w, h), c.zoom, 0, zw, 0, zh, out.data(), zw);
    const double z = c.zoom;
    double worst = 0;
    for (int32_t v = 0; v < zh; ++v)
      for (int32_t u = 0; u < zw; ++u)
        worst = std::max(worst, std::abs(out[(size_t(v) * zw + u) * 4 + 1] - exact(*c.p, u / z, v / z, (u + 1) / z, (v + 1) / z)));
    EXPECT_LE(worst, c.tolerance) << "zoom " << c.zoom << " level " << level;
  }

  Planes flat(w, h), checker(96, 96);
  flat.fill([](int32_t, int32_t, int c) { return c == 0 ? 255 : c == 1 ? 131 : 0; });
  checker.fill([](int32_t x, int32_t y, int) { return (x + y) % 2 ? 255 : 0; });
  for (float zoom : {0.3f, 0.2f, 0.125f, 0.1318f, 0.05f}) {
    for (const Planes* p : {&flat, &checker}) {
      const Levels pyramid(*p, 6);
      const int32_t zw = int32_t(std::floor(p->w * double(zoom))), zh = int32_t(std::floor(p->h * double(zoom)));
      std::vector<uint8_t> out(size_t(std::max(zw, 1)) * std::max(zh, 1) * 4);
      p_smoothblit_window(pyramid.Source(PyramidLevelFor(zoom, 6), p->w, p->h), zoom, 0, zw, 0, zh, out.data(), zw);
      for (size_t i = 0; i < size_t(zw) * zh; ++i) {
        if (p == &flat)
          ASSERT_TRUE(out[i * 4] == 0 && out[i * 4 + 1] == 131 && out[i * 4 + 2] == 255) << "zoom " << zoom;
        else
          ASSERT_NEAR(out[i * 4 + 1], 128, 2) << "zoom " << zoom;
      }
    }
  }
}

// At level 0 the window renderer is p_smoothblit itself.
TEST(Pyramid, LevelZeroDrawsWhatSmoothblitDraws) {
  const Planes p = RandomPlanes(53, 41, 8);
  for (float zoom : {0.3f, 0.75f, 1.0f, 2.5f}) {
    Bitmap whole(p, zoom);
    Render(&p_smoothblit, p, whole, 0, 0, p.w, p.h, zoom);
    const Levels pyramid(p, 0);
    std::vector<uint8_t> out(size_t(whole.dibWidth) * whole.zoomedHeight * 4, kSentinel);
    p_smoothblit_window(pyramid.Source(0, p.w, p.h), zoom, 3, whole.zoomedWidth, 2, whole.zoomedHeight,
                        out.data() + (2 * size_t(whole.dibWidth) + 3) * 4, whole.dibWidth);
    for (int32_t v = 2; v < whole.zoomedHeight; ++v)
      for (int32_t u = 3; u < whole.zoomedWidth; ++u)
        ASSERT_TRUE(std::equal(whole.at(u, v), whole.at(u, v) + 4, &out[(size_t(v) * whole.dibWidth + u) * 4]))
            << "zoom " << zoom << " pixel " << u << "," << v;
  }
}

}  // namespace
}  // namespace brisel::native
