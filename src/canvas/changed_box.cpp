#include "canvas/changed_box.h"

#include "canvas/pyramid.h"
#include "state/shared_state.h"

namespace brisel::canvas {

void NoteChanged(const PixelRect& r) {
  if (r.empty()) return;
  Pyramid::MarkChanged(r);  // the zoomed-out redraws' levels follow the planes
  ChangedSinceSend.box = Union(ChangedSinceSend.box, r);
  ChangedSinceRecord.box = Union(ChangedSinceRecord.box, r);
}

void NoteWholeImageChanged() {
  ChangedSinceSend.wholeImage = true;
  ChangedSinceRecord.wholeImage = true;
  Pyramid::MarkAllChanged();
}

namespace {

PixelRect WithinImage(const ChangedArea& c) {
  const int32_t w = std::max(ImageWidth, 0), h = std::max(ImageHeight, 0);
  const PixelRect image{0, 0, w, h};
  return c.wholeImage ? Intersection(image, image) : Intersection(c.box, image);
}

}  // namespace

PixelRect ChangedBoxToSend() { return WithinImage(ChangedSinceSend); }

PixelRect TakeChangedSinceRecord() {
  const PixelRect box = WithinImage(ChangedSinceRecord);
  ChangedSinceRecord = ChangedArea();
  return box;
}

void ForgetChanges() {
  ChangedSinceSend = ChangedArea();
  ChangedSinceRecord = ChangedArea();
}

}  // namespace brisel::canvas
