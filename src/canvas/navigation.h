#pragma once
// View navigation: the zoom and pan of the canvas, by keys, Shift+Ctrl drags, the panel's view buttons, the
// wheel, a touchpad and Space drags.

#include <cstdint>

#include "canvas/refusal.h"
#include "platform/window.h"

namespace brisel::canvas {

// Sets the zoom and pan and remakes the display bitmap for the canvas window, whose caption then shows the zoom
// (canvas/window_frame.h) once a bitmap was made before. When the bitmap cannot be made (a zoom too large for
// memory), the previous zoom, pan and bitmap stay, and the result is false. The refusal is answered for the
// user once, not at every step of a drag that keeps asking for the same.
struct ViewSet {
  bool set = true;
  Refusals refused;
  explicit operator bool() const { return set; }
};
ViewSet SetView(platform::Form& canvas, float zoom, int32_t panX, int32_t panY);

// The calls below redraw the canvas window they are handed, and answer what could not be done (a zoom, a part
// of the window) for the caller to say.

// Records the drag reference (DragStartX, DragStartY, DragStartPanX, DragStartPanY, DragStartZoom): the
// pointer at a press, and the view as it was then.
void StartViewDrag(float X, float Y);
// One step of a view drag (Shift+Ctrl on the canvas, or the panel's pan and zoom buttons), from the drag
// reference: Button 1 pans, Button 2 zooms about the image's centre at the press, any other value neither;
// the canvas is redrawn in every case. Only the movement since the press counts, so (X, Y) may be in the
// canvas's pixels or a panel button's.
Refusals ViewDrag(platform::Form& canvas, int16_t Button, float X, float Y);

// Moves the picture by (dx, dy) window pixels (positive: right and down), within what scrolling allows: a
// picture larger than the window stops with its edge at the window's edge, a smaller one stays wholly
// inside. A view already beyond that (after a Shift+Ctrl drag) may only come back. Redraws the canvas.
Refusals ScrollView(platform::Form& canvas, double dx, double dy);
// One step of a Space drag: the picture follows the pointer from the drag reference, as far as scrolling
// allows.
Refusals SpaceDrag(platform::Form& canvas, float X, float Y);

// The zoom a wheel or a pinch may reach from `from` towards `wanted`: no further out than kZoomLeast and no
// further in than kZoomMost, or than `from` where it lies beyond them already.
inline constexpr float kZoomLeast = 0.25f, kZoomMost = 32.0f;
// What Ctrl with plus or minus adds to the zoom or takes from it (minus only while the zoom stays above 0).
inline constexpr float kZoomKeyStep = 0.25f;
float ZoomWithinLimits(float from, float wanted);
// Zooms to `zoom` (within the limits above) about canvas point (X, Y): the image point under it stays under
// it. Redraws the canvas.
Refusals ZoomAbout(platform::Form& canvas, float X, float Y, float zoom);

// "Show As Is, at 100% zoom": zoom 1, no pan, the window fitted to the image unless maximised or minimised
// (by the frame, canvas/window_frame.h), then the redraw.
Refusals ShowAtActualSize(platform::Form& canvas);
// "Fit to Window": the largest zoom (within 0.25 .. 6) that shows the whole image, centred.
Refusals FitToWindow(platform::Form& canvas);

}  // namespace brisel::canvas
