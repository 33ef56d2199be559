#pragma once
// The windows' handlers wired to them: the canvas's mouse, key, pen and paint handlers and its menus, the
// tool panel's controls, and the canvas's keys on the panel too.

namespace brisel::app {

// Gives the windows their handlers (state/windows.h) from now on; the program's start-up and the tests'
// main call it before any window is made.
void WireWindowHandlers();

}  // namespace brisel::app
