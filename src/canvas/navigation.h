#pragma once
// View navigation: the zoom and pan of the canvas, by keys, Shift+Ctrl drags and the panel's view buttons.

#include <cstdint>

namespace brisel {

// Sets the zoom and pan and remakes the display bitmap. When the bitmap cannot be made (a zoom too large for
// memory), the previous zoom, pan and bitmap stay, and the result is false.
bool SetView(float zoom, int32_t panX, int32_t panY);

// One step of a Shift+Ctrl drag on the canvas, from the drag reference recorded at the press (DragStartX,
// DragStartY, DragStartPanX, DragStartPanY, DragStartZoom): Button 1 pans, Button 2 zooms about the image's
// centre at the press, any other value neither; the canvas is redrawn in every case. (X, Y) is the pointer
// in canvas client pixels.
void ViewDrag(int16_t Button, float X, float Y);

// "Show As Is, at 100% zoom": zoom 1, no pan, the window fitted to the image unless maximised or minimised.
void ShowAtActualSize();
// "Fit to Window": the largest zoom (within 0.25 .. 6) that shows the whole image, centred.
void FitToWindow();

namespace Form1 {
// The canvas keys: comma held picks colours, Ctrl with plus or minus zooms on release, "u" undoes.
void Form_KeyDown(int16_t& KeyCode, int16_t& Shift);
void Form_KeyUp(int16_t& KeyCode, int16_t& Shift);
void Form_KeyPress(int16_t& KeyAscii);
}  // namespace Form1

}  // namespace brisel
