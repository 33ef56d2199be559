#include "common/over_white.h"

#include <algorithm>

namespace brisel::host {

void ShowOverWhite(double* pixel, const uint8_t* shown) {
  const double darkest = std::min({shown[0], shown[1], shown[2]}) / 255.0;
  const double alpha = std::max(pixel[3], 1.0 - darkest);
  pixel[3] = alpha;
  for (int c = 0; c < 3; ++c) {
    const double colour = shown[c] / 255.0;
    // Nothing shows at alpha 0: the colour is white, as seen.
    pixel[c] = alpha > 0 ? std::clamp((colour - (1.0 - alpha)) / alpha, 0.0, 1.0) : colour;
  }
}

}  // namespace brisel::host
