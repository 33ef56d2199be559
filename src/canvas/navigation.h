#pragma once
// View navigation: the zoom and pan of the canvas, by keys, Shift+Ctrl drags and the panel's view buttons.

#include <cstdint>

namespace brisel {

// Sets the zoom and pan and remakes the display bitmap. When the bitmap cannot be made (a zoom too large for
// memory), the previous zoom, pan and bitmap stay, and the result is false.
bool SetView(float zoom, int32_t panX, int32_t panY);

// Records the drag reference (DragStartX, DragStartY, DragStartPanX, DragStartPanY, DragStartZoom): the
// pointer at a press, and the view as it was then.
void StartViewDrag(float X, float Y);
// One step of a view drag (Shift+Ctrl on the canvas, or the panel's pan and zoom buttons), from the drag
// reference: Button 1 pans, Button 2 zooms about the image's centre at the press, any other value neither;
// the canvas is redrawn in every case. Only the movement since the press counts, so (X, Y) may be in the
// canvas's pixels or a panel button's.
void ViewDrag(int16_t Button, float X, float Y);

// "Show As Is, at 100% zoom": zoom 1, no pan, the window fitted to the image unless maximised or minimised.
void ShowAtActualSize();
// "Fit to Window": the largest zoom (within 0.25 .. 6) that shows the whole image, centred.
void FitToWindow();

}  // namespace brisel
