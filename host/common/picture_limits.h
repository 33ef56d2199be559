#pragma once
// The largest picture any host hands the program: 32767 pixels a side and 2^27 pixels in all (11585 x
// 11585). The program holds seven planes of its size, and a host's own copies come on top.

#include <cstdint>

namespace brisel::host {

inline constexpr int32_t kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = int64_t(1) << 27;

}  // namespace brisel::host
