#pragma once
// The canvas window's mouse and key handlers. Each mouse event is either a step of a Shift+Ctrl view drag,
// a colour pick (while the comma key is held) or painting, decided per event.
//
// Button is a bit set (1 left, 2 right, 4 middle), Shift a bit set (1 Shift, 2 Ctrl, 4 Alt), (X, Y) the
// pointer in canvas client pixels. While a tablet pen is in proximity its position replaces (X, Y).

#include <cstdint>

#include "platform/window.h"

namespace brisel::Form1 {

// A press with any button: records the drag reference; then, unless Shift+Ctrl, Space or pick mode, starts
// a stroke at the pointer. A press with Space held begins a pan that lasts until its release.
void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
// While a press is active: grows the dirty rectangle, then drags the view, picks, or records a point and,
// from the fourth point on with a button held, draws the spline piece it completes.
void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
// Ends a stroke: records and draws the last point and commits the stroke (stroke/stroke.h). With Shift+Ctrl
// the view drag ends, in pick mode it picks once more; either way a stroke painted before the key went down
// is committed as its own undo step, since a stroke ends with its button.
void Form_MouseUp(int16_t Button, int16_t Shift, float X, float Y);

// The wheel scrolls the picture, up and down or with Shift left and right, a touchpad both ways by its own
// pixels; with Ctrl the wheel zooms about the pointer, as a pinch does. Nothing of the image changes.
void Form_MouseWheel(const platform::WheelTurn& turn);
void Form_Pinch(float X, float Y, float Factor);
// A touchpad's two-finger rotation turns the view about the canvas's centre.
void Form_Turn(float Degrees);

// The canvas keys: comma held picks colours, Ctrl with plus or minus zooms on release, "u" undoes, Space
// held turns a press into a pan; and the keys of app/keys.h. The panel hands its keys here too.
void Form_KeyDown(int16_t& KeyCode, int16_t& Shift);
void Form_KeyUp(int16_t& KeyCode, int16_t& Shift);
void Form_KeyPress(int16_t& KeyAscii);
// A window of the program lost the keyboard: the comma and Space count as let go, since their releases will
// not come (a press then paints, as with no key held).
void Form_Deactivate();

}  // namespace brisel::Form1
