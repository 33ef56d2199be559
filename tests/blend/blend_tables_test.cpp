// The blend layers and the coverage curves: the listed values, and properties over every entry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "blend/blend_tables.h"
#include "state/shared_state.h"

namespace brisel {
namespace {

enum Layer { Add, Subtract, Multiply, Divide, Screen, Greater, Less, And, Or, Xor };

class BlendTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    blend::BuildCoverageCurves();
    blend::BuildBlendTable();
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
      ASSERT_EQ(T(p, q, Greater), std::max(p, q)) << p << "," << q;
      ASSERT_EQ(T(p, q, Less), std::min(p, q)) << p << "," << q;
      ASSERT_EQ(T(0, q, Screen), q);
      ASSERT_EQ(T(255, q, Screen), 255);
      // Screen's integer form is the rounded exact value, never a half.
      const double screen = (255.0 - p) / 255.0 * q + p;
      ASSERT_EQ(T(p, q, Screen), int(std::floor(screen + 0.5))) << p << "," << q;
      if (q >= 1) {
        if (p >= q) { ASSERT_EQ(T(p, q, Divide), 255) << p << "," << q; }
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
  // Both curves in full, as listed: curve 2 holds 254 past its rise.
  constexpr int kCurve1[256] = {
      0,   5,   9,   14,  19,  24,  28,  33,  38,  42,  47,  52,  57,  61,  66,  71,  76,  80,  85,  90,  94,  99,
      104, 109, 113, 118, 123, 128, 132, 137, 142, 146, 151, 156, 161, 165, 170, 175, 179, 184, 189, 194, 198, 203,
      208, 212, 217, 222, 227, 231, 236, 241, 245, 248, 250, 250, 250, 249, 247, 245, 243, 241, 239, 238, 236, 234,
      232, 230, 228, 226, 224, 222, 220, 218, 216, 214, 212, 210, 208, 207, 205, 203, 201, 199, 197, 195, 193, 192,
      190, 189, 188, 186, 185, 184, 183, 182, 181, 180, 178, 177, 176, 175, 174, 173, 172, 170, 169, 168, 167, 166,
      165, 164, 162, 161, 160, 159, 158, 157, 155, 154, 153, 152, 151, 150, 149, 147, 146, 145, 144, 143, 142, 141,
      139, 138, 137, 136, 135, 134, 133, 131, 130, 129, 128, 128, 127, 127, 126, 126, 126, 125, 125, 124, 124, 124,
      123, 123, 122, 122, 121, 121, 121, 120, 120, 119, 119, 119, 118, 118, 117, 117, 117, 116, 116, 115, 115, 115,
      114, 114, 113, 113, 113, 112, 112, 111, 111, 110, 110, 110, 109, 109, 108, 108, 108, 107, 107, 106, 106, 106,
      105, 105, 104, 104, 104, 103, 103, 102, 102, 102, 101, 101, 100, 100, 100, 99,  99,  98,  98,  97,  97,  97,
      96,  96,  95,  95,  95,  94,  94,  93,  93,  93,  92,  92,  91,  91,  91,  90,  90,  89,  89,  89,  88,  88,
      87,  87,  86,  86,  86,  85,  85,  84,  84,  84,  83,  83,  82,  82};
  constexpr int kCurve2Rise[131] = {
      0,   0,   2,   4,   6,   8,   11,  13,  15,  17,  19,  21,  23,  26,  28,  30,  32,  34,  36,  38,  40,  42,
      45,  47,  49,  51,  53,  55,  57,  60,  62,  64,  66,  68,  70,  72,  74,  76,  79,  81,  83,  85,  87,  89,
      91,  94,  96,  98,  100, 102, 104, 106, 108, 110, 113, 115, 117, 119, 121, 123, 125, 128, 130, 132, 134, 136,
      138, 140, 142, 144, 147, 149, 151, 153, 155, 157, 159, 162, 164, 166, 168, 170, 172, 174, 176, 178, 181, 183,
      185, 187, 189, 191, 193, 196, 198, 200, 202, 204, 206, 208, 210, 212, 215, 217, 219, 221, 223, 225, 227, 230,
      232, 234, 236, 238, 240, 242, 244, 246, 248, 249, 251, 252, 253, 254, 254, 255, 255, 255, 255, 255, 255};
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(CoverageEntry(v, 0), kCurve1[v]) << v;
    EXPECT_EQ(CoverageEntry(v, 1), v < 131 ? kCurve2Rise[v] : 254) << v;
  }
  // Curve 1 rises to its peak then never rises again; curve 2 never falls before its peak.
  for (int v = 1; v < 256; ++v) {
    if (v <= 54) { EXPECT_GT(CoverageEntry(v, 0), CoverageEntry(v - 1, 0)) << v; }
    if (v > 56) { EXPECT_LE(CoverageEntry(v, 0), CoverageEntry(v - 1, 0)) << v; }
    if (v <= 125) { EXPECT_GE(CoverageEntry(v, 1), CoverageEntry(v - 1, 1)) << v; }
  }
}

}  // namespace
}  // namespace brisel
