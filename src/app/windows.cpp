#include "app/windows.h"

#include <memory>

#include "app/startup.h"
#include "canvas/display.h"
#include "canvas/navigation.h"
#include "panel/tool_panel.h"
#include "app/canvas_input.h"
#include "app/canvas_tablet.h"
#include "app/canvas_window.h"
#include "app/keys.h"

namespace brisel {
namespace {

std::unique_ptr<platform::Form> gForm1, gForm2, gMenus;

void AttachForm1(platform::Form& form) {
  form.Load = Form1::Form_Load;
  form.Unload = Form1::Form_Unload;
  form.Paint = Form1::Form_Paint;
  form.MouseDown = Form1::Form_MouseDown;
  form.MouseMove = Form1::Form_MouseMove;
  form.MouseUp = Form1::Form_MouseUp;
  form.KeyDown = Form1::Form_KeyDown;
  form.KeyUp = Form1::Form_KeyUp;
  form.KeyPress = Form1::Form_KeyPress;
  form.MouseWheel = Form1::Form_MouseWheel;
  form.Pinch = Form1::Form_Pinch;
  form.Deactivate = Form1::Form_Deactivate;
  form.SetMousePointer(platform::MousePointer::Crosshair);  // the painting pointer; comma shows the arrow
  form.AddMenuItem("Options", "Get paper", Form1::GetPaperMenu_Click);
  form.AddMenuItem("Options", "Tool panel", Form1::ToolPanelMenu_Click);
  form.AddMenuItem("Help", "Keys and mouse", Form1::KeysMenu_Click);
}

// The panel hands its keys to the canvas's handlers, so that they work whichever window has the focus.
void AttachForm2(platform::Form& form) {
  Form2::Attach(form);
  form.KeyDown = Form1::Form_KeyDown;
  form.KeyUp = Form1::Form_KeyUp;
  form.KeyPress = Form1::Form_KeyPress;
  form.Deactivate = Form1::Form_Deactivate;
}

}  // namespace

platform::Form& Form1Window() {
  if (!gForm1) {
    gForm1 = std::make_unique<platform::Form>();
    AttachForm1(*gForm1);
  }
  return *gForm1;
}

platform::Form& Form2Window() {
  if (!gForm2) {
    gForm2 = std::make_unique<platform::Form>();
    AttachForm2(*gForm2);
  }
  return *gForm2;
}

bool Form2Exists() { return gForm2 != nullptr; }

platform::Form& MenusWindow() {
  if (!gMenus) gMenus = std::make_unique<platform::Form>();
  return *gMenus;
}

void DestroyWindows() {
  Form1::CloseTablet();  // the tablet is bound to the canvas
  // Owned windows go first: their toolkit objects are children of the canvas's.
  Keys::DestroyKeysWindow();
  gMenus.reset();
  gForm2.reset();
  gForm1.reset();
}

}  // namespace brisel
