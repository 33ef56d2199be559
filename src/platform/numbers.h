#pragma once
// The program's roundings to whole numbers. Halves go to the even neighbour (the default rounding mode),
// never away from zero; floor goes towards minus infinity. A value beyond the 32-bit range is held to it
// and a NaN gives 0, so that no far or wild coordinate can overflow the conversion.

#include <cmath>
#include <cstdint>

namespace brisel {

namespace numbers_detail {
inline int32_t Held(double whole) {
  if (!(whole == whole)) return 0;
  if (whole <= -2147483648.0) return INT32_MIN;
  if (whole >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(whole);
}
}  // namespace numbers_detail

inline int32_t Nearest(double v) { return numbers_detail::Held(std::nearbyint(v)); }
inline int32_t FloorToLong(double v) { return numbers_detail::Held(std::floor(v)); }

// A fraction 0..1 of full intensity as a byte value, to the nearest.
inline int32_t UnitByte(float unit) { return Nearest(unit * 255.0f); }

}  // namespace brisel
