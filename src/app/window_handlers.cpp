#include "app/window_handlers.h"

#include "app/canvas_input.h"
#include "app/canvas_stroke.h"
#include "app/canvas_tablet.h"
#include "app/canvas_window.h"
#include "app/keys.h"
#include "app/pressure_window.h"
#include "canvas/window_frame.h"
#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "state/windows.h"

namespace brisel::app {
namespace {

void AttachForm1(platform::Form& form) {
  form.UseScreenPixels();  // a picture at 100 % zoom is never resampled, at a fractional desktop scale too
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
  form.Turn = Form1::Form_Turn;
  form.Deactivate = Form1::Form_Deactivate;
  form.SetMousePointer(platform::MousePointer::Crosshair);  // the painting pointer; comma shows the arrow
  form.AddMenuItem("Options", "Get paper", Form1::GetPaperMenu_Click);
  form.AddMenuItem("Options", "Tool panel", Form1::ToolPanelMenu_Click);
  form.AddMenuItem("Options", "Pressure curve...", app::ShowPressureWindow);
  form.AddMenuItem("Help", "Keys and mouse", Form1::KeysMenu_Click);
}

// The panel hands its keys to the canvas's handlers, so that they work whichever window has the focus.
void AttachForm2(platform::Form& form) {
  panel::SetTipWithKeys(Keys::WithKeys);
  panel::Attach(form);
  form.KeyDown = Form1::Form_KeyDown;
  form.KeyUp = Form1::Form_KeyUp;
  form.KeyPress = Form1::Form_KeyPress;
  form.Deactivate = Form1::Form_Deactivate;
}

// What is bound to the windows goes before them: the tablet (bound to the canvas) and the keys window.
void BeforeDestroy() {
  app::CloseTablet();
  Keys::DestroyKeysWindow();
  app::DestroyPressureWindow();
}

}  // namespace

void WireWindowHandlers() {
  SetWindowWiring({AttachForm1, AttachForm2, BeforeDestroy});
  canvas::SetFrameWiring({ShowViewInCaption, FitCanvasToPicture});
  Form2::SetStrokeUncommittedQuery([] { return app::CanvasStroke().StrokeUncommitted; });
}

}  // namespace brisel::app
