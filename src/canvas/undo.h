#pragma once
// The program's own undo history: rectangles of the image planes, newest restored first, and the redo history
// of the steps undone since the last change. The program keeps one (TheHistory).

#include <cstdint>
#include <deque>
#include <functional>

#include "canvas/rectangles.h"
#include "canvas/refusal.h"
#include "platform/byte_plane.h"

namespace brisel::canvas {

// One undo step: the three blocks of a rectangle of the image, and where it came from.
// Block (j, i) holds plane pixel (left + j, top + i).
struct UndoStep {
  BytePlane blue, green, red;
  int32_t top = 0, left = 0;
};

struct UndoSaved {
  Refusals refused;  // empty when the step was saved
  explicit operator bool() const { return refused.empty(); }
};

class History {
 public:
  static constexpr int32_t kDefaultUndoLimit = 256;
  // The budget when the host's settings name none: a quarter of the machine's memory, at most 8 GiB (1 GiB
  // where the system does not tell its memory).
  static uint64_t DefaultUndoMemoryBudget();

  History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Both histories empty, nothing kept aside for a clear, the default limit and budget and no allocation hook:
  // the history as at process start.
  void Reset();

  // Saves the image under r, clipped to the image, as one undo step; a rectangle wholly outside the image
  // saves nothing. The rectangle joins the box of what changed since the last send (canvas/changed_box.h):
  // callers change the planes only inside it.
  // A saved step ends the redo history. The histories keep at most undoLimit() + 1 steps together and, beyond
  // the newest, only as many as fit in undoMemoryBudget(): the oldest go first. Answers false, with the
  // refusal for the user, when the step could not be allocated: the history is as it was, and the caller must
  // leave the image untouched.
  [[nodiscard]] UndoSaved Save(const PixelRect& r);

  // The same for the whole image when the caller is about to write every pixel of the planes (a clear): the
  // planes themselves become the step, and the planes (and, between strokes, the display copy, which then
  // comes back with the step's undo) are replaced by planes of the same size whose pixels are undefined: the
  // caller writes every pixel of both. Answers false, with the refusal and nothing changed, when the step
  // cannot be made. strokeUncommitted: a stroke's preview is in the display copy, which is then no copy of
  // the image.
  [[nodiscard]] UndoSaved SaveUndoImageToReplace(bool strokeUncommitted);

  // Writes the newest step back into the image and refreshes the display copy over the step's rectangle
  // (nothing else changed); the rectangle joins the box of what changed since the last send and is answered,
  // for the caller to show. The pixels it replaced become the newest redo step. Nothing to undo: nothing
  // happens, and an empty answer. strokeUncommitted as for SaveUndoImageToReplace.
  PixelRect UndoLastStep(bool strokeUncommitted);
  // The same for the newest redo step: the image becomes exactly what it was before that undo, and the
  // pixels the redo replaced become the newest undo step again. Nothing to redo: nothing happens.
  PixelRect RedoLastStep(bool strokeUncommitted);

  // The host holds other pixels than the image inside box after a send (its own edits meanwhile, a
  // selection's feather, a grey layer's conversion): where mask is non-zero, the image takes held's red,
  // green and blue (each plane box-sized). The histories follow, so that undoing or redoing a step that never
  // changed such a pixel leaves it as the host holds it; a step that did change it still brings back its own
  // value. Not a change of the program's: nothing joins the box of what changed since the last send, and the
  // redo history stays. Answers the rectangle whose pixels changed, for the caller to show.
  PixelRect TakeHostPixels(const PixelRect& box, const BytePlane (&held)[3], const BytePlane& mask);

  // Lets the oldest step of the histories go, to free memory for something that cannot be done without it
  // (a send, a recovery copy): the oldest undo step, or with none left the redo step farthest from the image,
  // and the planes kept aside for the next clear with it. The image is untouched. Returns false when there
  // was no step to let go.
  bool LetOldestUndoStepGo();

  // Bytes held by the steps' blocks of both histories: 3 x width x height each.
  uint64_t UndoStackBytes() const;

  // The undo steps, oldest first, and the redo steps, the next to redo last.
  const std::deque<UndoStep>& undoStack() const { return undoStack_; }
  const std::deque<UndoStep>& redoStack() const { return redoStack_; }
  // At most undoLimit() + 1 steps are held (start-up sets it).
  int32_t undoLimit() const { return undoLimit_; }
  void SetUndoLimit(int32_t limit) { undoLimit_ = limit; }
  // Bytes the steps' blocks of both histories may hold together: beyond it the oldest steps go, though never
  // the newest, whatever its size. Start-up sets it from the host's settings.
  uint64_t undoMemoryBudget() const { return undoMemoryBudget_; }
  void SetUndoMemoryBudget(uint64_t bytes) { undoMemoryBudget_ = bytes; }

  // Test seam: runs with a step's byte count just before its blocks are allocated, and may throw
  // std::bad_alloc as the allocation would. Empty: none.
  void SetAllocationHook(std::function<void(uint64_t bytes)> hook);

 private:
  void LetSparesGo();
  void DropRedo();
  void ForgetStep(const UndoStep& step);
  void TrimHistory();
  PixelRect ExchangeNewest(std::deque<UndoStep>& from, std::deque<UndoStep>& to, bool strokeUncommitted);

  std::deque<UndoStep> undoStack_;  // oldest first
  std::deque<UndoStep> redoStack_;  // each holds the pixels its undo replaced
  int32_t undoLimit_ = kDefaultUndoLimit;
  uint64_t undoMemoryBudget_;
  // The planes an undo of a whole-image step put aside, kept for the next whole-image replacement (a clear),
  // so that a clear and its undo reuse the same memory instead of asking the system for fresh pages each time.
  BytePlane spare_[3];
  BytePlane spareView_[3];
  // The display copy as it was when the newest step, a clear, took the planes (it was the image then, so it
  // is that step's pixels): its undo puts it back instead of copying the step into the display copy. Only for
  // the newest step: any other step made after it lets it go, as a new step lets the spare planes go.
  BytePlane stepView_[3];
  const uint8_t* stepViewOf_ = nullptr;  // that step's red block
  std::function<void(uint64_t)> allocationHook_;
};

// The program's one history. Start-up and the program's reset (app/) put it back to its start.
History& TheHistory();

}  // namespace brisel::canvas
