// The blend table (ten layers of 256 x 256 bytes) and the two coverage curves.

#include "blend/blend_tables.h"

#include <algorithm>
#include <cmath>

#include "state/shared_state.h"

namespace brisel::blend {
namespace {

// Curve 1 peaks at 250 near a coverage of 55 and falls slowly to 82 at full coverage;
// curve 2 climbs about 2.125 a step to 255, then holds 254.
constexpr uint8_t kCurve1[256] = {
    0,   5,   9,   14,  19,  24,  28,  33,  38,  42,  47,  52,  57,  61,  66,  71,
    76,  80,  85,  90,  94,  99,  104, 109, 113, 118, 123, 128, 132, 137, 142, 146,
    151, 156, 161, 165, 170, 175, 179, 184, 189, 194, 198, 203, 208, 212, 217, 222,
    227, 231, 236, 241, 245, 248, 250, 250, 250, 249, 247, 245, 243, 241, 239, 238,
    236, 234, 232, 230, 228, 226, 224, 222, 220, 218, 216, 214, 212, 210, 208, 207,
    205, 203, 201, 199, 197, 195, 193, 192, 190, 189, 188, 186, 185, 184, 183, 182,
    181, 180, 178, 177, 176, 175, 174, 173, 172, 170, 169, 168, 167, 166, 165, 164,
    162, 161, 160, 159, 158, 157, 155, 154, 153, 152, 151, 150, 149, 147, 146, 145,
    144, 143, 142, 141, 139, 138, 137, 136, 135, 134, 133, 131, 130, 129, 128, 128,
    127, 127, 126, 126, 126, 125, 125, 124, 124, 124, 123, 123, 122, 122, 121, 121,
    121, 120, 120, 119, 119, 119, 118, 118, 117, 117, 117, 116, 116, 115, 115, 115,
    114, 114, 113, 113, 113, 112, 112, 111, 111, 110, 110, 110, 109, 109, 108, 108,
    108, 107, 107, 106, 106, 106, 105, 105, 104, 104, 104, 103, 103, 102, 102, 102,
    101, 101, 100, 100, 100, 99,  99,  98,  98,  97,  97,  97,  96,  96,  95,  95,
    95,  94,  94,  93,  93,  93,  92,  92,  91,  91,  91,  90,  90,  89,  89,  89,
    88,  88,  87,  87,  86,  86,  86,  85,  85,  84,  84,  84,  83,  83,  82,  82,
};

constexpr uint8_t kCurve2Rise[131] = {
    0,   0,   2,   4,   6,   8,   11,  13,  15,  17,  19,  21,  23,  26,  28,  30,
    32,  34,  36,  38,  40,  42,  45,  47,  49,  51,  53,  55,  57,  60,  62,  64,
    66,  68,  70,  72,  74,  76,  79,  81,  83,  85,  87,  89,  91,  94,  96,  98,
    100, 102, 104, 106, 108, 110, 113, 115, 117, 119, 121, 123, 125, 128, 130, 132,
    134, 136, 138, 140, 142, 144, 147, 149, 151, 153, 155, 157, 159, 162, 164, 166,
    168, 170, 172, 174, 176, 178, 181, 183, 185, 187, 189, 191, 193, 196, 198, 200,
    202, 204, 206, 208, 210, 212, 215, 217, 219, 221, 223, 225, 227, 230, 232, 234,
    236, 238, 240, 242, 244, 246, 248, 249, 251, 252, 253, 254, 254, 255, 255, 255,
    255, 255, 255,
};

// Divide: the brush over the canvas, scaled by 255, rounded halves to even; a black canvas gives white.
// p / q * 255 in double precision rounds exactly like the exact quotient for every byte pair.
uint8_t Divide(int p, int q) {
  if (q == 0) return 255;
  return uint8_t(std::min(255.0, std::nearbyint(double(p) / double(q) * 255.0)));
}

}  // namespace

void BuildCoverageCurves() {
  for (int v = 0; v < 256; ++v) {
    CoverageEntry(v, 0) = kCurve1[v];
    CoverageEntry(v, 1) = v < 131 ? kCurve2Rise[v] : 254;
  }
}

void BuildBlendTable() {
  for (int q = 0; q < 256; ++q) {
    for (int p = 0; p < 256; ++p) {
      BlendEntry(p, q, 0) = uint8_t(std::min(p + q, 255));                 // Add
      BlendEntry(p, q, 1) = uint8_t(std::max(q - p, 0));                   // Subtract: canvas minus brush
      BlendEntry(p, q, 2) = uint8_t(p * q / 255);                          // Multiply, remainder dropped
      BlendEntry(p, q, 3) = Divide(p, q);                                  // Divide
      BlendEntry(p, q, 4) = uint8_t(p + ((255 - p) * q + 127) / 255);      // Screen
      BlendEntry(p, q, 5) = uint8_t(std::max(p, q));                       // Greater than
      BlendEntry(p, q, 6) = uint8_t(std::min(p, q));                       // Less than
      BlendEntry(p, q, 7) = uint8_t(p & q);                                // And
      BlendEntry(p, q, 8) = uint8_t(p | q);                                // Or
      BlendEntry(p, q, 9) = uint8_t(p ^ q);                                // Xor
    }
  }
}

}  // namespace brisel::blend
