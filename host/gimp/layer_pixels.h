#pragma once
// The arithmetic between a GIMP layer's pixels and the program's planes, free of GIMP itself: patterns
// turned to grey, interleaved pixels split into planes, and the changes a send makes.

#include <cstdint>
#include <span>
#include <vector>

#include "common/host_table.h"
#include "common/over_white.h"
#include "common/send_planes.h"
#include "platform/byte_plane.h"

namespace brisel::gimphost {

// A pattern's pixels (1 grey, 2 grey + alpha, 3 RGB or 4 RGBA bytes each, rows contiguous) as grey;
// colour weighs red 11, green 16, blue 5 parts in 32, and a transparent pixel shows white.
// An empty plane when the bytes do not hold width x height pixels of that kind.
BytePlane PatternToGrey(std::span<const uint8_t> bytes, int32_t width, int32_t height, int32_t bytesPerPixel);

// Interleaved R'G'B'A bytes with each colour laid on white through its alpha, as the program shows them (a
// transparent pixel white); the alphas stay.
void ShowOnWhite(std::span<uint8_t> pixels);

// A painted pixel made to show on white what the program showed (common/over_white.h).
using host::ShowOverWhite;

// One colour of interleaved R'G'B' or R'G'B'A bytes (channels 3 or 4).
BytePlane ChannelPlane(std::span<const uint8_t> pixels, int32_t width, int32_t height, int channels,
                       host::Channel channel);

// The three-way rule and the boxes, shared with the other hosts.
using host::Box;
using host::Intersect;
using host::PaintedSince;
using host::StagedPlanes;

// The smallest box inside area (layer pixels) holding every pixel whose colour the staged planes change
// there; empty when they change nothing. current holds the layer's pixels of area, interleaved, rows of
// area.width, channels 3 or 4; the planes cover area.
Box ChangedBox(std::span<const uint8_t> current, int channels, const Box& area, StagedPlanes planes);

// A strip of the layer inside area (both in layer pixels) as the send would leave it, interleaved as
// current (which holds area's pixels): the staged colours with the current alpha, and for each pixel
// whether its colour changes.
struct ComposedStrip {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> changed;  // 1 where the pixel's colour changes
};
ComposedStrip Compose(std::span<const uint8_t> current, int channels, const Box& area, StagedPlanes planes,
                      const Box& strip);

// Copies into native (the strip in the layer's own format, pixelBytes a pixel) the pixels of converted
// (the composed strip converted to that format) whose colour changes. The others keep every bit they
// had, whatever the layer's precision.
void TakeChanged(std::span<uint8_t> native, std::span<const uint8_t> converted, size_t pixelBytes,
                 std::span<const uint8_t> changed);

}  // namespace brisel::gimphost
