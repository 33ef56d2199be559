#pragma once
// The program's three windows, each one instance created on first use: the canvas Form1, the tool panel
// Form2 and Menus, which is never shown and owns the blend-mode menu. Their handlers are the top's
// (app/window_handlers.h), which gives them here before any window is made.

#include "platform/window.h"

namespace brisel {

platform::Form& Form1Window();
platform::Form& Form2Window();
platform::Form& MenusWindow();
bool Form2Exists();

// Destroys all three (before the toolkit shuts down, and between tests), after `beforeDestroy` has let go
// of what is bound to them.
void DestroyWindows();

// What a new canvas or panel window is given (its handlers, menus and pointer), and what goes before the
// windows are destroyed; set by the top. Unset, a window is made bare.
struct WindowWiring {
  void (*canvas)(platform::Form&) = nullptr;
  void (*panel)(platform::Form&) = nullptr;
  void (*beforeDestroy)() = nullptr;
};
void SetWindowWiring(const WindowWiring& wiring);

}  // namespace brisel
