#pragma once
// The view's turn and mirror. The zoom and pan place the picture upright, as they always have; the view then
// mirrors that upright placement left to right and turns it by ViewAngle degrees (clockwise on the screen),
// both about the canvas's centre. Every window position the program reads (strokes, picks, pans, zooms about
// the pointer) goes back through WindowToUpright, so it lands on the picture point under the pointer however
// the view is turned.

#include <cstdint>
#include <string>

#include "canvas/refusal.h"
#include "platform/window.h"

namespace brisel::canvas {

struct ViewPoint {
  double x = 0, y = 0;
};

// The turn as a matrix about the centre: window = centre + [c -s; s c] * mirror * (upright - centre), where
// mirror negates x when the view is mirrored. The centre is a whole pixel corner, and a quarter turn has
// c and s exactly 0 or 1, so that a quarter turn or a mirror moves pixel centres onto pixel centres.
struct ViewTurn {
  double c = 1, s = 0;
  bool mirrored = false;
  double cx = 0, cy = 0;
  bool turned() const { return mirrored || s != 0 || c != 1; }
  // A multiple of 90 degrees, mirrored or not: the display is the upright one with its pixels moved.
  bool quarter() const { return (c == 0 || s == 0); }
  ViewPoint ToWindow(double u, double v) const;
  ViewPoint ToUpright(double X, double Y) const;
  // The same for a movement, without the centre.
  ViewPoint MoveToUpright(double dX, double dY) const;
};

// The turn of the canvas window now: ViewAngle, ViewMirrored, and the window's centre (half its client size,
// rounded down).
ViewTurn CurrentTurn(const platform::Form& canvas);
bool ViewTurned();

// Window position to upright position (where the zoom and pan alone would show it), and to image pixels,
// fractional. Upright, a position is itself, so the upright view reads positions exactly as before.
ViewPoint WindowToUpright(const platform::Form& canvas, float X, float Y);
float UprightImageX(float u);
float UprightImageY(float v);

// The angle brought into 0 <= a < 360, a value within a millionth of a degree of a whole one taken as that
// whole one (so that steps of 15 add up to exact quarter turns).
double NormalAngle(double degrees);

// Sets the turn and mirror about the canvas's centre, has the caption show them (canvas/window_frame.h), and
// redraws the canvas.
Refusals SetTurn(platform::Form& canvas, double degrees, bool mirrored);
Refusals TurnBy(platform::Form& canvas, double degrees);  // the 4 and 6 keys: by 15 degrees
Refusals TurnUpright(platform::Form& canvas);             // the 5 key
Refusals MirrorView(platform::Form& canvas);              // the M key
// A Shift+Space drag: the view turns with the pointer's angle about the canvas's centre since the press.
void StartTurnDrag(const platform::Form& canvas, float X, float Y);
Refusals TurnDrag(platform::Form& canvas, float X, float Y);

// The caption's view part: " zoom = 125", then " angle = 30" when the view is turned, " mirrored" when it
// is mirrored.
std::string ViewCaption();

}  // namespace brisel::canvas
