#pragma once
// The box of the image planes changed since the last send, so that a send can tell the host where to look
// and a host need not compare the whole picture. Every change of the planes passes through the undo history
// (History::Save before a stroke's commit, a clear or a fetch; UndoLastStep for the step it writes back),
// which grows the box here; the host link empties it once a send has gone through. The image pyramid of the
// zoomed-out redraws (canvas/pyramid.h) hears of every change here too.

#include "canvas/rectangles.h"

namespace brisel::canvas {

// Adds r (whole image pixels, far corner exclusive) to the box; an empty r adds nothing.
void NoteChanged(const PixelRect& r);
// The whole picture changed (a clear, a fetch from the host), whatever its size when next sent.
void NoteWholeImageChanged();
// The box to send, within the picture as it is now; all 0 when nothing changed.
PixelRect ChangedBoxToSend();
// The box changed since the recovery journal last took it, within the picture; taken, it is empty.
PixelRect TakeChangedSinceRecord();
// The host holds the planes as they are now (and so does the recovery journal, which starts over).
void ForgetChanges();

}  // namespace brisel::canvas
