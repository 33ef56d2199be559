#pragma once
// A stroke in image pixels: begun at a press, grown point by point, committed at its release. The canvas's
// mouse handlers (app/canvas_input.h) turn pointer events into these calls; nothing here knows the window.
// Each call answers the rectangle it changed, image pixels: the handler gathers them over its event and has
// the canvas show their union once.

#include "canvas/rectangles.h"
#include "canvas/refusal.h"

namespace brisel::stroke {

// Starts a stroke at image point (x, y): point 0 and the dirty rectangle around it. Dabs a stroke left
// uncommitted (a second button went down mid-stroke) stay inside the rectangle, so that this stroke's
// commit takes them too. Nothing is drawn.
void BeginStroke(float x, float y, float pressure);
// A movement while a press is active that does not paint (a view drag, a pick): the dirty rectangle still
// grows to hold image point (x, y).
void PassOverStroke(float x, float y);
// Continues the stroke to image point (x, y): the dirty rectangle grows to hold it and it becomes the next
// point of the list, which wraps from 10000 back to 0. With a button held (painting) and from the fourth
// point on, the spline piece it completes is drawn into the mask and previewed in the display copy, and the
// stroke then holds dabs to commit. (windowX, windowY), the event in window pixels, sets the spline's step
// (stroke/spline.h). Answers the display copy's pixels that changed; empty when nothing was drawn.
PixelRect ContinueStroke(float x, float y, float pressure, float windowX, float windowY, bool painting);
// Ends the stroke at image point (x, y): records and draws the last point (a click its dab, a single
// movement its straight piece), then commits. Answers every pixel the two changed: the commit's image
// pixels, and the last piece's preview, which lies inside them; and the commit's refusal.
canvas::Changed EndStroke(float x, float y, float pressure, float windowX, float windowY);
// Commits what the mask holds as one undo step: saves the dirty rectangle for undo, composites the mask
// into the image, clears the mask and makes the display copy the image there. A stroke whose undo step
// cannot be made is dropped instead: the mask is cleared all the same and the display copy shows the image
// as it was, and the refusal is answered for the user. Answers the pixels to show again; nothing to commit:
// nothing happens, and an empty answer.
canvas::Changed CommitStroke();

}  // namespace brisel::stroke
