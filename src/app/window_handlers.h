#pragma once
// The windows' handlers wired to them: the canvas's mouse, key, pen and paint handlers and its menus, the
// tool panel's controls, the canvas's keys on the panel too, and what the view changes of the canvas's frame.

namespace brisel::app {

// Gives the windows their handlers (state/windows.h) and the view the canvas's frame (canvas/window_frame.h)
// from now on; the program's start-up and the tests' main call it before any window is made.
void WireWindowHandlers();

}  // namespace brisel::app
