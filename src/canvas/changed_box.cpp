#include "canvas/changed_box.h"

#include <algorithm>

#include "app/shared_state.h"
#include "canvas/pyramid.h"

namespace brisel {

void NoteChanged(const PixelRect& r) {
  if (r.empty()) return;
  Pyramid::MarkChanged(r);  // the zoomed-out redraws' levels follow the planes
  ChangedArea& c = ChangedSinceSend;
  if (c.x1 >= c.x2 || c.y1 >= c.y2) {
    c.x1 = r.x1, c.y1 = r.y1, c.x2 = r.x2, c.y2 = r.y2;
    return;
  }
  c.x1 = std::min(c.x1, r.x1);
  c.y1 = std::min(c.y1, r.y1);
  c.x2 = std::max(c.x2, r.x2);
  c.y2 = std::max(c.y2, r.y2);
}

void NoteWholeImageChanged() {
  ChangedSinceSend.wholeImage = true;
  Pyramid::MarkAllChanged();
}

PixelRect ChangedBoxToSend() {
  const ChangedArea& c = ChangedSinceSend;
  const int32_t w = std::max(ImageWidth, 0), h = std::max(ImageHeight, 0);
  PixelRect box = c.wholeImage ? PixelRect{0, 0, w, h} : PixelRect{c.x1, c.y1, c.x2, c.y2};
  box.x1 = std::clamp(box.x1, 0, w);
  box.x2 = std::clamp(box.x2, 0, w);
  box.y1 = std::clamp(box.y1, 0, h);
  box.y2 = std::clamp(box.y2, 0, h);
  return box.empty() ? PixelRect{} : box;
}

void ForgetChanges() { ChangedSinceSend = ChangedArea(); }

}  // namespace brisel
