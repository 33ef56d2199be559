#pragma once
// The program's two roundings to whole numbers. Halves go to the even neighbour (the default rounding
// mode), never away from zero; floor goes towards minus infinity.

#include <cmath>
#include <cstdint>

namespace brisel {

inline int32_t Nearest(double v) { return static_cast<int32_t>(std::nearbyint(v)); }
inline int32_t FloorToLong(double v) { return static_cast<int32_t>(std::floor(v)); }

}  // namespace brisel
