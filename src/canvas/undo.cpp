// The undo stack: each step holds one rectangle of the three image planes.

#include "canvas/undo.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "canvas/changed_box.h"
#include "canvas/display.h"
#include "canvas/rectangles.h"
#include "platform/native.h"
#include "state/shared_state.h"

namespace brisel::canvas {
namespace {

std::function<void(uint64_t)> gAllocationHook;

uint64_t StepBytes(const UndoStep& step) { return 3 * uint64_t(step.red.size()); }

// The planes an undo of a whole-image step put aside, kept for the next whole-image replacement (a clear), so
// that a clear and its undo reuse the same memory instead of asking the system for fresh pages each time.
BytePlane gSpare[3];
BytePlane gSpareView[3];
// The display copy as it was when the newest step, a clear, took the planes (it was the image then, so it is
// that step's pixels): its undo puts it back instead of copying the step into the display copy. Only for
// the newest step: any other step made after it lets it go, as a new step lets the spare planes go.
BytePlane gStepView[3];
const uint8_t* gStepViewOf = nullptr;  // that step's red block

void LetSparesGo() {
  for (BytePlane* p : {&gSpare[0], &gSpare[1], &gSpare[2], &gSpareView[0], &gSpareView[1], &gSpareView[2],
                       &gStepView[0], &gStepView[1], &gStepView[2]})
    *p = BytePlane();
  gStepViewOf = nullptr;
}

bool WholePlanes(int32_t w, int32_t h) {
  for (const BytePlane* p : {&PlaneR, &PlaneG, &PlaneB})
    if (p->width() != w || p->height() != h) return false;
  return true;
}

bool WholeViews(int32_t w, int32_t h) {
  for (const BytePlane* p : {&ViewR, &ViewG, &ViewB})
    if (p->width() != w || p->height() != h) return false;
  return true;
}

// A spare plane of w x h if one is kept, else a new one.
BytePlane SpareOr(BytePlane& spare, int32_t w, int32_t h) {
  if (spare.width() == w && spare.height() == h && spare.size() == size_t(w) * size_t(h)) return std::move(spare);
  return BytePlane(w, h);
}

// A change ends the redo history. Its steps of the whole image (an undone clear or fetch) leave their planes,
// and the display copy set aside with one, as the spares of the next clear.
void DropRedo() {
  for (UndoStep& step : RedoStack) {
    if (step.red.data() == gStepViewOf && gStepViewOf != nullptr) {
      for (int k = 0; k < 3; ++k) gSpareView[k] = std::move(gStepView[k]);
      gStepViewOf = nullptr;
    }
    if (step.left == 0 && step.top == 0 && WholePlanes(step.red.width(), step.red.height())) {
      gSpare[0] = std::move(step.red);
      gSpare[1] = std::move(step.green);
      gSpare[2] = std::move(step.blue);
    }
  }
  RedoStack.clear();
}

void ForgetStep(const UndoStep& step) {
  if (gStepViewOf != nullptr && step.red.data() == gStepViewOf) LetSparesGo();
}

// At most UndoLimit + 1 steps are kept, and the older ones only while they fit in the budget beside the
// newest, which stays whatever its size.
// Both histories share the budget; after a change the redo history is empty, and an undo or a redo moves a
// step from one to the other at its size, so only a change can pass the budget.
void TrimHistory() {
  if (int64_t(UndoStack.size() + RedoStack.size()) > int64_t(UndoLimit) + 1 && UndoStack.size() > 1) {
    ForgetStep(UndoStack.front());
    UndoStack.pop_front();
  }
  uint64_t held = UndoStackBytes();
  while (UndoStack.size() > 1 && held > UndoMemoryBudget) {
    held -= StepBytes(UndoStack.front());
    ForgetStep(UndoStack.front());
    UndoStack.pop_front();
  }
}

// The newest step of `from` goes onto `to` with the image's pixels in its place: the image takes the step's
// pixels, and the step keeps those it replaced, so that it now does again what was just undone (or undoes
// again what was just redone). The exchange needs no memory of its own.
PixelRect ExchangeNewest(std::deque<UndoStep>& from, std::deque<UndoStep>& to, bool strokeUncommitted) {
  if (from.empty()) return {};
  UndoStep step = std::move(from.back());
  from.pop_back();
  const int32_t w = step.red.width(), h = step.red.height();
  const PixelRect r{step.left, step.top, step.left + w, step.top + h};
  bool viewDone = false;
  if (step.left == 0 && step.top == 0 && WholePlanes(w, h)) {
    // A step of the whole planes (a clear, a fetch) trades places with the planes.
    std::swap(PlaneR, step.red);
    std::swap(PlaneG, step.green);
    std::swap(PlaneB, step.blue);
    // The display copy set aside with it (a clear's) trades places with the display copy the same way, and
    // stays with the step, which now holds what the display copy showed.
    if (gStepViewOf == PlaneR.data() && gStepViewOf != nullptr && !strokeUncommitted && WholeViews(w, h)) {
      std::swap(ViewR, gStepView[0]);
      std::swap(ViewG, gStepView[1]);
      std::swap(ViewB, gStepView[2]);
      viewDone = true;
    }
    gStepViewOf = viewDone ? step.red.data() : nullptr;
  } else {
    for (int32_t i = 0; i < h; ++i) {
      std::swap_ranges(step.red.row(i), step.red.row(i) + w, &PlaneR(step.left, step.top + i));
      std::swap_ranges(step.green.row(i), step.green.row(i) + w, &PlaneG(step.left, step.top + i));
      std::swap_ranges(step.blue.row(i), step.blue.row(i) + w, &PlaneB(step.left, step.top + i));
    }
  }
  to.push_back(std::move(step));
  // Only the step's rectangle changed: the display copy follows there, and the caller shows it.
  NoteChanged(r);
  if (!viewDone) SyncView(r);
  return r;
}

UndoSaved Refused(int32_t w, int32_t h) {
  return {{{"Not enough memory to keep this change for undo (" + std::to_string(w) + " x " + std::to_string(h) +
            " pixels): it was not made."}}};
}

}  // namespace

uint64_t UndoStackBytes() {
  uint64_t bytes = 0;
  for (const UndoStep& step : UndoStack) bytes += StepBytes(step);
  for (const UndoStep& step : RedoStack) bytes += StepBytes(step);
  return bytes;
}

void SetUndoAllocationHook(std::function<void(uint64_t bytes)> hook) { gAllocationHook = std::move(hook); }

UndoSaved SaveUndoRect(const PixelRect& rect) {
  const PixelRect r = Intersection(rect, {0, 0, ImageWidth, ImageHeight});
  if (r.empty()) return {};
  const int32_t w = r.x2 - r.x1, h = r.y2 - r.y1;
  // The new step is made and appended before any old one goes, so that a step that cannot be made leaves
  // the history whole; the budget may be passed by this one step meanwhile.
  try {
    if (gAllocationHook) gAllocationHook(3 * uint64_t(w) * uint64_t(h));
    LetSparesGo();  // another kind of step: the memory kept for clears goes
    if (r.x1 == 0 && r.y1 == 0 && WholePlanes(w, h)) {
      // The whole image (a fetch): the planes are copied as they are, without filling the blocks first.
      UndoStack.push_back(UndoStep{PlaneB, PlaneG, PlaneR, 0, 0});
    } else {
      UndoStep step{BytePlane(w, h), BytePlane(w, h), BytePlane(w, h), r.y1, r.x1};
      for (int32_t i = 0; i < h; ++i) {
        std::copy_n(&PlaneR(r.x1, r.y1 + i), w, step.red.row(i));
        std::copy_n(&PlaneG(r.x1, r.y1 + i), w, step.green.row(i));
        std::copy_n(&PlaneB(r.x1, r.y1 + i), w, step.blue.row(i));
      }
      UndoStack.push_back(std::move(step));
    }
  } catch (const std::bad_alloc&) {
    return Refused(w, h);
  }
  RedoStack.clear();  // a change ends the redo history
  TrimHistory();
  // Every change of the planes saves its rectangle here first, so the box of what changed grows here too.
  NoteChanged(r);
  return {};
}

UndoSaved SaveUndoImageToReplace(bool strokeUncommitted) {
  const int32_t w = ImageWidth, h = ImageHeight;
  if (w <= 0 || h <= 0 || !WholePlanes(w, h)) return SaveUndoRect({0, 0, w, h});
  try {
    if (gAllocationHook) gAllocationHook(3 * uint64_t(w) * uint64_t(h));
    DropRedo();  // a change ends the redo history, whose whole-image steps become the spares used here
    BytePlane next[3], nextView[3];
    for (int k = 0; k < 3; ++k) next[k] = SpareOr(gSpare[k], w, h);
    // Between strokes the display copy is the image: it is set aside with the step, to come back with it.
    const bool viewToo = !strokeUncommitted && WholeViews(w, h);
    if (viewToo)
      for (int k = 0; k < 3; ++k) nextView[k] = SpareOr(gSpareView[k], w, h);
    UndoStack.push_back(UndoStep{std::move(PlaneB), std::move(PlaneG), std::move(PlaneR), 0, 0});
    PlaneR = std::move(next[0]);
    PlaneG = std::move(next[1]);
    PlaneB = std::move(next[2]);
    gStepViewOf = nullptr;
    if (viewToo) {
      gStepView[0] = std::move(ViewR), ViewR = std::move(nextView[0]);
      gStepView[1] = std::move(ViewG), ViewG = std::move(nextView[1]);
      gStepView[2] = std::move(ViewB), ViewB = std::move(nextView[2]);
      gStepViewOf = UndoStack.back().red.data();
    }
  } catch (const std::bad_alloc&) {
    return Refused(w, h);
  }
  TrimHistory();
  NoteChanged({0, 0, w, h});
  return {};
}

bool LetOldestUndoStepGo() {
  LetSparesGo();
  // The redo history, too, has its next step at the back: the front is the one a redo would reach last.
  std::deque<UndoStep>& from = UndoStack.empty() ? RedoStack : UndoStack;
  if (from.empty()) return false;
  from.pop_front();
  return true;
}

PixelRect TakeHostPixels(const PixelRect& box, const BytePlane (&held)[3], const BytePlane& mask) {
  const PixelRect area = Intersection(box, {0, 0, ImageWidth, ImageHeight});
  if (area.empty() || !WholePlanes(ImageWidth, ImageHeight)) return {};
  for (const BytePlane* p : {&held[0], &held[1], &held[2], &mask})
    if (!p->covers(box.width(), box.height())) return {};
  BytePlane* planes[3] = {&PlaneR, &PlaneG, &PlaneB};
  // The pixels that take the host's value, by their place in area, and what the image held there before.
  const int32_t w = area.width(), h = area.height();
  const auto at = [&](int32_t x, int32_t y) { return size_t(y - area.y1) * size_t(w) + size_t(x - area.x1); };
  std::vector<uint8_t> taking(size_t(w) * size_t(h));
  std::vector<uint8_t> was[3];
  for (auto& plane : was) plane.resize(taking.size());
  PixelRect taken{};
  for (int32_t y = area.y1; y < area.y2; ++y)
    for (int32_t x = area.x1; x < area.x2; ++x) {
      if (mask(x - box.x1, y - box.y1) == 0) continue;
      const size_t i = at(x, y);
      for (int c = 0; c < 3; ++c) {
        uint8_t& pixel = (*planes[c])(x, y);
        const uint8_t value = held[c](x - box.x1, y - box.y1);
        was[c][i] = pixel;
        taking[i] |= pixel != value;
        pixel = value;
      }
      if (taking[i]) taken = Union(taken, {x, y, x + 1, y + 1});
    }
  if (taken.empty()) return {};
  // Where a step never changed a pixel, it holds what the image held around it: the image's value before
  // now, `was`. Those values become the host's. The first step that did change the pixel keeps its own, and
  // so do the steps beyond it: they are the program's history there, not the host's. Both histories start at
  // the image, at their backs: undo at its newest step, redo at the next one to redo.
  for (std::deque<UndoStep>* steps : {&UndoStack, &RedoStack}) {
    std::vector<uint8_t> open = taking;
    for (auto step = steps->rbegin(); step != steps->rend(); ++step) {
      const PixelRect r{step->left, step->top, step->left + step->red.width(), step->top + step->red.height()};
      const PixelRect shared = Intersection(r, taken);
      bool patched = false;
      for (int32_t y = shared.y1; y < shared.y2; ++y)
        for (int32_t x = shared.x1; x < shared.x2; ++x) {
          const size_t i = at(x, y);
          if (!open[i]) continue;
          uint8_t* values[3] = {&step->red(x - r.x1, y - r.y1), &step->green(x - r.x1, y - r.y1),
                                &step->blue(x - r.x1, y - r.y1)};
          if (*values[0] != was[0][i] || *values[1] != was[1][i] || *values[2] != was[2][i]) {
            open[i] = 0;
            continue;
          }
          for (int c = 0; c < 3; ++c) *values[c] = held[c](x - box.x1, y - box.y1);
          patched = true;
        }
      // A clear's display copy, set aside with it, no longer matches it: its undo syncs the view instead.
      if (patched && gStepViewOf != nullptr && step->red.data() == gStepViewOf) LetSparesGo();
    }
  }
  SyncView(taken);
  return taken;
}

PixelRect UndoLastStep(bool strokeUncommitted) { return ExchangeNewest(UndoStack, RedoStack, strokeUncommitted); }

PixelRect RedoLastStep(bool strokeUncommitted) { return ExchangeNewest(RedoStack, UndoStack, strokeUncommitted); }

}  // namespace brisel::canvas
