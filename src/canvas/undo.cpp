// The undo history: each step holds one rectangle of the three image planes.

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

uint64_t StepBytes(const UndoStep& step) { return 3 * uint64_t(step.red.size()); }

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

UndoSaved Refused(int32_t w, int32_t h) {
  return {{{"Not enough memory to keep this change for undo (" + std::to_string(w) + " x " + std::to_string(h) +
            " pixels): it was not made."}}};
}

}  // namespace

uint64_t History::DefaultUndoMemoryBudget() {
  constexpr uint64_t kGiB = uint64_t(1) << 30;
  const uint64_t physical = native::PhysicalMemoryBytes();
  return physical == 0 ? kGiB : std::min(physical / 4, 8 * kGiB);
}

History::History() : undoMemoryBudget_(DefaultUndoMemoryBudget()) {}

void History::Reset() {
  undoStack_.clear();
  redoStack_.clear();
  undoLimit_ = kDefaultUndoLimit;
  undoMemoryBudget_ = DefaultUndoMemoryBudget();
  LetSparesGo();
  allocationHook_ = nullptr;
}

History& TheHistory() {
  static History history;
  return history;
}

void History::LetSparesGo() {
  for (BytePlane* p : {&spare_[0], &spare_[1], &spare_[2], &spareView_[0], &spareView_[1], &spareView_[2],
                       &stepView_[0], &stepView_[1], &stepView_[2]})
    *p = BytePlane();
  stepViewOf_ = nullptr;
}

// A change ends the redo history. Its steps of the whole image (an undone clear or fetch) leave their planes,
// and the display copy set aside with one, as the spares of the next clear.
void History::DropRedo() {
  for (UndoStep& step : redoStack_) {
    if (step.red.data() == stepViewOf_ && stepViewOf_ != nullptr) {
      for (int k = 0; k < 3; ++k) spareView_[k] = std::move(stepView_[k]);
      stepViewOf_ = nullptr;
    }
    if (step.left == 0 && step.top == 0 && WholePlanes(step.red.width(), step.red.height())) {
      spare_[0] = std::move(step.red);
      spare_[1] = std::move(step.green);
      spare_[2] = std::move(step.blue);
    }
  }
  redoStack_.clear();
}

void History::ForgetStep(const UndoStep& step) {
  if (stepViewOf_ != nullptr && step.red.data() == stepViewOf_) LetSparesGo();
}

// At most undoLimit_ + 1 steps are kept, and the older ones only while they fit in the budget beside the
// newest, which stays whatever its size.
// Both histories share the budget; after a change the redo history is empty, and an undo or a redo moves a
// step from one to the other at its size, so only a change can pass the budget.
void History::TrimHistory() {
  if (int64_t(undoStack_.size() + redoStack_.size()) > int64_t(undoLimit_) + 1 && undoStack_.size() > 1) {
    ForgetStep(undoStack_.front());
    undoStack_.pop_front();
  }
  uint64_t held = UndoStackBytes();
  while (undoStack_.size() > 1 && held > undoMemoryBudget_) {
    held -= StepBytes(undoStack_.front());
    ForgetStep(undoStack_.front());
    undoStack_.pop_front();
  }
}

