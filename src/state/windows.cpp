#include "state/windows.h"

#include <memory>

namespace brisel {
namespace {

std::unique_ptr<platform::Form> gForm1, gForm2, gMenus;
WindowWiring gWiring;

}  // namespace

void SetWindowWiring(const WindowWiring& wiring) { gWiring = wiring; }

platform::Form& Form1Window() {
  if (!gForm1) {
    gForm1 = std::make_unique<platform::Form>();
    if (gWiring.canvas) gWiring.canvas(*gForm1);
  }
  return *gForm1;
}

platform::Form& Form2Window() {
  if (!gForm2) {
    gForm2 = std::make_unique<platform::Form>();
    if (gWiring.panel) gWiring.panel(*gForm2);
  }
  return *gForm2;
}

bool Form2Exists() { return gForm2 != nullptr; }

platform::Form& MenusWindow() {
  if (!gMenus) gMenus = std::make_unique<platform::Form>();
  return *gMenus;
}

void DestroyWindows() {
  if (gWiring.beforeDestroy) gWiring.beforeDestroy();
  // Owned windows go first: their toolkit objects are children of the canvas's.
  gMenus.reset();
  gForm2.reset();
  gForm1.reset();
}

}  // namespace brisel
