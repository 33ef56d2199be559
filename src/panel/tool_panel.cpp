// The tool panel's window: building it, its load, and the controls other windows reach.

#include "panel/tool_panel.h"

#include <memory>

#include "link/host_link.h"
#include "panel/colour_swatch.h"
#include "panel/colour_triangle.h"
#include "panel/hue_strip.h"
#include "panel/mode_menu.h"
#include "panel/panel_buttons.h"
#include "panel/presets.h"
#include "panel/sliders.h"
#include "panel/theme.h"
#include "panel/triangle_pick.h"
#include "panel/wallpaper.h"
#include "state/windows.h"

namespace brisel::panel {
namespace {

// The controls of the current panel window. A new window (after DestroyWindows) gets new controls.
std::unique_ptr<Controls> gPanel;

void Connect(Controls& p) {
  p.HProp1.Change = Form2::HProp1_Change;
  p.HProp2.Change = Form2::HProp2_Change;
  p.HProp3.Change = Form2::HProp3_Change;
  p.HProp4.Change = Form2::HProp4_Change;
  p.HProp5.Change = Form2::HProp5_Change;
  p.HProp6.Change = Form2::HProp6_Change;
  p.HProp7.Change = Form2::HProp7_Change;
  p.HProp8.Change = Form2::HProp8_Change;

  p.vx_button6.MouseDown = Form2::vx_button6_MouseDown;
  p.vx_button7.MouseDown = Form2::vx_button7_MouseDown;
  p.vx_button8.MouseDown = Form2::vx_button8_MouseDown;
  p.vx_button9.MouseDown = Form2::vx_button9_MouseDown;
  p.vx_pte_button15.Click = Form2::vx_pte_button15_Click;

  p.vx_button1.Click = Form2::vx_button1_Click;
  p.vx_button2.Click = Form2::vx_button2_Click;
  p.vx_button3.Click = Form2::vx_button3_Click;
  p.vx_button4.Click = Form2::vx_button4_Click;
  p.vx_button5.Click = Form2::vx_button5_Click;
  p.vx_button11.Click = Form2::vx_button11_Click;
  p.vx_button12.Click = Form2::vx_button12_Click;
  p.vx_button13.MouseDown = Form2::vx_button13_MouseDown;
  p.vx_button13.MouseMove = Form2::vx_button13_MouseMove;
  p.vx_button13.MouseUp = Form2::vx_button13_MouseUp;
  p.vx_button14.MouseDown = Form2::vx_button14_MouseDown;
  p.vx_button14.MouseMove = Form2::vx_button14_MouseMove;
  p.vx_button14.MouseUp = Form2::vx_button14_MouseUp;

  p.Picker.MouseMove = Form2::Picker_MouseMove;
  p.Picker.Paint = Form2::Picker_Paint;
  p.Picture1.MouseMove = Form2::Picture1_MouseMove;
}

}  // namespace

void Attach(platform::Form& form) {
  gPanel.reset();
  form.SetCaption(kCaption);
  platform::SetFixedClientSize(form, kClientWidth, kClientHeight);
  // Design colour; the host theme's pass gives the panel its own.
  form.SetBackColor(kDesignBackColor);
  form.FillBox(0, 0, kClientWidth - 1, kClientHeight - 1, kDesignBackColor);
  gPanel = std::make_unique<Controls>(form);
  Connect(*gPanel);
  form.Load = Form2::Form_Load;
  form.QueryUnload = Form2::Form_QueryUnload;
  form.Paint = Form2::Form_Paint;
}

Controls& Panel() {
  if (!gPanel || !Form2Exists()) Form2Window();
  return *gPanel;
}

platform::HProp& HProp1() { return Panel().HProp1; }
platform::HProp& HProp2() { return Panel().HProp2; }
platform::HProp& HProp3() { return Panel().HProp3; }
platform::HProp& HProp4() { return Panel().HProp4; }
platform::HProp& HProp5() { return Panel().HProp5; }
platform::HProp& HProp6() { return Panel().HProp6; }
platform::HProp& HProp7() { return Panel().HProp7; }
platform::HProp& HProp8() { return Panel().HProp8; }
platform::VxButton& vx_pte_button15() { return Panel().vx_pte_button15; }

void DeactivateButtons() {
  Controls& p = Panel();
  p.vx_button6.SetValue(false);
  p.vx_button7.SetValue(false);
  p.vx_button8.SetValue(false);
  p.vx_button9.SetValue(false);
}

}  // namespace brisel::panel

namespace brisel::Form2 {

void Form_Load() {
  panel::PrefsCallback(Form2Window());
  panel::SetColor();
  TriPicker::DrawTriangleMask();
  panel::NameHostInTips(panel::Panel(), link::HostName());
  panel::LoadWallpaper(Form2Window());  // a failure skips only this step
  Picture1_Paint();
  TriPicker::DrawTriangle();
}

void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode) {
  if (UnloadMode != platform::Form::kCloseButton) return;
  Cancel = -1;
  Form2Window().Hide();
  Form1Window().SetFocus();
}

}  // namespace brisel::Form2
