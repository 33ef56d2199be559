#pragma once
// The program's three windows, each one instance created on first use: the canvas Form1, the tool panel
// Form2 and Menus, which is never shown and owns the blend-mode menu.

#include "platform/window.h"

namespace brisel {

platform::Form& Form1Window();
platform::Form& Form2Window();
platform::Form& MenusWindow();
bool Form2Exists();

// Destroys all three (before the toolkit shuts down, and between tests).
void DestroyWindows();

}  // namespace brisel
