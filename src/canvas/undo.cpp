// The undo stack: each step holds one rectangle of the three image planes.

#include "canvas/undo.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "app/shared_state.h"
#include "canvas/changed_box.h"
#include "canvas/display_bitmap.h"
#include "canvas/rectangles.h"
#include "platform/native.h"
#include "platform/window.h"

namespace brisel {
namespace {

std::function<void(uint64_t)> gAllocationHook;

uint64_t StepBytes(const UndoStep& step) { return 3 * uint64_t(step.red.size()); }

}  // namespace

void SortPair(float& a, float& b) {
  if (a > b) std::swap(a, b);
}

uint64_t DefaultUndoMemoryBudget() {
  constexpr uint64_t kGiB = uint64_t(1) << 30;
  const uint64_t physical = native::PhysicalMemoryBytes();
  return physical == 0 ? kGiB : std::min(physical / 4, 8 * kGiB);
}

uint64_t UndoStackBytes() {
  uint64_t bytes = 0;
  for (const UndoStep& step : UndoStack) bytes += StepBytes(step);
  return bytes;
}

void SetUndoAllocationHook(std::function<void(uint64_t bytes)> hook) { gAllocationHook = std::move(hook); }

bool SaveUndoRect(float x1, float y1, float x2, float y2) {
  const PixelRect r = NormaliseRect(x1, y1, x2, y2);
  if (r.empty()) return true;
  const int32_t w = r.x2 - r.x1, h = r.y2 - r.y1;
  // The new step is made and appended before any old one goes, so that a step that cannot be made leaves
  // the history whole; the budget may be passed by this one step meanwhile.
  try {
    if (gAllocationHook) gAllocationHook(3 * uint64_t(w) * uint64_t(h));
    UndoStep step{BytePlane(w, h), BytePlane(w, h), BytePlane(w, h), r.y1, r.x1};
    for (int32_t i = 0; i < h; ++i) {
      std::copy_n(&PlaneR(r.x1, r.y1 + i), w, step.red.row(i));
      std::copy_n(&PlaneG(r.x1, r.y1 + i), w, step.green.row(i));
      std::copy_n(&PlaneB(r.x1, r.y1 + i), w, step.blue.row(i));
    }
    UndoStack.push_back(std::move(step));
  } catch (const std::bad_alloc&) {
    platform::ShowMessage(kProgramName, "Not enough memory to keep this change for undo (" + std::to_string(w) +
                                            " x " + std::to_string(h) + " pixels): it was not made.");
    return false;
  }
  // At most UndoLimit + 1 steps are kept, and the older ones only while they fit in the budget beside the
  // newest, which stays whatever its size.
  if (int64_t(UndoStack.size()) > int64_t(UndoLimit) + 1) UndoStack.pop_front();
  uint64_t held = UndoStackBytes();
  while (UndoStack.size() > 1 && held > UndoMemoryBudget) {
    held -= StepBytes(UndoStack.front());
    UndoStack.pop_front();
  }
  // Every change of the planes saves its rectangle here first, so the box of what changed grows here too.
  NoteChanged(r);
  return true;
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
