// The round dab: its shape, how it combines with what is already in the plane, and the fast pen against
// its plain reference.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include "platform/native.h"

namespace brisel::native {
namespace {

// A plane of width x height with a guard of sentinel bytes on either side.
struct GuardedPlane {
  static constexpr size_t kGuard = 4096;
  static constexpr uint8_t kSentinel = 0xA5;
  int32_t width, height;
  std::vector<uint8_t> bytes;
  GuardedPlane(int32_t w, int32_t h, uint8_t fill = 0) : width(w), height(h) {
    const size_t n = size_t(uint32_t(w)) * size_t(uint32_t(h));
    bytes.assign(kGuard, kSentinel);
    bytes.insert(bytes.end(), n, fill);
    bytes.insert(bytes.end(), kGuard, kSentinel);
  }
  uint8_t* data() { return bytes.data() + kGuard; }
  uint8_t at(int32_t x, int32_t y) const { return bytes[kGuard + size_t(y) * size_t(width) + size_t(x)]; }
  bool guardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes[i] != kSentinel || bytes[bytes.size() - 1 - i] != kSentinel) return false;
    return true;
  }
  double sum() const {
    double s = 0;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) s += at(x, y);
    return s;
  }
};

TEST(AAcpenShape, DabAtAPixelCentreIsSymmetricFullInsideAndFallsMonotonically) {
  GuardedPlane p(21, 21);
  AAcpen(p.data(), 10.5f, 10.5f, 6.0f, 255, 1, p.width, p.height);  // centred on pixel (10, 10)
  for (int k = 0; k <= 10; ++k)
    for (int m = 0; m <= 10; ++m) {
      const uint8_t v = p.at(10 + k, 10 + m);
      EXPECT_EQ(v, p.at(10 - k, 10 - m)) << k << "," << m;
      EXPECT_EQ(v, p.at(10 - k, 10 + m)) << k << "," << m;
      EXPECT_EQ(v, p.at(10 + m, 10 + k)) << k << "," << m;
      const double d = std::hypot(k, m);
      if (d <= 5.5) {
        EXPECT_EQ(v, 255) << "inside at " << k << "," << m;
      }
      if (d >= 6.5) {
        EXPECT_EQ(v, 0) << "outside at " << k << "," << m;
      }
      if (k > 0) {
        EXPECT_LE(v, p.at(10 + k - 1, 10 + m)) << "edge rises outwards at " << k << "," << m;
      }
    }
  // The edge is a ramp, not a step: the pixel whose centre sits on the radius is about half covered.
  EXPECT_NEAR(p.at(16, 10), 128, 1);
}

TEST(AAcpenShape, CoverageFollowsTheSubPixelPosition) {
  // Half a pixel to the right, the dab is centred on the boundary between pixels 10 and 11.
  GuardedPlane p(21, 21);
  AAcpen(p.data(), 11.0f, 10.5f, 3.0f, 255, 1, p.width, p.height);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(p.at(10 - k, 10), p.at(11 + k, 10)) << k;
  EXPECT_EQ(p.at(8, 10), 255);
  EXPECT_GT(p.at(8, 10), p.at(7, 10));
}

TEST(AAcpenShape, TotalCoverageTracksTheDabsArea) {
  // Over the plane the ramp sums to pi (R^2 + 1/12) full pixels, for any sub-pixel placement.
  for (float size : {1.0f, 2.5f, 8.0f, 20.0f})
    for (float offset : {0.0f, 0.25f, 0.5f, 0.8f}) {
      GuardedPlane p(64, 64);
      AAcpen(p.data(), 32 + offset, 31.7f + offset, size, 255, 1, p.width, p.height);
      const double area = M_PI * (double(size) * size + 1.0 / 12.0);
      EXPECT_NEAR(p.sum() / 255.0, area, 0.02 * area + 0.5) << "size " << size << " offset " << offset;
    }
}