// The newest step of `from` goes onto `to` with the image's pixels in its place: the image takes the step's
// pixels, and the step keeps those it replaced, so that it now does again what was just undone (or undoes
// again what was just redone). The exchange needs no memory of its own.
PixelRect History::ExchangeNewest(std::deque<UndoStep>& from, std::deque<UndoStep>& to, bool strokeUncommitted) {
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
    if (stepViewOf_ == PlaneR.data() && stepViewOf_ != nullptr && !strokeUncommitted && WholeViews(w, h)) {
      std::swap(ViewR, stepView_[0]);
      std::swap(ViewG, stepView_[1]);
      std::swap(ViewB, stepView_[2]);
      viewDone = true;
    }
    stepViewOf_ = viewDone ? step.red.data() : nullptr;
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

uint64_t History::UndoStackBytes() const {
  uint64_t bytes = 0;
  for (const UndoStep& step : undoStack_) bytes += StepBytes(step);
  for (const UndoStep& step : redoStack_) bytes += StepBytes(step);
  return bytes;
}

void History::SetAllocationHook(std::function<void(uint64_t bytes)> hook) { allocationHook_ = std::move(hook); }

UndoSaved History::Save(const PixelRect& rect) {
  const PixelRect r = Intersection(rect, {0, 0, ImageWidth, ImageHeight});
  if (r.empty()) return {};
  const int32_t w = r.x2 - r.x1, h = r.y2 - r.y1;
  // The new step is made and appended before any old one goes, so that a step that cannot be made leaves
  // the history whole; the budget may be passed by this one step meanwhile.
  try {
    if (allocationHook_) allocationHook_(3 * uint64_t(w) * uint64_t(h));
    LetSparesGo();  // another kind of step: the memory kept for clears goes
    if (r.x1 == 0 && r.y1 == 0 && WholePlanes(w, h)) {
      // The whole image (a fetch): the planes are copied as they are, without filling the blocks first.
      undoStack_.push_back(UndoStep{PlaneB, PlaneG, PlaneR, 0, 0});
    } else {
      UndoStep step{BytePlane(w, h), BytePlane(w, h), BytePlane(w, h), r.y1, r.x1};
      for (int32_t i = 0; i < h; ++i) {
        std::copy_n(&PlaneR(r.x1, r.y1 + i), w, step.red.row(i));
        std::copy_n(&PlaneG(r.x1, r.y1 + i), w, step.green.row(i));
        std::copy_n(&PlaneB(r.x1, r.y1 + i), w, step.blue.row(i));
      }
      undoStack_.push_back(std::move(step));
    }
  } catch (const std::bad_alloc&) {
    return Refused(w, h);
  }
  redoStack_.clear();  // a change ends the redo history
  TrimHistory();
  // Every change of the planes saves its rectangle here first, so the box of what changed grows here too.
  NoteChanged(r);
  return {};
}

UndoSaved History::SaveUndoImageToReplace(bool strokeUncommitted) {
  const int32_t w = ImageWidth, h = ImageHeight;
  if (w <= 0 || h <= 0 || !WholePlanes(w, h)) return Save({0, 0, w, h});
  try {
    if (allocationHook_) allocationHook_(3 * uint64_t(w) * uint64_t(h));
    DropRedo();  // a change ends the redo history, whose whole-image steps become the spares used here
    BytePlane next[3], nextView[3];
    for (int k = 0; k < 3; ++k) next[k] = SpareOr(spare_[k], w, h);
    // Between strokes the display copy is the image: it is set aside with the step, to come back with it.
    const bool viewToo = !strokeUncommitted && WholeViews(w, h);
    if (viewToo)
      for (int k = 0; k < 3; ++k) nextView[k] = SpareOr(spareView_[k], w, h);
    undoStack_.push_back(UndoStep{std::move(PlaneB), std::move(PlaneG), std::move(PlaneR), 0, 0});
    PlaneR = std::move(next[0]);
    PlaneG = std::move(next[1]);
    PlaneB = std::move(next[2]);
    stepViewOf_ = nullptr;
    if (viewToo) {
      stepView_[0] = std::move(ViewR), ViewR = std::move(nextView[0]);
      stepView_[1] = std::move(ViewG), ViewG = std::move(nextView[1]);
      stepView_[2] = std::move(ViewB), ViewB = std::move(nextView[2]);
      stepViewOf_ = undoStack_.back().red.data();
    }
  } catch (const std::bad_alloc&) {
    return Refused(w, h);
  }
  TrimHistory();
  NoteChanged({0, 0, w, h});
  return {};
}

bool History::LetOldestUndoStepGo() {
  LetSparesGo();
  // The redo history, too, has its next step at the back: the front is the one a redo would reach last.
  std::deque<UndoStep>& from = undoStack_.empty() ? redoStack_ : undoStack_;
  if (from.empty()) return false;
  from.pop_front();
  return true;
}

PixelRect History::TakeHostPixels(const PixelRect& box, const BytePlane (&held)[3], const BytePlane& mask) {
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
  for (std::deque<UndoStep>* steps : {&undoStack_, &redoStack_}) {
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
      if (patched && stepViewOf_ != nullptr && step->red.data() == stepViewOf_) LetSparesGo();
    }
  }
  SyncView(taken);
  return taken;
}

PixelRect History::UndoLastStep(bool strokeUncommitted) {
  return ExchangeNewest(undoStack_, redoStack_, strokeUncommitted);
}

PixelRect History::RedoLastStep(bool strokeUncommitted) {
  return ExchangeNewest(redoStack_, undoStack_, strokeUncommitted);
}

}  // namespace brisel::canvas
