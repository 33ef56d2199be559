#include "canvas/view_turn.h"

#include <cmath>

#include "canvas/display.h"
#include "canvas/window_frame.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::canvas {
namespace {

constexpr double kPi = 3.14159265358979323846;

double gDragStartAngle = 0;    // ViewAngle at a Shift+Space press
double gDragStartPointer = 0;  // the pointer's angle about the centre then, degrees

// Cosine and sine of a whole number of quarter turns exactly, of other angles as near as doubles go.
void CosSin(double degrees, double& c, double& s) {
  const double quarters = degrees / 90.0;
  if (quarters == std::floor(quarters)) {
    static constexpr double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
    const int q = int(std::fmod(quarters, 4.0) + 4) % 4;
    c = kCos[q], s = kSin[q];
    return;
  }
  c = std::cos(degrees * kPi / 180.0), s = std::sin(degrees * kPi / 180.0);
}

double PointerAngle(const platform::Form& canvas, float X, float Y) {
  const ViewTurn turn = CurrentTurn(canvas);
  return std::atan2(double(Y) - turn.cy, double(X) - turn.cx) * 180.0 / kPi;
}

}  // namespace

ViewPoint ViewTurn::ToWindow(double u, double v) const {
  double dx = u - cx, dy = v - cy;
  if (mirrored) dx = -dx;
  return {cx + c * dx - s * dy, cy + s * dx + c * dy};
}

ViewPoint ViewTurn::MoveToUpright(double dX, double dY) const {
  double dx = c * dX + s * dY, dy = -s * dX + c * dY;
  if (mirrored) dx = -dx;
  return {dx, dy};
}

ViewPoint ViewTurn::ToUpright(double X, double Y) const {
  const ViewPoint d = MoveToUpright(X - cx, Y - cy);
  return {cx + d.x, cy + d.y};
}

ViewTurn CurrentTurn(const platform::Form& canvas) {
  ViewTurn turn;
  CosSin(ViewAngle, turn.c, turn.s);
  turn.mirrored = ViewMirrored;
  turn.cx = double(canvas.clientWidth() / 2);
  turn.cy = double(canvas.clientHeight() / 2);
  return turn;
}

bool ViewTurned() { return ViewAngle != 0 || ViewMirrored; }

ViewPoint WindowToUpright(const platform::Form& canvas, float X, float Y) {
  if (!ViewTurned()) return {X, Y};
  return CurrentTurn(canvas).ToUpright(X, Y);
}

float UprightImageX(float u) { return u / Zoom - float(PanX) / Zoom; }
float UprightImageY(float v) { return v / Zoom - float(PanY) / Zoom; }

double NormalAngle(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  double a = std::fmod(degrees, 360.0);
  if (a < 0) a += 360.0;
  if (std::fabs(a - std::nearbyint(a)) < 1e-6) a = std::nearbyint(a);
  return a >= 360.0 ? 0.0 : a;
}

std::string ViewCaption() {
  std::string caption = " zoom = " + std::to_string(FloorToLong(double(Zoom) * 100.0));
  if (ViewAngle != 0) caption += " angle = " + std::to_string(Nearest(ViewAngle) % 360);
  if (ViewMirrored) caption += " mirrored";
  return caption;
}

Refusals SetTurn(platform::Form& canvas, double degrees, bool mirrored) {
  const double angle = NormalAngle(degrees);
  if (angle == ViewAngle && mirrored == ViewMirrored) return {};
  ViewAngle = angle;
  ViewMirrored = mirrored;
  FrameShowsView(canvas);
  return displaybuffers(canvas);
}

Refusals TurnBy(platform::Form& canvas, double degrees) { return SetTurn(canvas, ViewAngle + degrees, ViewMirrored); }
Refusals TurnUpright(platform::Form& canvas) { return SetTurn(canvas, 0, ViewMirrored); }
// The mirror flips what the screen shows, left to right: a mirror under the turn, with the turn taken the
// other way (mirror after turn by a equals turn by -a after mirror), so that the keys' turns stay clockwise.
Refusals MirrorView(platform::Form& canvas) { return SetTurn(canvas, -ViewAngle, !ViewMirrored); }

void StartTurnDrag(const platform::Form& canvas, float X, float Y) {
  gDragStartAngle = ViewAngle;
  gDragStartPointer = PointerAngle(canvas, X, Y);
}

Refusals TurnDrag(platform::Form& canvas, float X, float Y) {
  return SetTurn(canvas, gDragStartAngle + PointerAngle(canvas, X, Y) - gDragStartPointer, ViewMirrored);
}

}  // namespace brisel::canvas