TEST(AAcpenShape, DabsSmallerThanAPixelLayDownCoverageInProportionToTheirArea) {
  double previous = 0;
  for (float size : {0.05f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f}) {
    GuardedPlane p(8, 8);
    AAcpen(p.data(), 4.3f, 3.9f, size, 255, 1, p.width, p.height);
    const double laid = p.sum() / 255.0;
    // Area pi s^2 scaled by 4/3, so that the cone of size 0.5 meets the ramp of larger dabs.
    EXPECT_NEAR(laid, 4.0 / 3.0 * M_PI * size * size, 0.05 + 0.03 * laid) << "size " << size;
    EXPECT_GT(laid, previous) << "a fainter press must still lay something down, size " << size;
    previous = laid;
  }
  // Nothing at all for a dab of no size.
  GuardedPlane none(8, 8);
  AAcpen(none.data(), 4, 4, 0, 255, 1, none.width, none.height);
  AAcpen(none.data(), 4, 4, -3, 255, 1, none.width, none.height);
  EXPECT_EQ(none.sum(), 0);
}

TEST(AAcpenCombination, NeverLowersWhatIsAlreadyThere) {
  GuardedPlane p(32, 32, 200);
  AAcpen(p.data(), 16, 16, 8, 255, 0.5f, p.width, p.height);  // peak 128: below what is there
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(p.at(x, y), 200) << x << "," << y;
  AAcpen(p.data(), 16, 16, 8, 255, 1, p.width, p.height);
  EXPECT_EQ(p.at(16, 16), 255);
  EXPECT_EQ(p.at(0, 0), 200);
  // Stamping the same dab again (a slow drag) changes nothing.
  const std::vector<uint8_t> once = p.bytes;
  for (int i = 0; i < 20; ++i) AAcpen(p.data(), 16, 16, 8, 255, 1, p.width, p.height);
  EXPECT_EQ(p.bytes, once);
}

TEST(AAcpenCombination, StrengthScalesWhatIsLaidDown) {
  GuardedPlane full(32, 32), half(32, 32);
  AAcpen(full.data(), 15.5f, 16.2f, 5.3f, 255, 1, 32, 32);
  AAcpen(half.data(), 15.5f, 16.2f, 5.3f, 255, 128.0f / 255, 32, 32);
  EXPECT_EQ(full.at(15, 16), 255);
  EXPECT_EQ(half.at(15, 16), 128);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) EXPECT_NEAR(half.at(x, y), full.at(x, y) * 128.0 / 255.0, 1.0) << x << "," << y;
}

TEST(AAcpenBounds, TouchesOnlyThePlaneAndOnlyNearTheDab) {
  struct Case { float x, y, size; };
  const Case cases[] = {{0, 0, 5},      {-3, 4, 6},    {19.9f, 9.9f, 4}, {25, 5, 6},   {10, -6.4f, 6},
                        {10, 5, 1000},  {1e30f, 5, 3}, {-1e30f, 5, 3},   {5, 5, 1e30f}, {5, 5, 0.2f}};
  for (const Case& c : cases) {
    GuardedPlane p(20, 10);
    AAcpen(p.data(), c.x, c.y, c.size, 255, 1, p.width, p.height);
    EXPECT_TRUE(p.guardsIntact()) << c.x << "," << c.y << " size " << c.size;
    for (int32_t y = 0; y < p.height; ++y)
      for (int32_t x = 0; x < p.width; ++x)
        if (p.at(x, y) != 0) {
          EXPECT_LT(std::hypot(x + 0.5 - c.x, y + 0.5 - c.y), c.size + 1.0) << x << "," << y;
        }
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  GuardedPlane p(20, 10);
  AAcpen(p.data(), nan, 5, 3, 255, 1, p.width, p.height);
  AAcpen(p.data(), 5, nan, 3, 255, 1, p.width, p.height);
  AAcpen(p.data(), 5, 5, nan, 255, 1, p.width, p.height);
  AAcpen(p.data(), 5, 5, 3, 255, nan, p.width, p.height);
  EXPECT_TRUE(p.guardsIntact());
  EXPECT_EQ(p.sum(), 0);
}

TEST(AAcpenFast, EqualsTheReferenceEverywhere) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int trial = 0; trial < 3000; ++trial) {
    const int32_t w = 1 + int32_t(unit(rng) * 90), h = 1 + int32_t(unit(rng) * 90);
    const float size = trial % 5 == 0 ? unit(rng) : unit(rng) * 40;
    const float x = -10 + unit(rng) * (w + 20), y = -10 + unit(rng) * (h + 20);
    const float strength = trial % 3 == 0 ? 1.0f : unit(rng);
    GuardedPlane fast(w, h), slow(w, h);
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) fast.data()[i] = slow.data()[i] = uint8_t(trial % 2 ? byte(rng) : 0);
    AAcpen(fast.data(), x, y, size, 255, strength, w, h);
    AAcpen_reference(slow.data(), x, y, size, 255, strength, w, h);
    ASSERT_EQ(fast.bytes, slow.bytes) << "plane " << w << "x" << h << " dab at " << x << "," << y << " size " << size
                                      << " strength " << strength;
  }
}

