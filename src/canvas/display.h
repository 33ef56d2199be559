#pragma once
// The canvas window's redraws, and the display copy ViewR/G/B kept in step with the image planes. The redraws
// draw on the canvas window their caller hands them.

#include "canvas/rectangles.h"
#include "canvas/refusal.h"
#include "platform/window.h"

namespace brisel::canvas {

// The display copy takes the image planes' pixels over r: between strokes it is the image, and a stroke's
// preview draws into it alone. A display copy of another size than the planes becomes a whole copy of them.
void SyncView(const PixelRect& r);

// Shows r again: redraws it on the canvas from the display copy, widened by the reach of the zoomed-out
// smoothing, so that every bitmap pixel that r's pixels feed is drawn again. The display copy is the image
// wherever the image changed (every change brings it along) and holds the stroke's preview besides, so one
// redraw shows both. The canvas's handlers gather what their event changed and call this once. Answers
// what the display could not draw, for the handler to say.
Refusals RedrawRect(platform::Form& canvas, const PixelRect& r);

// The committed image drawn again over the window, when the window system asks for it (the margins are not
// repainted).
Refusals RepaintImage(platform::Form& canvas);

// Lets the display bitmap and the image pyramid go: the canvas as at process start.
void ResetDisplay();

// Full redraw: the margins around the image in the window's back colour, then the committed image.
Refusals displaybuffers(platform::Form& canvas);

}  // namespace brisel::canvas
