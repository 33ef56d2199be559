#pragma once
// The program's own undo history: rectangles of the image planes, newest restored first.

#include <cstdint>
#include <functional>

namespace brisel {

// Puts a into the smaller and b into the larger of the two.
void SortPair(float& a, float& b);

// Saves the image under the rectangle (x1, y1)-(x2, y2), image pixels, both corners inclusive, as one
// undo step; a rectangle wholly outside the image saves nothing. The rectangle joins the box of what changed
// since the last send (canvas/changed_box.h): callers change the planes only inside it.
// The history keeps at most UndoLimit + 1 steps and, beyond the newest, only as many as fit in
// UndoMemoryBudget: the oldest go first. Returns false when the step could not be allocated: the user has
// been told, the history is as it was, and the caller must leave the image untouched.
[[nodiscard]] bool SaveUndoRect(float x1, float y1, float x2, float y2);

// Writes the newest step back into the image, refreshes the display copy and the canvas; the step's rectangle
// joins the box of what changed since the last send.
void UndoLastStep();

// The budget when the host's settings name none: a quarter of the machine's memory, at most 8 GiB (1 GiB
// where the system does not tell its memory).
uint64_t DefaultUndoMemoryBudget();

// Bytes held by the steps' blocks: 3 x width x height each.
uint64_t UndoStackBytes();

// Test seam: runs with a step's byte count just before its blocks are allocated, and may throw
// std::bad_alloc as the allocation would. Empty: none.
void SetUndoAllocationHook(std::function<void(uint64_t bytes)> hook);

}  // namespace brisel
