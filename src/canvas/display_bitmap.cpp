#include "canvas/display_bitmap.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "canvas/pyramid.h"
#include "canvas/turned_display.h"
#include "canvas/view_turn.h"
#include "platform/native.h"
#include "platform/native/smoothblit_taps.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::Dibs {

TiledBitmap DibBitmap;
int32_t DibWidth = 0;
int32_t DibHeight = 0;

namespace {

constexpr size_t kMostSpares = 64;  // tiles kept for reuse once the window has left them: 16 MiB

// Bitmap pixels [u0, u1) x [v0, v1).
struct BitmapBox {
  int32_t u0 = 0, v0 = 0, u1 = 0, v1 = 0;
  bool empty() const { return u1 <= u0 || v1 <= v0; }
};

// Grid columns [c0, c1) and rows [r0, r1) of the tiles that hold the pixels of box.
struct TileRange {
  int32_t c0 = 0, r0 = 0, c1 = 0, r1 = 0;
};
TileRange TilesOver(const TiledBitmap& bitmap, const BitmapBox& box) {
  if (box.empty()) return {};
  return {box.u0 / bitmap.tileWidth(), box.v0 / bitmap.tileHeight(), (box.u1 - 1) / bitmap.tileWidth() + 1,
          (box.v1 - 1) / bitmap.tileHeight() + 1};
}

// The bitmap pixels the window shows at the current pan.
// Turned, the window shows the bitmap pixels of the turned window's box.
BitmapBox WindowPart(const platform::Form& canvas, const TiledBitmap& bitmap) {
  const UprightBox box = WindowUpright(canvas);
  return {int32_t(std::clamp(box.x0 - PanX, int64_t(0), int64_t(bitmap.width()))),
          int32_t(std::clamp(box.y0 - PanY, int64_t(0), int64_t(bitmap.height()))),
          int32_t(std::clamp(box.x1 - PanX, int64_t(0), int64_t(bitmap.width()))),
          int32_t(std::clamp(box.y1 - PanY, int64_t(0), int64_t(bitmap.height())))};
}

bool gRefusalAnswered = false;
uint64_t gBlits = 0;

// Tiles given back, shared by every bitmap, so that a new zoom's tiles reuse the old zoom's memory.
std::vector<platform::MemoryBitmap>& Spares() {
  static std::vector<platform::MemoryBitmap> spares;
  return spares;
}

}  // namespace

// ---- tiles ------------------------------------------------------------------------------------------

void TiledBitmap::Reset(int32_t width, int32_t height) {
  for (auto& [key, tile] : tiles_) Spare(std::move(tile));
  tiles_.clear();
  bytes_ = 0;
  width_ = std::max(width, 0), height_ = std::max(height, 0);
  tileWidth_ = std::clamp(width_, 1, kTileSide);
  tileHeight_ = std::clamp(height_, 1, kTileSide);
  exists_ = true;
}

void TiledBitmap::Free() {
  tiles_.clear();
  bytes_ = 0;
  width_ = height_ = 0;
  exists_ = false;
}

void TiledBitmap::Spare(platform::MemoryBitmap&& tile) {
  if (Spares().size() < kMostSpares) Spares().push_back(std::move(tile));
}

void TiledBitmap::FreeSpares() { std::vector<platform::MemoryBitmap>().swap(Spares()); }

platform::MemoryBitmap* TiledBitmap::Tile(int32_t column, int32_t row) {
  if (auto it = tiles_.find(Key(column, row)); it != tiles_.end()) return &it->second;
  if (!exists_ || column < 0 || row < 0 || int64_t(column) * tileWidth_ >= width_ ||
      int64_t(row) * tileHeight_ >= height_)
    return nullptr;
  const uint64_t tileBytes = uint64_t(tileWidth_) * uint64_t(tileHeight_) * 4;
  if (bytes_ + tileBytes > platform::BitmapSizeLimit()) return nullptr;
  platform::MemoryBitmap tile;
  // A spare tile of the same size serves as it is: every pixel a redraw copies to the window is drawn first.
  while (!Spares().empty()) {
    platform::MemoryBitmap spare = std::move(Spares().back());
    Spares().pop_back();
    if (spare.width() == tileWidth_ && spare.height() == tileHeight_) {
      tile = std::move(spare);
      break;
    }
  }
  if (!tile.exists() && !tile.Create(tileWidth_, tileHeight_)) return nullptr;
  bytes_ += tileBytes;
  return &tiles_.emplace(Key(column, row), std::move(tile)).first->second;
}

