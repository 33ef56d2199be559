#pragma once
// A stroke in image pixels: begun at a press, grown point by point, committed at its release. The canvas's
// mouse handlers (app/canvas_input.h) turn pointer events into these calls; nothing here knows the window.

namespace brisel::Form1 {

// Starts a stroke at image point (x, y): point 0 and the dirty rectangle around it. Dabs a stroke left
// uncommitted (a second button went down mid-stroke) stay inside the rectangle, so that this stroke's
// commit takes them too.
void BeginStroke(float x, float y, float pressure);
// The next point of the list, which wraps from 10000 back to 0; the dirty rectangle grows to hold it.
void AddStrokePoint(float x, float y, float pressure);
// Ends the stroke at image point (x, y): records and draws the last point (a click its dab, a single
// movement its straight piece), then commits. (windowX, windowY), the release in window pixels, sets the
// spline's step as for any piece (stroke/spline.h).
void EndStroke(float x, float y, float pressure, float windowX, float windowY);
// Commits what the mask holds as one undo step: saves the dirty rectangle for undo, composites the mask
// into the image, clears the mask and shows the result. A stroke whose undo step cannot be made is dropped
// instead: the mask is cleared all the same and the window shows the image as it was. Nothing to commit:
// nothing happens.
void CommitStroke();

}  // namespace brisel::Form1
