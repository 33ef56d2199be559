// The blend layers and the coverage curves: the listed values, and properties over every entry.

#include <gtest/gtest.h>

#include <cmath>

#include "app/shared_state.h"
#include "blend/blend_tables.h"

namespace brisel {
namespace {

enum Layer { Add, Subtract, Multiply, Divide, Screen, Greater, Less, And, Or, Xor };

class BlendTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BuildCoverageCurves();
    BuildBlendTable();
  }
  static int T(int p, int q, Layer layer) { return BlendEntry(p, q, layer); }
};

TEST_F(BlendTables, ListedEntries) {
  EXPECT_EQ(T(200, 100, Add), 255);
  EXPECT_EQ(T(100, 50, Subtract), 0);
  EXPECT_EQ(T(50, 100, Subtract), 50);
  EXPECT_EQ(T(255, 255, Multiply), 255);
  EXPECT_EQ(T(128, 128, Multiply), 64);
  EXPECT_EQ(T(1, 254, Multiply), 0);
  EXPECT_EQ(T(0, 0, Divide), 255);
  EXPECT_EQ(T(255, 0, Divide), 255);
  EXPECT_EQ(T(1, 2, Divide), 128);
  EXPECT_EQ(T(1, 6, Divide), 42);
  EXPECT_EQ(T(100, 100, Divide), 255);
  EXPECT_EQ(T(0, 1, Divide), 0);
  EXPECT_EQ(T(255, 255, Screen), 255);
  EXPECT_EQ(T(128, 128, Screen), 192);
  EXPECT_EQ(T(240, 60, And), 48);
  EXPECT_EQ(T(240, 60, Or), 252);
  EXPECT_EQ(T(240, 60, Xor), 204);
}

TEST_F(BlendTables, PropertiesOverEveryEntry) {
  int divideTies = 0;
  for (int p = 0; p < 256; ++p)
    for (int q = 0; q < 256; ++q) {
      for (Layer symmetric : {Add, Multiply, Screen, Greater, Less, And, Or, Xor})
        ASSERT_EQ(T(p, q, symmetric), T(q, p, symmetric)) << "layer " << symmetric << " p " << p << " q " << q;
      ASSERT_EQ(T(0, q, Screen), q);
      ASSERT_EQ(T(255, q, Screen), 255);
      // Screen's integer form is the rounded exact value, never a half.
      const double screen = (255.0 - p) / 255.0 * q + p;
      ASSERT_EQ(T(p, q, Screen), int(std::floor(screen + 0.5))) << p << "," << q;
      if (q >= 1) {
        if (p >= q) ASSERT_EQ(T(p, q, Divide), 255) << p << "," << q;
        // Exact halves: 255 p / q = k + 1/2, i.e. 510 p = (2k + 1) q; they go to the even neighbour.
        if ((510 * p) % q == 0 && (510 * p / q) % 2 == 1 && 255 * p < 255 * q) {
          ++divideTies;
          ASSERT_EQ(T(p, q, Divide) % 2, 0) << p << "," << q;
          ASSERT_EQ(std::abs(2 * T(p, q, Divide) - 510 * p / q), 1);
        }
      }
    }
  EXPECT_EQ(divideTies, 615);
  EXPECT_NE(T(10, 50, Subtract), T(50, 10, Subtract));
  EXPECT_NE(T(10, 50, Divide), T(50, 10, Divide));
}

TEST_F(BlendTables, CoverageCurves) {
  EXPECT_EQ(CoverageEntry(0, 0), 0);
  EXPECT_EQ(CoverageEntry(54, 0), 250);
  EXPECT_EQ(CoverageEntry(56, 0), 250);
  EXPECT_EQ(CoverageEntry(255, 0), 82);
  EXPECT_EQ(CoverageEntry(1, 1), 0);
  EXPECT_EQ(CoverageEntry(125, 1), 255);
  EXPECT_EQ(CoverageEntry(130, 1), 255);
  EXPECT_EQ(CoverageEntry(131, 1), 254);
  EXPECT_EQ(CoverageEntry(255, 1), 254);
  // Curve 1 rises to its peak then never rises again; curve 2 never falls before its peak.
  for (int v = 1; v < 256; ++v) {
    if (v <= 54) EXPECT_GT(CoverageEntry(v, 0), CoverageEntry(v - 1, 0)) << v;
    if (v > 56) EXPECT_LE(CoverageEntry(v, 0), CoverageEntry(v - 1, 0)) << v;
    if (v <= 125) EXPECT_GE(CoverageEntry(v, 1), CoverageEntry(v - 1, 1)) << v;
  }
}

}  // namespace
}  // namespace brisel
