#include "canvas/display_bitmap.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/numbers.h"
#include "app/shared_state.h"
#include "app/windows.h"
#include "platform/native.h"

namespace brisel::Dibs {

platform::MemoryBitmap DibBitmap;
int32_t DibWidth = 0;
int32_t DibHeight = 0;

int32_t ZoomedWidth() { return FloorToLong(double(ImageWidth) * double(Zoom)); }
int32_t ZoomedHeight() { return FloorToLong(double(ImageHeight) * double(Zoom)); }

void CreateDib() {
  const int32_t zoomedWidth = ZoomedWidth();
  const int32_t zoomedHeight = ZoomedHeight();
  const int32_t dibWidth = (zoomedWidth + 3) / 4 * 4;  // rows of whole 32-bit words, as device bitmaps want
  // The new bitmap is made before the old one goes, so that a zoom too large for memory leaves the
  // display as it was and the caller can step back to the old zoom.
  platform::MemoryBitmap made;
  if (!made.Create(dibWidth, zoomedHeight))
    throw Error(errors::kDisplayBitmap, "Unable to create the display bitmap");
  if (DibBitmap.exists()) {
    platform::Form& canvas = Form1Window();
    if (canvas.visible())
      canvas.SetCaption(AppCaption + " zoom = " + std::to_string(FloorToLong(double(Zoom) * 100.0)));
    FreeDib();
  }
  DibBitmap = std::move(made);
  DibWidth = dibWidth;
  DibHeight = zoomedHeight;
}

void FreeDib() {
  DibBitmap.Free();
}

void BlitRect(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t x1, int32_t y1, int32_t x2,
              int32_t y2) {
  if (Zoom == 0 || !DibBitmap.exists()) return;
  // The planes must hold the whole image; a shorter plane is never read beyond its end.
  if (!R.covers(ImageWidth, ImageHeight) || !G.covers(ImageWidth, ImageHeight) || !B.covers(ImageWidth, ImageHeight))
    return;
  x2 += 1;  // the far corner becomes exclusive
  y2 += 1;
  x1 = std::clamp(x1, 0, ImageWidth);
  x2 = std::clamp(x2, 0, ImageWidth);
  y1 = std::clamp(y1, 0, ImageHeight);
  y2 = std::clamp(y2, 0, ImageHeight);

  platform::Form& canvas = Form1Window();
  const double zoom = Zoom;
  const int32_t clientWidth = canvas.clientWidth(), clientHeight = canvas.clientHeight();
  // Only what the window shows, with a pixel to spare on each side.
  x1 = std::max(x1, Nearest((-1.0 - PanX) / zoom));
  y1 = std::max(y1, Nearest((-1.0 - PanY) / zoom));
  x2 = std::min(x2, Nearest((clientWidth + 1.0 - PanX) / zoom));
  y2 = std::min(y2, Nearest((clientHeight + 1.0 - PanY) / zoom));
  if (x2 <= x1 || y2 <= y1) return;

  // The planes' rows are read with the planes' own width, which may exceed the image's.
  const int32_t rowLength = R.width();
  if (G.width() != rowLength || B.width() != rowLength) return;
  native::p_smoothblit(R.data(), G.data(), B.data(), DibBitmap.bits(), x1, y1, x2, y2, rowLength + 1,
                       R.height() + 1, ZoomedWidth(), DibHeight, DibWidth, Zoom);

  const int32_t sourceX = FloorToLong(x1 * zoom), sourceY = FloorToLong(y1 * zoom);
  // The size comes from the difference, not from a difference of floors.
  const int32_t width = FloorToLong((x2 - x1) * zoom), height = FloorToLong((y2 - y1) * zoom);
  canvas.CopyFromBitmap(DibBitmap, sourceX + PanX, sourceY + PanY, width, height, sourceX, sourceY);
}

}  // namespace brisel::Dibs