const platform::MemoryBitmap* TiledBitmap::FindTile(int32_t column, int32_t row) const {
  const auto it = tiles_.find(Key(column, row));
  return it == tiles_.end() ? nullptr : &it->second;
}

void TiledBitmap::KeepOnly(int32_t c0, int32_t r0, int32_t c1, int32_t r1) {
  for (auto it = tiles_.begin(); it != tiles_.end();) {
    const int32_t column = int32_t(uint32_t(it->first)), row = int32_t(it->first >> 32);
    if (column >= c0 && column < c1 && row >= r0 && row < r1) {
      ++it;
      continue;
    }
    bytes_ -= uint64_t(it->second.width()) * uint64_t(it->second.height()) * 4;
    Spare(std::move(it->second));
    it = tiles_.erase(it);
  }
}

void TiledBitmap::TakeSpares(TiledBitmap& other) {
  for (auto& [key, tile] : other.tiles_)
    if (tile.width() == tileWidth_ && tile.height() == tileHeight_) Spare(std::move(tile));
  other.Free();
}

uint32_t TiledBitmap::Pixel(int32_t u, int32_t v) const {
  if (u < 0 || v < 0 || u >= width_ || v >= height_) return 0;
  const platform::MemoryBitmap* tile = FindTile(u / tileWidth_, v / tileHeight_);
  if (!tile) return 0;
  const uint8_t* p = tile->bits() + (size_t(v % tileHeight_) * size_t(tileWidth_) + size_t(u % tileWidth_)) * 4;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// ---- the display ------------------------------------------------------------------------------------

int32_t ZoomedWidth() { return FloorToLong(double(ImageWidth) * double(Zoom)); }
int32_t ZoomedHeight() { return FloorToLong(double(ImageHeight) * double(Zoom)); }

void CreateDib(const platform::Form& canvas) {
  const int32_t zoomedWidth = ZoomedWidth();
  const int32_t zoomedHeight = ZoomedHeight();
  const int32_t dibWidth = int32_t((int64_t(zoomedWidth) + 3) / 4 * 4);  // rows of whole 32-bit words
  // The new bitmap, with the tiles the window shows, is made before the old one goes, so that a zoom too
  // large for memory leaves the display as it was and the caller can step back to the old zoom.
  TiledBitmap made;
  made.Reset(dibWidth, zoomedHeight);
  const TileRange visible = TilesOver(made, WindowPart(canvas, made));
  for (int32_t r = visible.r0; r < visible.r1; ++r)
    for (int32_t c = visible.c0; c < visible.c1; ++c)
      if (!made.Tile(c, r)) throw Error(errors::kDisplayBitmap, "Unable to create the display bitmap");
  if (DibBitmap.exists()) made.TakeSpares(DibBitmap);
  DibBitmap = std::move(made);
  DibWidth = dibWidth;
  DibHeight = zoomedHeight;
}

void FreeDib() {
  DibBitmap.Free();
  TiledBitmap::FreeSpares();
  Pyramid::Forget();
}

uint64_t BlitsToWindow() { return gBlits; }

uint64_t DisplayBytes() {
  uint64_t spares = 0;
  for (const platform::MemoryBitmap& tile : Spares()) spares += uint64_t(tile.width()) * uint64_t(tile.height()) * 4;
  return DibBitmap.bytes() + spares + Pyramid::Bytes();
}

// ---- a redraw: clip, render the tiles, copy them to the window ---------------------------------------

namespace {

// The image pixels a redraw of r draws: r within the image and within what the window shows, with a pixel to
// spare on each side. Empty when nothing is to be drawn, or the planes cannot be read: they must hold the
// whole image, with one row length (the planes' own width, which may exceed the image's), so that a shorter
// plane is never read beyond its end.
PixelRect ClipToWindow(const platform::Form& canvas, const BytePlane& R, const BytePlane& G, const BytePlane& B,
                       const PixelRect& r) {
  if (Zoom == 0 || !DibBitmap.exists()) return {};
  if (!R.covers(ImageWidth, ImageHeight) || !G.covers(ImageWidth, ImageHeight) || !B.covers(ImageWidth, ImageHeight))
    return {};
  if (G.width() != R.width() || B.width() != R.width() || G.height() != R.height() || B.height() != R.height())
    return {};
  int32_t x1 = std::clamp(r.x1, 0, ImageWidth), x2 = std::clamp(r.x2, 0, ImageWidth);
  int32_t y1 = std::clamp(r.y1, 0, ImageHeight), y2 = std::clamp(r.y2, 0, ImageHeight);
  const double zoom = Zoom;
  const UprightBox shown = WindowUpright(canvas);
  x1 = std::max(x1, Nearest((double(shown.x0) - 1.0 - PanX) / zoom));
  y1 = std::max(y1, Nearest((double(shown.y0) - 1.0 - PanY) / zoom));
  x2 = std::min(x2, Nearest((double(shown.x1) + 1.0 - PanX) / zoom));
  y2 = std::min(y2, Nearest((double(shown.y1) + 1.0 - PanY) / zoom));
  if (x2 <= x1 || y2 <= y1) return {};
  return {x1, y1, x2, y2};
}

// Renders bitmap pixels box of R, G, B into their tiles, making the tiles that are not yet. A tile that cannot
// be made leaves its part of the window as it was; the user hears of it once, not at every redraw until it
// can be made.
canvas::Refusals RenderTiles(const BytePlane& R, const BytePlane& G, const BytePlane& B, const BitmapBox& box) {
  if (box.empty()) return {};
  // Shrunk, the pixels come from the pyramid level where one covers one to two cells. The filter is worked
  // out once for the whole redraw, whatever the number of tiles it is drawn into.
  const int32_t level = Zoom < 1.0f ? native::PyramidLevelFor(Zoom, Pyramid::kPyramidLevels) : 0;
  native::BlitSource source = Pyramid::Source(R, G, B, 0, 0, 0, 0, 0);
  native::smoothblit::WindowFilter filter;
  if (level > 0) {
    native::BlitSource shape = source;
    shape.level = level;
    shape.width = int32_t((int64_t(R.width()) + (1 << level) - 1) >> level);
    shape.height = int32_t((int64_t(R.height()) + (1 << level) - 1) >> level);
    shape.extentWidth = double(R.width()) / double(1 << level);
    shape.extentHeight = double(R.height()) / double(1 << level);
    native::MakeWindowFilter(shape, Zoom, box.u0, box.u1, box.v0, box.v1, filter);
    int32_t cx0, cy0, cx1, cy1;
    native::SmoothblitReads(filter, box.u0, box.u1, box.v0, box.v1, cx0, cy0, cx1, cy1);
    source = Pyramid::Source(R, G, B, level, cx0, cy0, cx1, cy1);
  } else {
    native::MakeWindowFilter(source, Zoom, box.u0, box.u1, box.v0, box.v1, filter);
  }
  const TileRange drawn = TilesOver(DibBitmap, box);
  const int32_t tw = DibBitmap.tileWidth(), th = DibBitmap.tileHeight();
  bool tileRefused = false;
  for (int32_t r = drawn.r0; r < drawn.r1; ++r)
    for (int32_t c = drawn.c0; c < drawn.c1; ++c) {
      platform::MemoryBitmap* tile = DibBitmap.Tile(c, r);
      if (!tile) {
        tileRefused = true;
        continue;
      }
      const int32_t pu0 = std::max(box.u0, c * tw), pu1 = std::min(box.u1, (c + 1) * tw);
      const int32_t pv0 = std::max(box.v0, r * th), pv1 = std::min(box.v1, (r + 1) * th);
      uint8_t* out = tile->bits() + (size_t(pv0 - r * th) * size_t(tw) + size_t(pu0 - c * tw)) * 4;
      native::p_smoothblit_window(source, filter, pu0, pu1, pv0, pv1, out, tw);
    }
  canvas::Refusals refused;
  if (tileRefused && !gRefusalAnswered)
    refused.texts.push_back("Not enough memory to draw all of the picture at this zoom.");
  gRefusalAnswered = tileRefused;
  return refused;
}

// Copies to the window the bitmap pixels image rectangle drawn was rendered into, from floor(x1 * zoom) to
// floor(x2 * zoom), only what lies in the window's part: tile by tile, or where the quarter turn shows them.
// (A size taken as the floor of the difference would fall one pixel short where x1 * zoom has a fraction,
// leaving a stale column.) False when no pixel lies in the window.
bool CopyTiles(platform::Form& canvas, const canvas::ViewTurn& turn, const PixelRect& drawn, const BitmapBox& window) {
  const double zoom = Zoom;
  const int32_t sourceX = FloorToLong(drawn.x1 * zoom), sourceY = FloorToLong(drawn.y1 * zoom);
  const int32_t width = FloorToLong(drawn.x2 * zoom) - sourceX, height = FloorToLong(drawn.y2 * zoom) - sourceY;
  const BitmapBox copied{std::max(sourceX, window.u0), std::max(sourceY, window.v0),
                         std::min(sourceX + width, window.u1), std::min(sourceY + height, window.v1)};
  if (copied.empty()) return false;
  if (turn.turned()) {
    CopyQuarterTurned(canvas, DibBitmap, turn, copied.u0, copied.v0, copied.u1, copied.v1);
    return true;
  }
  const TileRange tiles = TilesOver(DibBitmap, copied);
  const int32_t tw = DibBitmap.tileWidth(), th = DibBitmap.tileHeight();
  for (int32_t r = tiles.r0; r < tiles.r1; ++r)
    for (int32_t c = tiles.c0; c < tiles.c1; ++c) {
      const platform::MemoryBitmap* tile = DibBitmap.FindTile(c, r);
      if (!tile) continue;
      const int32_t pu0 = std::max(copied.u0, c * tw), pu1 = std::min(copied.u1, (c + 1) * tw);
      const int32_t pv0 = std::max(copied.v0, r * th), pv1 = std::min(copied.v1, (r + 1) * th);
      canvas.CopyFromBitmap(*tile, pu0 + PanX, pv0 + PanY, pu1 - pu0, pv1 - pv0, pu0 - c * tw, pv0 - r * th);
    }
  return true;
}

}  // namespace

canvas::Refusals BlitRect(platform::Form& canvas, const BytePlane& R, const BytePlane& G, const BytePlane& B,
                          const PixelRect& r) {
  const PixelRect drawn = ClipToWindow(canvas, R, G, B, r);
  if (drawn.empty()) return {};
  const canvas::ViewTurn turn = canvas::CurrentTurn(canvas);
  if (turn.turned() && !turn.quarter()) {
    // Turned by other than quarter turns, the planes are sampled straight into the window: no tiles.
    if (BlitTurned(canvas, R, G, B, turn, drawn.x1, drawn.y1, drawn.x2, drawn.y2)) ++gBlits;
    return {};
  }
  // The bitmap pixels of the rectangle (the planes' rows read with their own width), then only those inside
  // the window: nothing else is drawn.
  native::smoothblit::BlitSpan span;
  if (!native::smoothblit::FindBlitSpan(drawn.x1, drawn.y1, drawn.x2, drawn.y2, R.width() + 1, R.height() + 1,
                                        ZoomedWidth(), DibHeight, DibWidth, Zoom, span))
    return {};
  const BitmapBox window = WindowPart(canvas, DibBitmap);
  // Tiles the window has left go first, so that panning never gathers more than the window's worth.
  const TileRange kept = TilesOver(DibBitmap, window);
  DibBitmap.KeepOnly(kept.c0, kept.r0, kept.c1, kept.r1);
  canvas::Refusals refused = RenderTiles(R, G, B,
                                         {std::max(span.u0, window.u0), std::max(span.v0, window.v0),
                                          std::min(span.u1, window.u1), std::min(span.v1, window.v1)});
  if (CopyTiles(canvas, turn, drawn, window)) ++gBlits;
  return refused;
}

}  // namespace brisel::Dibs
