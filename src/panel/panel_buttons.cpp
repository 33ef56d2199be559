// The image commands of the panel's third row, and the primary swatch's click.

#include "panel/panel_buttons.h"

#include "canvas/clear.h"
#include "canvas/display.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "panel/tool_panel.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::Form2 {
namespace {

bool (*gStrokeUncommitted)() = nullptr;
bool StrokeUncommitted() { return gStrokeUncommitted && gStrokeUncommitted(); }

}  // namespace

void SetStrokeUncommittedQuery(bool (*query)()) { gStrokeUncommitted = query; }

void vx_button1_Click() {
  link::Tell(canvas::RedrawRect(Form1Window(), canvas::TheHistory().UndoLastStep(StrokeUncommitted())));
}

// Clear: the whole image becomes one undo step first, so the clear can be undone; without that step the
// clear is refused.
void vx_button2_Click() {
  // The planes are taken as the step: clearbuffer writes every pixel.
  if (const canvas::UndoSaved saved = canvas::TheHistory().SaveUndoImageToReplace(StrokeUncommitted()); !saved) {
    link::Tell(saved.refused);
    return;
  }
  link::Tell(canvas::RedrawRect(Form1Window(), canvas::clearbuffer()));
}

void vx_button3_Click() { link::GetImageFromTarnwick(); }
void vx_button4_Click() { link::SendImageToTarnwick(); }

void vx_button5_Click() {}

void vx_button11_Click() { link::Tell(canvas::ShowAtActualSize(Form1Window())); }
void vx_button12_Click() { link::Tell(canvas::FitToWindow(Form1Window())); }

// The pan and zoom buttons drag the view: only the movement since the press counts, so positions within
// the button serve. The pan button keeps its mouse button (left pans, right zooms); the zoom button zooms
// with any. Only a drag moves the view, never the pointer passing over a button with none held.
void vx_button13_MouseDown(int16_t, int16_t, float X, float Y) { canvas::StartViewDrag(X, Y); }
void vx_button13_MouseMove(int16_t Button, int16_t, float X, float Y) {
  if (Button != 0) link::Tell(canvas::ViewDrag(Form1Window(), Button, X, Y));
}
void vx_button13_MouseUp(int16_t, int16_t, float, float) {}
void vx_button14_MouseDown(int16_t, int16_t, float X, float Y) { canvas::StartViewDrag(X, Y); }
void vx_button14_MouseMove(int16_t Button, int16_t, float X, float Y) {
  if (Button != 0) link::Tell(canvas::ViewDrag(Form1Window(), platform::buttons::kRight, X, Y));
}
void vx_button14_MouseUp(int16_t, int16_t, float, float) {}

}  // namespace brisel::Form2
