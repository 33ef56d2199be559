#include "canvas/window_frame.h"

namespace brisel::canvas {
namespace {

FrameWiring gWiring;

}  // namespace

void SetFrameWiring(const FrameWiring& wiring) { gWiring = wiring; }

void FrameShowsView(platform::Form& canvas) {
  if (gWiring.viewChanged) gWiring.viewChanged(canvas);
}

void FrameTakesActualSize(platform::Form& canvas) {
  if (gWiring.actualSize) gWiring.actualSize(canvas);
}

}  // namespace brisel::canvas
