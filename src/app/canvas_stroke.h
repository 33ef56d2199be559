#pragma once
// The stroke the canvas paints, owned by its handlers, and what each event hands the stroke engine: the
// surface of the program's planes and the brush as the tool panel set it, read anew per event.

#include "canvas/refusal.h"
#include "stroke/stroke.h"
#include "stroke/surface.h"

namespace brisel::app {

stroke::Stroke& CanvasStroke();
stroke::Surface CanvasSurface();
stroke::compositing::Brush CanvasBrush();
// A commit's undo step in the canvas's history, and the mask and display copy put back after it.
stroke::CommitHooks& CanvasCommitHooks();

// The canvas's stroke committed (stroke::CommitStroke): what its release would do.
canvas::Changed CommitCanvasStroke();

// The stroke as at process start, for the program's reset.
void ResetCanvasStroke();

}  // namespace brisel::app
