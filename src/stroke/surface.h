#pragma once
// What a stroke paints on and what it paints with, handed to the stroke engine by the canvas's handlers
// (app/) at each event: nothing in stroke/ reads the program's shared state.

#include <cstdint>

#include "platform/byte_plane.h"

namespace brisel::stroke {

// The pixels a stroke reads and writes: the image planes (what the host gets), the display copy that holds
// the stroke's preview, the stroke's mask and the paper grain tiled over the image. Planes that do not hold
// width x height are never written: a call answers that it changed nothing.
struct Surface {
  BytePlane &planeR, &planeG, &planeB;
  BytePlane &viewR, &viewG, &viewB;
  BytePlane& mask;  // coverage of the stroke in progress, 0..255
  const BytePlane& paper;
  int32_t paperWidth = 0, paperHeight = 0;  // 0 x 0: no paper
  int32_t width = 0, height = 0;            // the image
};

namespace compositing {

inline constexpr int kBlendLayers = 10;

// The brush as the tool panel set it: its paint, its dab, how the stroke mixes into the image, the
// tables it mixes through, and whether the pen is turned over (its eraser end paints white).
struct Brush {
  float paintRed = 0, paintGreen = 0, paintBlue = 0;  // 0..255
  float size = 0;                                     // radius of a dab at full pressure, image pixels
  float step = 0;                                     // dab spacing, percent of the size
  float press = 0;                                    // a dab's strength, 0..255
  float opacity = 0;                                  // 0..255
  int32_t mode = 0;                                   // 0 mixes the paint directly, 1..10 a blend table
  int32_t curve = 0;                                  // 0 none, 1..2 a coverage curve
  int32_t paperStrength = 0;
  bool relief = false;
  bool turnedOver = false;
  // blendTable[((mode - 1) * 256 + p) * 256 + q]: paint component p over image component q; and
  // coverageCurves[(curve - 1) * 256 + c]. Null: no mode or curve can be used.
  const uint8_t* blendTable = nullptr;
  const uint8_t* coverageCurves = nullptr;
};

}  // namespace compositing
}  // namespace brisel::stroke
