#pragma once
// The canvas window's frame: its caption and its size on the screen. The canvas draws inside the window it is
// handed, but the frame is the top's (app/canvas_window.h), which sets the calls below before the canvas is
// shown. The view calls them where it changes what the frame shows; unset, the frame stays as it is.

#include "platform/window.h"

namespace brisel::canvas {

struct FrameWiring {
  // The zoom, the turn or the mirror changed: the caption shows them (ViewCaption, canvas/view_turn.h).
  void (*viewChanged)(platform::Form& canvas) = nullptr;
  // The view became 100 % with no pan: the window takes the picture's size where it can.
  void (*actualSize)(platform::Form& canvas) = nullptr;
};
void SetFrameWiring(const FrameWiring& wiring);

// The wired calls, or nothing.
void FrameShowsView(platform::Form& canvas);
void FrameTakesActualSize(platform::Form& canvas);

}  // namespace brisel::canvas