// The fast pen keeps what it rendered for the next dab. Runs of dabs along which the sub-pixel offset,
// size and strength mostly stay (so that it is reused) and now and then change (so that it must not be),
// crossing the plane's edges; some just left of or above the origin, where -(0.25 + 2^-25) + 1 rounds to
// 0.75, the fraction of other dabs of the run.
TEST(AAcpenFast, EqualsTheReferenceAlongRunsOfDabs) {
  std::mt19937 rng(11);
  const auto pick = [&](const auto& from) { return from[rng() % std::size(from)]; };
  const float fractions[] = {0, 0.5f, 0.75f, 0.25f + 0x1p-25f, 0.7f, 0.1f};
  const float sizes[] = {0.3f, 0.4f, 1, 2, 2.01f, 8, 8.1f, 32, 63.4f, 64.2f, 80};  // around the stamp's limit too
  const float strengths[] = {1, 0.5f, 100.0f / 255};
  for (int trial = 0; trial < 400; ++trial) {
    const int32_t w = 1 + int32_t(rng() % 70), h = 1 + int32_t(rng() % 70);
    GuardedPlane fast(w, h), slow(w, h);
    float fx = pick(fractions), fy = pick(fractions), size = pick(sizes), strength = pick(strengths);
    for (int dab = 0; dab < 40; ++dab) {
      switch (rng() % 12) {
        case 0: fx = pick(fractions); break;
        case 1: fy = pick(fractions); break;
        case 2: size = pick(sizes); break;
        case 3: strength = pick(strengths); break;
        default: break;
      }
      const float x = rng() % 6 == 0 ? -fx : float(int32_t(rng() % uint32_t(w + 20)) - 10) + fx;
      const float y = rng() % 6 == 0 ? -fy : float(int32_t(rng() % uint32_t(h + 20)) - 10) + fy;
      AAcpen(fast.data(), x, y, size, 255, strength, w, h);
      AAcpen_reference(slow.data(), x, y, size, 255, strength, w, h);
      ASSERT_EQ(fast.bytes, slow.bytes) << "plane " << w << "x" << h << " dab " << dab << " at " << x << "," << y
                                        << " size " << size << " strength " << strength;
    }
  }
  // Two pairs (found by search) where that rounding shows: the second dab of each, reusing the first's
  // bytes, would lay down 32 where 31 is due.
  const float nearOrigin = -(0.25f + 0x1p-25f), size = 0x1.cdeda2p-3f, strength = 0x1.e0cb1ep-1f;
  struct Pair { float x0, y0, x1, y1; };
  for (const Pair& p : {Pair{nearOrigin, 4.75f, 10.75f, 4.75f}, Pair{4.75f, nearOrigin, 4.75f, 10.75f}}) {
    GuardedPlane fast(16, 16), slow(16, 16);
    for (const auto& [x, y] : {std::pair{p.x0, p.y0}, std::pair{p.x1, p.y1}}) {
      AAcpen(fast.data(), x, y, size, 255, strength, 16, 16);
      AAcpen_reference(slow.data(), x, y, size, 255, strength, 16, 16);
    }
    EXPECT_EQ(fast.bytes, slow.bytes) << "second dab at " << p.x1 << "," << p.y1;
  }
}

}  // namespace
}  // namespace brisel::native
