#include "platform/native.h"

namespace brisel::native {

float p_Catmull(float t, float p1, float p2, float p3, float p4) {
  // Extended precision, so that t = 0 gives p2 and t = 1 gives p3 up to the final rounding.
  const long double T = t, P1 = p1, P2 = p2, P3 = p3, P4 = p4;
  const long double r = 0.5L * (2 * P2 + (P3 - P1) * T + (2 * P1 - 5 * P2 + 4 * P3 - P4) * T * T +
                                (3 * P2 - P1 - 3 * P3 + P4) * T * T * T);
  return static_cast<float>(r);
}

}  // namespace brisel::native
