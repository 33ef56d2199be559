#include "canvas/turned_display.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "canvas/pyramid.h"
#include "platform/native.h"
#include "platform/quad_reach.h"
#include "state/shared_state.h"

namespace brisel::Dibs {
namespace {

// The window box [X0, X1) x [Y0, Y1) that holds the turned images of upright points (u, v) of a box.
struct WindowBox {
  int32_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  bool empty() const { return X1 <= X0 || Y1 <= Y0; }
};
WindowBox TurnedBox(const platform::Form& canvas, const canvas::ViewTurn& turn, double u0, double v0, double u1,
                    double v1, int32_t spare) {
  double X0 = INFINITY, Y0 = INFINITY, X1 = -INFINITY, Y1 = -INFINITY;
  for (const double u : {u0, u1})
    for (const double v : {v0, v1}) {
      const canvas::ViewPoint p = turn.ToWindow(u, v);
      X0 = std::min(X0, p.x), X1 = std::max(X1, p.x), Y0 = std::min(Y0, p.y), Y1 = std::max(Y1, p.y);
    }
  auto held = [](double v, int32_t hi) { return int32_t(std::clamp(v, 0.0, double(hi))); };
  return {held(std::floor(X0) - spare, canvas.clientWidth()), held(std::floor(Y0) - spare, canvas.clientHeight()),
          held(std::ceil(X1) + spare, canvas.clientWidth()), held(std::ceil(Y1) + spare, canvas.clientHeight())};
}

// The window pixels of an upright box [u0, u1] x [v0, v1] turned: a convex quadrilateral, corners in order.
platform::QuadCorner Corner(const canvas::ViewTurn& turn, double u, double v) {
  const canvas::ViewPoint p = turn.ToWindow(u, v);
  return {p.x, p.y};
}
struct TurnedQuad {
  platform::QuadCorner corner[4];
  // The quadrilateral's reach along X between rows Y0 and Y1 (window coordinates); false when it misses them.
  bool AcrossRows(double Y0, double Y1, double& left, double& right) const {
    return platform::QuadReach(corner, Y0, Y1, left, right);
  }
};
TurnedQuad TurnedQuadOf(const canvas::ViewTurn& turn, double u0, double v0, double u1, double v1) {
  return {{Corner(turn, u0, v0), Corner(turn, u1, v0), Corner(turn, u1, v1), Corner(turn, u0, v1)}};
}

// Window pixels beyond a rectangle's turned box that its edge pixels' bilinear mix reaches, and the rows of
// a band drawn at a time.
constexpr double kSpare = 2;
constexpr int32_t kBandRows = 16;

// The window's pixels are gathered here before they are copied: one bitmap, grown to the largest box drawn.
platform::MemoryBitmap& Scratch(int32_t width, int32_t height) {
  static platform::MemoryBitmap scratch;
  if (scratch.width() < width || scratch.height() < height)
    scratch.Create(std::max(width, scratch.width()), std::max(height, scratch.height()));
  return scratch;
}

uint32_t BackPixel(const platform::Form& canvas) {
  const platform::Color c = canvas.backColor();
  return (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16;  // 0xBBGGRR to bytes blue, green, red
}

}  // namespace

UprightBox WindowUpright(const platform::Form& canvas) {
  const int64_t w = canvas.clientWidth(), h = canvas.clientHeight();
  if (!canvas::ViewTurned()) return {0, 0, w, h};
  const canvas::ViewTurn turn = canvas::CurrentTurn(canvas);
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const double X : {0.0, double(w)})
    for (const double Y : {0.0, double(h)}) {
      const canvas::ViewPoint p = turn.ToUpright(X, Y);
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
  return {int64_t(std::floor(x0)), int64_t(std::floor(y0)), int64_t(std::ceil(x1)), int64_t(std::ceil(y1))};
}

void CopyQuarterTurned(platform::Form& canvas, const TiledBitmap& bitmap, const canvas::ViewTurn& turn, int32_t u0,
                       int32_t v0, int32_t u1, int32_t v1) {
  if (u1 <= u0 || v1 <= v0) return;
  const int32_t tw = bitmap.tileWidth(), th = bitmap.tileHeight();
  for (int32_t r = v0 / th; r <= (v1 - 1) / th; ++r)
    for (int32_t c = u0 / tw; c <= (u1 - 1) / tw; ++c) {
      const platform::MemoryBitmap* tile = bitmap.FindTile(c, r);
      if (!tile) continue;
      const int32_t pu0 = std::max(u0, c * tw), pu1 = std::min(u1, (c + 1) * tw);
      const int32_t pv0 = std::max(v0, r * th), pv1 = std::min(v1, (r + 1) * th);
      const WindowBox box = TurnedBox(canvas, turn, double(pu0) + PanX, double(pv0) + PanY, double(pu1) + PanX,
                                      double(pv1) + PanY, 0);
      if (box.empty()) continue;
      // A quarter turn moves whole pixels: the bitmap pixel of window pixel (X, Y) steps by whole pixels
      // along X and along Y, read at the first pixel's centre and its neighbours'.
      const canvas::ViewPoint p0 = turn.ToUpright(box.X0 + 0.5, box.Y0 + 0.5);
      const canvas::ViewPoint pi = turn.ToUpright(box.X0 + 1.5, box.Y0 + 0.5);
      const canvas::ViewPoint pj = turn.ToUpright(box.X0 + 0.5, box.Y0 + 1.5);
      const int32_t iu = int32_t(std::lround(pi.x - p0.x)), iv = int32_t(std::lround(pi.y - p0.y));
      const int32_t ju = int32_t(std::lround(pj.x - p0.x)), jv = int32_t(std::lround(pj.y - p0.y));
      const int32_t su = int32_t(std::floor(p0.x)) - PanX - c * tw, sv = int32_t(std::floor(p0.y)) - PanY - r * th;
      const int32_t w = box.X1 - box.X0, h = box.Y1 - box.Y0;
      // The box's corners read inside the tile, so every pixel between them does (a quarter turn is exact;
      // this only guards the tile's memory).
      bool inside = true;
      for (const int32_t j : {0, h - 1})
        for (const int32_t i : {0, w - 1}) {
          const int32_t u = su + i * iu + j * ju, v = sv + i * iv + j * jv;
          inside = inside && u >= 0 && v >= 0 && u < pu1 - c * tw && v < pv1 - r * th;
        }
      platform::MemoryBitmap& scratch = Scratch(w, h);
      if (!inside || !scratch.exists()) continue;
      const uint32_t* from = reinterpret_cast<const uint32_t*>(tile->bits());
      for (int32_t j = 0; j < h; ++j) {
        uint32_t* to = reinterpret_cast<uint32_t*>(scratch.bits()) + int64_t(j) * scratch.width();
        int32_t u = su + j * ju, v = sv + j * jv;
        for (int32_t i = 0; i < w; ++i, u += iu, v += iv) to[i] = from[int64_t(v) * tw + u];
      }
      canvas.CopyFromBitmap(scratch, box.X0, box.Y0, w, h, 0, 0);
    }
}

bool BlitTurned(platform::Form& canvas, const BytePlane& R, const BytePlane& G, const BytePlane& B,
                const canvas::ViewTurn& turn, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  x1 = std::clamp(x1, 0, ImageWidth), x2 = std::clamp(x2, 0, ImageWidth);
  y1 = std::clamp(y1, 0, ImageHeight), y2 = std::clamp(y2, 0, ImageHeight);
  if (x2 <= x1 || y2 <= y1) return false;
  const double zoom = Zoom;
  // A pixel of bilinear reach beyond the rectangle, which its edge pixels mix with.
  const WindowBox box = TurnedBox(canvas, turn, x1 * zoom + PanX, y1 * zoom + PanY, x2 * zoom + PanX,
                                  y2 * zoom + PanY, int32_t(kSpare));
  if (box.empty()) return false;
  const int32_t level = Zoom < 1.0f ? native::PyramidLevelFor(Zoom, Pyramid::kPyramidLevels) : 0;
  const double perCell = zoom * double(1 << level);  // window pixels a cell of that level spans
  // Window point (X, Y) shows cell point (upright(X, Y) - pan) / perCell.
  auto cellOf = [&](double X, double Y) {
    const canvas::ViewPoint u = turn.ToUpright(X, Y);
    return canvas::ViewPoint{(u.x - PanX) / perCell, (u.y - PanY) / perCell};
  };
  native::TurnedSpan span;
  const canvas::ViewPoint qi = turn.MoveToUpright(1, 0), qj = turn.MoveToUpright(0, 1);
  span.iqx = qi.x / perCell, span.iqy = qi.y / perCell, span.jqx = qj.x / perCell, span.jqy = qj.y / perCell;
  // The cells the box reads, one beyond for the taps, within the level.
  const int32_t levelWidth = int32_t((int64_t(R.width()) + (1 << level) - 1) >> level);
  const int32_t levelHeight = int32_t((int64_t(R.height()) + (1 << level) - 1) >> level);
  double qx0 = INFINITY, qy0 = INFINITY, qx1 = -INFINITY, qy1 = -INFINITY;
  for (const double X : {double(box.X0), double(box.X1)})
    for (const double Y : {double(box.Y0), double(box.Y1)}) {
      const canvas::ViewPoint p = cellOf(X, Y);
      qx0 = std::min(qx0, p.x), qx1 = std::max(qx1, p.x), qy0 = std::min(qy0, p.y), qy1 = std::max(qy1, p.y);
    }
  auto held = [](double v, int32_t hi) { return int32_t(std::clamp(v, 0.0, double(hi))); };
  span.cx0 = held(std::floor(qx0) - 1, levelWidth), span.cx1 = held(std::ceil(qx1) + 1, levelWidth);
  span.cy0 = held(std::floor(qy0) - 1, levelHeight), span.cy1 = held(std::ceil(qy1) + 1, levelHeight);
  native::BlitSource source = Pyramid::Source(R, G, B, level, span.cx0, span.cy0, span.cx1, span.cy1);
  source.extentWidth = double(ImageWidth) / double(1 << level);
  source.extentHeight = double(ImageHeight) / double(1 << level);
  // A turned rectangle covers about half of its box: only the pixels near it are drawn, a band of rows at a
  // time. Where the rectangle reaches the image's edge, the margin beyond it is drawn too (in the back colour).
  const double far = 4.0 * (double(canvas.clientWidth()) + canvas.clientHeight()) + 16;
  const TurnedQuad near = TurnedQuadOf(turn, x1 == 0 ? -far : x1 * zoom + PanX - kSpare,
                                       y1 == 0 ? -far : y1 * zoom + PanY - kSpare,
                                       x2 == ImageWidth ? far : x2 * zoom + PanX + kSpare,
                                       y2 == ImageHeight ? far : y2 * zoom + PanY + kSpare);
  platform::MemoryBitmap& scratch = Scratch(box.X1 - box.X0, box.Y1 - box.Y0);
  if (!scratch.exists()) return false;
  const uint32_t back = BackPixel(canvas);
  // Each band is drawn where it lies in the box, and all go to the window in one copy. Bands of the same
  // columns are drawn as one (a whole picture's redraw is a single one), since the kernel's tiles are taller.
  static std::vector<platform::Form::BitmapPart> bands;
  bands.clear();
  for (int32_t Y0 = box.Y0; Y0 < box.Y1; Y0 += kBandRows) {
    const int32_t Y1 = std::min(box.Y1, Y0 + kBandRows);
    double left, right;
    if (!near.AcrossRows(Y0, Y1, left, right)) continue;
    // A pixel to spare either side for the pixels' own width.
    const int32_t X0 = int32_t(std::clamp(std::floor(left) - 1, double(box.X0), double(box.X1)));
    const int32_t X1 = int32_t(std::clamp(std::ceil(right) + 1, double(box.X0), double(box.X1)));
    if (X1 <= X0) continue;
    platform::Form::BitmapPart* last = bands.empty() ? nullptr : &bands.back();
    if (last && last->dx == X0 && last->w == X1 - X0 && last->dy + last->h == Y0) {
      last->h = Y1 - last->dy;
    } else {
      bands.push_back({X0, Y0, X1 - X0, Y1 - Y0, X0 - box.X0, Y0 - box.Y0});
    }
  }
  for (const platform::Form::BitmapPart& band : bands) {
    const canvas::ViewPoint q = cellOf(band.dx + 0.5, band.dy + 0.5);
    span.qx = q.x, span.qy = q.y;
    uint8_t* at = scratch.bits() + (int64_t(band.sy) * scratch.width() + band.sx) * 4;
    native::p_turnblit(source, span, band.w, band.h, back, at, scratch.width());
  }
  canvas.CopyFromBitmap(scratch, bands);
  return !bands.empty();
}

}  // namespace brisel::Dibs
