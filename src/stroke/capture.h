#pragma once
// Stroke capture: the canvas window's mouse handlers. Each event is either a step of a Shift+Ctrl view
// drag, a colour pick (while the comma key is held) or painting, decided per event.
//
// Button is a bit set (1 left, 2 right, 4 middle), Shift a bit set (1 Shift, 2 Ctrl, 4 Alt), (X, Y) the
// pointer in canvas client pixels. While a tablet pen is in proximity its position replaces (X, Y).

#include <cstdint>

namespace brisel::Form1 {

// A press with any button: records the drag reference; then, unless Shift+Ctrl or pick mode, starts a
// stroke at the pointer (point 0, the dirty rectangle around it).
void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
// While a press is active: grows the dirty rectangle, then drags the view, picks, or records a point and,
// from the fourth point on with a button held, draws the spline piece it completes.
void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
// Ends a stroke: records and draws the last point (a click its dab, a single movement its straight piece),
// saves the rectangle for undo, commits the stroke into the image and clears the mask; a stroke whose undo
// step cannot be made is dropped instead of committed. With Shift+Ctrl nothing happens; in pick mode it
// picks once more.
void Form_MouseUp(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form1
