#pragma once
// The built-in paper: a square of greyscale grain, identical on every run, that tiles without a seam.
//
// It is value noise in five octaves: random bytes on a lattice, eased between lattice points, the
// lattice cells 32, 16, 8, 4 and 2 pixels wide and weighted 1, 2, 3, 4, 4 so the fine grain dominates.
// Every cell width divides the side, and the lattice wraps, so the right edge continues into the left
// and the bottom into the top. The sum is stretched to the full 0..255.

#include <cstdint>

#include "platform/byte_plane.h"

namespace brisel::filehost {

inline constexpr int32_t kPaperGrainSide = 256;  // pixels

BytePlane MakePaperGrain();

}  // namespace brisel::filehost
