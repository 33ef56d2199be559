#pragma once
// The arithmetic between a Krita paint layer's pixels and the program's planes, free of Krita itself.
//
// Krita hands a layer's pixels as B, G, R, A, each one byte (depth 8) or one 16-bit integer in the machine's
// own byte order (depth 16), rows contiguous. The program paints in 8 bits a colour: a 16-bit value v reads
// as the nearest 8-bit one, (v * 255 + 32767) / 65535, and an 8-bit one c is written as c * 257.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/send_planes.h"
#include "platform/byte_plane.h"

namespace brisel::kritahost {

using host::Box;

// Bytes of one pixel at depth (8 or 16).
constexpr size_t PixelBytes(int depth) { return depth == 16 ? 8 : 4; }

constexpr uint8_t Narrow(uint16_t v) { return uint8_t((uint32_t(v) * 255 + 32767) / 65535); }

// The layer's red, green and blue planes (in that order) from its pixels, as they look laid on white (a
// transparent pixel is white, a half-transparent one half its colour); empty planes when the bytes do not hold
// width x height pixels of that depth.
std::array<BytePlane, 3> PlanesOf(std::span<const uint8_t> pixels, int32_t width, int32_t height, int depth);

// A send's result for the layer: the pixels of changed (a box of layer pixels) as the layer is to hold them,
// in its own format. changed is empty when the send changes nothing.
struct Merged {
  Box changed;
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> area;  // all of the area as the layer holds it after the send, in its format
};

// Merges the staged planes into area (layer pixels), whose pixels current holds as the layer stands now (in
// its format, rows of area.width). A pixel takes the planes' colour only where the program painted it
// (planes.Painted) and where selection (one byte a pixel of area, 0 to 255; empty: all of it) selects it,
// blended by how much it is selected: c' = (c * (255 - s) + new * s + 127) / 255 at the layer's depth, alpha
// too. new is the planes' colour made to show on white as the canvas showed it (common/over_white.h): an
// opaque pixel takes the colour as it is, a transparent one as much alpha as the paint needs to show. Every
// pixel left alone keeps every bit it had.
Merged MergeSend(std::span<const uint8_t> current, int depth, const Box& area, const host::StagedPlanes& planes,
                 std::span<const uint8_t> selection);

}  // namespace brisel::kritahost
