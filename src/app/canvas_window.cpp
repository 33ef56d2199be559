#include "app/canvas_window.h"

#include <cstdio>
#include <string>

#include "app/canvas_stroke.h"
#include "app/canvas_tablet.h"
#include "app/keys.h"
#include "app/recovery.h"
#include "app/startup.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/view_turn.h"
#include "link/host_link.h"
#include "panel/tool_panel.h"
#include "platform/window.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::Form1 {
namespace {

// What Form_Unload does after the send-back (or in place of it): free the bitmap, close the tablet,
// unload the menu owner and the tool panel.
void ReleaseWindows() {
  Dibs::FreeDib();
  app::CloseTablet();
  if (MenusWindow().loaded()) MenusWindow().Close();
  if (Form2Exists() && Form2Window().loaded()) Form2Window().Close();
}

// A failure at close: the painting is kept in a recovery copy first, and the question names it (on standard
// error too, where a question may not be seen). Empty, or a line ending in "\r".
std::string RecoveryNote() {
  const std::string note = app::KeepRecoveryCopy();
  if (note.empty()) return {};
  std::fprintf(stderr, "brisel: %s\n", note.c_str());
  return note + "\r";
}

// The user chose to keep the canvas: the tool panel comes back beside it.
void KeepCanvasOpen(int16_t& Cancel) {
  Cancel = -1;
  if (Form2Exists()) Form2Window().ShowOwnedBy(Form1Window());
}

}  // namespace

void Form_Load() {
  platform::Form& canvas = Form1Window();
  canvas.SetCaption(AppCaption);
  app::CanvasStroke().StrokePoints.assign(stroke::kStrokePointsLast + 1, stroke::StrokePoint{0, 0, 0});
  canvas.SetClientSizeOnScreen(ImageWidth, ImageHeight);
  Form2Window().ShowOwnedBy(canvas);
  // The brush starts as the panel's sliders were designed.
  BrushPress = float(panel::HProp8().value());
  BrushSize = float(panel::HProp1().value());
  BrushOpacity = float(panel::HProp5().value());
  BrushStep = float(panel::HProp6().value());
  link::Tell(canvas::displaybuffers(canvas));
  app::OpenTablet();  // sets the pen values to their start and TabletPresent to whether a tablet opened
}

void Form_Unload(int16_t& Cancel) {
  std::string failure;
  try {
    const int32_t width = platform::ToLong(link::CallHost("Tarn_BufferWidth"));
    const int32_t height = platform::ToLong(link::CallHost("Tarn_BufferHeight"));
    if (width != ImageWidth || height != ImageHeight) {
      // A layer or document gone from the host reports 0 x 0: the host's own sentence says what happened.
      const std::string gone = link::PictureGone();
      const auto answer = platform::AskYesNo(
          kProgramName, (gone.empty() ? "" : gone + "\r") + "Can't copy buffer back to " + link::HostName() +
                            " because the buffer size has changed\r" + RecoveryNote() + "Loose all changes?");
      if (answer == platform::MessageBoxAnswer::Yes) {
        Cancel = 0;
        // The panel and the menu owner close with their owner, so that the program ends.
        if (MenusWindow().loaded()) MenusWindow().Close();
        if (Form2Exists() && Form2Window().loaded()) Form2Window().Close();
      } else {
        KeepCanvasOpen(Cancel);
      }
      return;
    }
    if (!link::SendBackUnlessRefused()) {
      KeepCanvasOpen(Cancel);
      return;
    }
  } catch (const Error& e) {
    failure = "Can't copy buffer back to " + link::HostName() + " (error " + std::to_string(e.number()) + ": " +
              e.text() + ")";
  }
  if (!failure.empty()) {
    // Closing would drop the painting without it ever reaching the host: ask, as for a changed size.
    const auto answer = platform::AskYesNo(kProgramName, failure + "\r" + RecoveryNote() + "Loose all changes?");
    if (answer == platform::MessageBoxAnswer::No) {
      KeepCanvasOpen(Cancel);
      return;
    }
  }
  ReleaseWindows();
}

void Form_Paint() { link::Tell(canvas::RepaintImage(Form1Window())); }

void GetPaperMenu_Click() { link::GetPaperFromTarnwick(); }

void ToolPanelMenu_Click() { Form2Window().ShowOwnedBy(Form1Window()); }

void KeysMenu_Click() { Keys::ShowKeysWindow(); }

}  // namespace brisel::Form1

namespace brisel::app {

void ToggleToolPanel() {
  if (!Form2Window().visible()) {
    Form1::ToolPanelMenu_Click();
    return;
  }
  Form2Window().Hide();
  Form1Window().SetFocus();  // the keys come to the canvas again, Tab included
}

void ShowViewInCaption(platform::Form& canvas) {
  if (canvas.visible()) canvas.SetCaption(AppCaption + canvas::ViewCaption());
}

void FitCanvasToPicture(platform::Form& canvas) {
  if (canvas.windowState() == platform::WindowState::Normal) canvas.SetClientSizeOnScreen(ImageWidth, ImageHeight);
}

}  // namespace brisel::app
