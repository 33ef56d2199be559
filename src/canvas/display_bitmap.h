#pragma once
// The display bitmap: the image at the current Zoom as 32-bit pixels. Every redraw renders a rectangle of
// three planes into it and copies the same rectangle to the canvas window at the pan offset.
//
// The bitmap is DibWidth x DibHeight pixels as the rules have it (the zoomed width rounded up to whole 32-bit
// words), but it is held as tiles of kTileSide x kTileSide pixels that are made only where something is drawn,
// and only the part of a redraw that falls inside the window is drawn. Tiles the window has left are reused
// or given back, so the display holds about the window's pixels whatever the zoom and the picture's size.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "canvas/refusal.h"
#include "platform/byte_plane.h"
#include "platform/window.h"

namespace brisel::Dibs {

inline constexpr int32_t kTileSide = 256;

class TiledBitmap {
 public:
  // A bitmap of width x height pixels with no tile made yet.
  void Reset(int32_t width, int32_t height);
  void Free();
  bool exists() const { return exists_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t tileWidth() const { return tileWidth_; }
  int32_t tileHeight() const { return tileHeight_; }
  // The tile at grid position (column, row), made (all zero) if it was not; nullptr when the display's
  // byte limit (platform::BitmapSizeLimit) or memory forbids it.
  platform::MemoryBitmap* Tile(int32_t column, int32_t row);
  const platform::MemoryBitmap* FindTile(int32_t column, int32_t row) const;
  // Gives back every tile outside grid columns [c0, c1) and rows [r0, r1).
  void KeepOnly(int32_t c0, int32_t r0, int32_t c1, int32_t r1);
  // Gives every tile of other back for reuse, and frees other.
  void TakeSpares(TiledBitmap& other);
  // Frees the tiles kept for reuse.
  static void FreeSpares();
  uint64_t bytes() const { return bytes_; }
  size_t tiles() const { return tiles_.size(); }
  // Pixel (u, v), bytes blue, green, red, pad; all 0 where no tile was made.
  uint32_t Pixel(int32_t u, int32_t v) const;

 private:
  static int64_t Key(int32_t column, int32_t row) { return int64_t(row) << 32 | uint32_t(column); }
  void Spare(platform::MemoryBitmap&& tile);
  std::unordered_map<int64_t, platform::MemoryBitmap> tiles_;
  int32_t width_ = 0, height_ = 0, tileWidth_ = 1, tileHeight_ = 1;
  uint64_t bytes_ = 0;
  bool exists_ = false;
};

extern TiledBitmap DibBitmap;  // exists while the canvas shows the image
extern int32_t DibWidth;       // zoomed width rounded up to a multiple of 4
extern int32_t DibHeight;      // zoomed height

// floor(ImageWidth * Zoom) and floor(ImageHeight * Zoom).
int32_t ZoomedWidth();
int32_t ZoomedHeight();

// (Re)creates the bitmap for the current Zoom, with the tiles the canvas window shows at the current pan;
// Error 31001 when they cannot be made, leaving the old bitmap in place.
void CreateDib(const platform::Form& canvas);
void FreeDib();

// Renders image rectangle r of R, G, B into the bitmap and copies it to the canvas window. Clamped to the image
// and to the visible part of the window. A tile that cannot be made is left as it was, and answered as a
// refusal the first time.
canvas::Refusals BlitRect(platform::Form& canvas, const BytePlane& R, const BytePlane& G, const BytePlane& B,
                          const PixelRect& r);

// How many redraws have reached the window so far (a BlitRect that copied at least one pixel): the tests and
// the benchmarks count the redraws an event makes with it.
uint64_t BlitsToWindow();

// Bytes the display holds: its tiles and the image pyramid's levels.
uint64_t DisplayBytes();

}  // namespace brisel::Dibs
