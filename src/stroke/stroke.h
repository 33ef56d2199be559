#pragma once
// A stroke in image pixels: begun at a press, grown point by point, committed at its release. The canvas's
// mouse handlers (app/canvas_input.h) turn pointer events into these calls; nothing here knows the window.
// Each call answers the rectangle it changed, image pixels: the handler gathers them over its event and has
// the canvas show their union once.

#include <array>
#include <cstdint>
#include <vector>

#include "canvas/rectangles.h"
#include "canvas/refusal.h"
#include "stroke/surface.h"

namespace brisel::stroke {

inline constexpr int32_t kStrokePointsLast = 10000;  // the point list's upper bound
using StrokePoint = std::array<float, 3>;            // image x, image y, pressure 0..1

// One stroke's state, from its press to its commit. The canvas's handlers own the one the program paints
// with; each call below takes it, with the surface and the brush of its event.
struct Stroke {
  std::vector<StrokePoint> StrokePoints = std::vector<StrokePoint>(kStrokePointsLast + 1, StrokePoint{0, 0, 0});
  int32_t StrokeCount = 0;                                      // index of the newest point
  float StrokeMinX = 0, StrokeMinY = 0, StrokeMaxX = 0, StrokeMaxY = 0;  // dirty rectangle, image pixels
  float LastDabX = 0, LastDabY = 0, LastDabPressure = 0;        // the last spline sample drawn
  float StepDistance = 0;                                       // distance walked since the last dab
  bool StrokeUndrawn = false;      // a painting press began a stroke nothing of which is drawn yet
  bool StrokeUncommitted = false;  // the mask holds dabs no release has committed yet
};

// What a commit asks of the canvas around its compositing: the undo step of the box, saved before the image
// changes (a refusal drops the stroke instead), and afterwards the mask cleared and the display copy made the
// image again over the box.
class CommitHooks {
 public:
  virtual canvas::Refusals SaveUndo(const PixelRect& box) = 0;
  virtual void Settle(const PixelRect& box) = 0;

 protected:
  ~CommitHooks() = default;
};

// Starts a stroke at image point (x, y): point 0 and the dirty rectangle around it. Dabs a stroke left
// uncommitted (a second button went down mid-stroke) stay inside the rectangle, so that this stroke's
// commit takes them too. Nothing is drawn.
void BeginStroke(Stroke& s, const compositing::Brush& brush, float x, float y, float pressure);
// A movement while a press is active that does not paint (a view drag, a pick): the dirty rectangle still
// grows to hold image point (x, y).
void PassOverStroke(Stroke& s, const compositing::Brush& brush, float x, float y);
// Continues the stroke to image point (x, y): the dirty rectangle grows to hold it and it becomes the next
// point of the list, which wraps from 10000 back to 0. With a button held (painting) and from the fourth
// point on, the spline piece it completes is drawn into the mask and previewed in the display copy, and the
// stroke then holds dabs to commit. (windowX, windowY), the event in window pixels, sets the spline's step
// (stroke/spline.h). Answers the display copy's pixels that changed; empty when nothing was drawn.
PixelRect ContinueStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, float x, float y, float pressure,
                         float windowX, float windowY, bool painting);
// Ends the stroke at image point (x, y): records and draws the last point (a click its dab, a single
// movement its straight piece), then commits. Answers every pixel the two changed: the commit's image
// pixels, and the last piece's preview, which lies inside them; and the commit's refusal.
canvas::Changed EndStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, CommitHooks& hooks, float x,
                          float y, float pressure, float windowX, float windowY);
// Commits what the mask holds as one undo step: saves the dirty rectangle for undo (hooks.SaveUndo),
// composites the mask into the image, and has the mask cleared and the display copy made the image there
// (hooks.Settle). A stroke whose undo step
// cannot be made is dropped instead: the mask is cleared all the same and the display copy shows the image
// as it was, and the refusal is answered for the user. Answers the pixels to show again; nothing to commit:
// nothing happens, and an empty answer.
canvas::Changed CommitStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, CommitHooks& hooks);

}  // namespace brisel::stroke
