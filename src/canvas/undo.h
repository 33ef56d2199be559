#pragma once
// The program's own undo history: rectangles of the image planes, newest restored first.

namespace brisel {

// Puts a into the smaller and b into the larger of the two.
void SortPair(float& a, float& b);

// Saves the image under the rectangle (x1, y1)-(x2, y2), image pixels, both corners inclusive, as one
// undo step; a rectangle wholly outside the image saves nothing. The rectangle joins the box of what changed
// since the last send (canvas/changed_box.h): callers change the planes only inside it.
void SaveUndoRect(float x1, float y1, float x2, float y2);

// Writes the newest step back into the image, refreshes the display copy and the canvas; the step's rectangle
// joins the box of what changed since the last send.
void UndoLastStep();

}  // namespace brisel
