#include "canvas/navigation.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/view_turn.h"
#include "canvas/window_frame.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::canvas {
namespace {

bool gRefusalAnswered = false;  // the last zoom asked for was refused, and that was answered

// The pan along one axis after a scroll by d, for a window of `window` pixels and a zoomed picture of
// `picture`: between the picture's edge at the window's and the picture wholly inside, or back from beyond.
int32_t ScrolledPan(int32_t pan, double d, int32_t window, int32_t picture) {
  const int32_t lo = std::min(0, window - picture), hi = std::max(0, window - picture);
  const double wanted = double(pan) + d;
  return Nearest(std::clamp(wanted, double(std::min(lo, pan)), double(std::max(hi, pan))));
}

}  // namespace

ViewSet SetView(platform::Form& canvas, float zoom, int32_t panX, int32_t panY) {
  const bool remade = Dibs::DibBitmap.exists();
  const float oldZoom = Zoom;
  const int32_t oldPanX = PanX, oldPanY = PanY;
  Zoom = zoom;
  PanX = panX;
  PanY = panY;
  try {
    Dibs::CreateDib(canvas);
  } catch (const Error& e) {
    if (e.number() != errors::kDisplayBitmap) throw;
    Zoom = oldZoom;
    PanX = oldPanX;
    PanY = oldPanY;
    ViewSet refused{false, {}};
    if (!gRefusalAnswered)
      refused.refused.texts.push_back("Not enough memory to show the picture at zoom " +
                                      std::to_string(FloorToLong(double(zoom) * 100.0)) + " %: the view stays at " +
                                      std::to_string(FloorToLong(double(oldZoom) * 100.0)) + " %.");
    gRefusalAnswered = true;
    return refused;
  }
  gRefusalAnswered = false;
  // The caption names the zoom from its first change on: a bitmap made where there was none leaves it plain.
  if (remade) FrameShowsView(canvas);
  return {};
}

void StartViewDrag(float X, float Y) {
  DragStartX = X;
  DragStartY = Y;
  DragStartPanX = float(PanX);
  DragStartPanY = float(PanY);
  DragStartZoom = Zoom;
}

Refusals ViewDrag(platform::Form& canvas, int16_t Button, float X, float Y) {
  Refusals refused;
  if (Button == 1 && ViewTurned()) {
    // The picture follows the pointer on the screen: the movement, turned back, moves the upright placement.
    const ViewPoint d = CurrentTurn(canvas).MoveToUpright(double(X) - DragStartX, double(Y) - DragStartY);
    PanX = Nearest(DragStartPanX + d.x);
    PanY = Nearest(DragStartPanY + d.y);
  } else if (Button == 1) {
    PanX = Nearest(double(X) + DragStartPanX - DragStartX);
    PanY = Nearest(double(Y) + DragStartPanY - DragStartY);
  } else if (Button == 2) {
    // 200 pixels to the right add 1; below 0.25 the zoom drops to 0.2, above 6 it stays at 6.
    float zoom = (X - DragStartX) / 200.0f + DragStartZoom;
    if (zoom < 0.25f) zoom = 0.2f;
    if (zoom > 6.0f) zoom = 6.0f;
    // The pan moves by half the growth of the image, so its centre stays where it was at the press.
    const double growth = double(zoom) - double(DragStartZoom);
    refused = SetView(canvas, zoom, Nearest(DragStartPanX - growth * ImageWidth / 2),
                      Nearest(DragStartPanY - growth * ImageHeight / 2)).refused;
  }
  return refused += displaybuffers(canvas);
}

Refusals ScrollView(platform::Form& canvas, double dx, double dy) {
  if (ViewTurned()) {
    // A turned picture has no edges along the window's: it scrolls as far as its centre stays in the
    // window, or back from beyond.
    const ViewTurn turn = CurrentTurn(canvas);
    const double zoomedWidth = Dibs::ZoomedWidth(), zoomedHeight = Dibs::ZoomedHeight();
    const ViewPoint centre = turn.ToWindow(PanX + zoomedWidth / 2, PanY + zoomedHeight / 2);
    const double w = canvas.clientWidth(), h = canvas.clientHeight();
    const double toX = std::clamp(centre.x + dx, std::min(0.0, centre.x), std::max(w, centre.x));
    const double toY = std::clamp(centre.y + dy, std::min(0.0, centre.y), std::max(h, centre.y));
    const ViewPoint d = turn.MoveToUpright(toX - centre.x, toY - centre.y);
    PanX = Nearest(PanX + d.x);
    PanY = Nearest(PanY + d.y);
    return displaybuffers(canvas);
  }
  PanX = ScrolledPan(PanX, dx, canvas.clientWidth(), Dibs::ZoomedWidth());
  PanY = ScrolledPan(PanY, dy, canvas.clientHeight(), Dibs::ZoomedHeight());
  return displaybuffers(canvas);
}

