#pragma once
// The program's own undo history: rectangles of the image planes, newest restored first, and the redo history
// of the steps undone since the last change.

#include <cstdint>
#include <functional>

#include "canvas/rectangles.h"
#include "canvas/refusal.h"
#include "platform/byte_plane.h"

namespace brisel::canvas {

// Saves the image under r, clipped to the image, as one undo step; a rectangle wholly outside the image
// saves nothing. The rectangle joins the box of what changed
// since the last send (canvas/changed_box.h): callers change the planes only inside it.
// A saved step ends the redo history. The histories keep at most UndoLimit + 1 steps together and, beyond
// the newest, only as many as fit in UndoMemoryBudget: the oldest go first. Answers false, with the refusal
// for the user, when the step could not be allocated: the history is as it was, and the caller must leave
// the image untouched.
struct UndoSaved {
  Refusals refused;  // empty when the step was saved
  explicit operator bool() const { return refused.empty(); }
};
[[nodiscard]] UndoSaved SaveUndoRect(const PixelRect& r);

// The same for the whole image when the caller is about to write every pixel of the planes (a clear): the
// planes themselves become the step, and the planes (and, between strokes, the display copy, which then comes
// back with the step's undo) are replaced by planes of the same size whose pixels are undefined: the caller
// writes every pixel of both. Answers false, with the refusal and nothing changed, when the step cannot be made.
// strokeUncommitted: a stroke's preview is in the display copy, which is then no copy of the image.
[[nodiscard]] UndoSaved SaveUndoImageToReplace(bool strokeUncommitted);

// Writes the newest step back into the image and refreshes the display copy over the step's rectangle
// (nothing else changed); the rectangle joins the box of what changed since the last send and is answered,
// for the caller to show. The pixels it replaced become the newest redo step. Nothing to undo: nothing
// happens, and an empty answer.
PixelRect UndoLastStep(bool strokeUncommitted);
// The same for the newest redo step: the image becomes exactly what it was before that undo, and the pixels
// the redo replaced become the newest undo step again. Nothing to redo: nothing happens.
PixelRect RedoLastStep(bool strokeUncommitted);

// The host holds other pixels than the image inside box after a send (its own edits meanwhile, a selection's
// feather, a grey layer's conversion): where mask is non-zero, the image takes held's red, green and blue
// (each plane box-sized). The histories follow, so that undoing or redoing a step that never changed such
// a pixel leaves it as the host holds it; a step that did change it still brings back its own value. Not a
// change of the program's: nothing joins the box of what changed since the last send, and the redo history
// stays. Answers the rectangle whose pixels changed, for the caller to show.
PixelRect TakeHostPixels(const PixelRect& box, const BytePlane (&held)[3], const BytePlane& mask);

// Lets the oldest step of the histories go, to free memory for something that cannot be done without it
// (a send, a recovery copy): the oldest undo step, or with none left the redo step farthest from the image,
// and the planes kept aside for the next clear with it. The image is untouched. Returns false when there
// was no step to let go.
bool LetOldestUndoStepGo();

// Bytes held by the steps' blocks of both histories: 3 x width x height each.
uint64_t UndoStackBytes();

// Test seam: runs with a step's byte count just before its blocks are allocated, and may throw
// std::bad_alloc as the allocation would. Empty: none.
void SetUndoAllocationHook(std::function<void(uint64_t bytes)> hook);

}  // namespace brisel::canvas
