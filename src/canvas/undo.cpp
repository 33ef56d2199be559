// The undo stack: each step holds one rectangle of the three image planes.

#include "canvas/undo.h"

#include <algorithm>
#include <cmath>

#include "app/shared_state.h"
#include "canvas/changed_box.h"
#include "canvas/display_bitmap.h"
#include "canvas/rectangles.h"

namespace brisel {

void SortPair(float& a, float& b) {
  if (a > b) std::swap(a, b);
}

void SaveUndoRect(float x1, float y1, float x2, float y2) {
  const PixelRect r = NormaliseRect(x1, y1, x2, y2);
  if (r.empty()) return;
  // Every change of the planes saves its rectangle here first, so the box of what changed grows here too.
  NoteChanged(r);
  const int32_t w = r.x2 - r.x1, h = r.y2 - r.y1;
  // At most UndoLimit + 1 steps are kept: the oldest goes once more than UndoLimit are held.
  if (int32_t(UndoStack.size()) > UndoLimit) UndoStack.pop_front();
  UndoStep step{BytePlane(w, h), BytePlane(w, h), BytePlane(w, h), r.y1, r.x1};
  for (int32_t i = 0; i < h; ++i) {
    std::copy_n(&PlaneR(r.x1, r.y1 + i), w, step.red.row(i));
    std::copy_n(&PlaneG(r.x1, r.y1 + i), w, step.green.row(i));
    std::copy_n(&PlaneB(r.x1, r.y1 + i), w, step.blue.row(i));
  }
  UndoStack.push_back(std::move(step));
}

void UndoLastStep() {
  if (UndoStack.empty()) return;
  const UndoStep step = std::move(UndoStack.back());
  UndoStack.pop_back();
  NoteChanged({step.left, step.top, step.left + step.red.width(), step.top + step.red.height()});
  for (int32_t i = 0; i < step.red.height(); ++i) {
    std::copy_n(step.red.row(i), step.red.width(), &PlaneR(step.left, step.top + i));
    std::copy_n(step.green.row(i), step.green.width(), &PlaneG(step.left, step.top + i));
    std::copy_n(step.blue.row(i), step.blue.width(), &PlaneB(step.left, step.top + i));
  }
  ViewR = PlaneR;
  ViewG = PlaneG;
  ViewB = PlaneB;
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 0, 0, ImageWidth - 1, ImageHeight - 1);
}

}  // namespace brisel