Refusals SpaceDrag(platform::Form& canvas, float X, float Y) {
  if (ViewTurned()) {
    // The pan the pointer asks for since the press, as the window's movement it makes now.
    const ViewTurn turn = CurrentTurn(canvas);
    const ViewPoint d = turn.MoveToUpright(double(X) - DragStartX, double(Y) - DragStartY);
    const ViewPoint now = turn.ToWindow(PanX, PanY), wanted = turn.ToWindow(DragStartPanX + d.x, DragStartPanY + d.y);
    return ScrollView(canvas, wanted.x - now.x, wanted.y - now.y);
  }
  return ScrollView(canvas, double(X) + DragStartPanX - DragStartX - PanX,
                    double(Y) + DragStartPanY - DragStartY - PanY);
}

float ZoomWithinLimits(float from, float wanted) {
  if (wanted < from) return std::max(wanted, std::min(from, kZoomLeast));
  return std::min(wanted, std::max(from, kZoomMost));
}

Refusals ZoomAbout(platform::Form& canvas, float X, float Y, float zoom) {
  zoom = ZoomWithinLimits(Zoom, zoom);
  // The image point under the pointer, (X - PanX) / Zoom, is drawn at the pointer again at the new zoom;
  // turned, the pointer's upright position is that point's, and the turn stays.
  const ViewPoint p = WindowToUpright(canvas, X, Y);
  const double ix = (p.x - PanX) / Zoom, iy = (p.y - PanY) / Zoom;
  if (zoom == Zoom) return {};
  Refusals refused = SetView(canvas, zoom, Nearest(p.x - ix * zoom), Nearest(p.y - iy * zoom)).refused;
  return refused += displaybuffers(canvas);
}

Refusals ShowAtActualSize(platform::Form& canvas) {
  ViewSet view = SetView(canvas, 1.0f, 0, 0);
  if (view) FrameTakesActualSize(canvas);
  if (view && ViewTurned()) {
    // Turned about the canvas's centre (of the window's new size), the picture is put there: at no pan it
    // would turn off the window.
    const ViewTurn turn = CurrentTurn(canvas);
    PanX = Nearest(turn.cx - ImageWidth / 2.0);
    PanY = Nearest(turn.cy - ImageHeight / 2.0);
  }
  return view.refused += displaybuffers(canvas);
}

Refusals FitToWindow(platform::Form& canvas) {
  const double SW = canvas.clientWidth(), SH = canvas.clientHeight();
  if (ViewTurned()) {
    // The turned picture's box fits: its width is |cos| W + |sin| H of the upright one, its height the same
    // the other way; it is centred on the canvas's centre, about which it turns.
    const ViewTurn turn = CurrentTurn(canvas);
    const double c = std::fabs(turn.c), s = std::fabs(turn.s);
    float zoom = float(std::min(SW / (c * ImageWidth + s * ImageHeight), SH / (s * ImageWidth + c * ImageHeight)));
    zoom = std::clamp(zoom, 0.25f, 6.0f);
    Refusals refused = SetView(canvas, zoom, Nearest(turn.cx - ImageWidth * double(zoom) / 2),
                               Nearest(turn.cy - ImageHeight * double(zoom) / 2)).refused;
    return refused += displaybuffers(canvas);
  }
  const double rx = (SW - ImageWidth) / ImageWidth, ry = (SH - ImageHeight) / ImageHeight;
  float zoom = static_cast<float>(1 + (ry > rx ? rx : ry));
  if (zoom < 0.25f) zoom = 0.25f;
  if (zoom > 6.0f) zoom = 6.0f;
  Refusals refused = SetView(canvas, zoom, Nearest(SW / 2 - ImageWidth * double(zoom) / 2),
                             Nearest(SH / 2 - ImageHeight * double(zoom) / 2)).refused;
  return refused += displaybuffers(canvas);
}

}  // namespace brisel::canvas
