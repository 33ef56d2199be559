// The tool panel as designed: every control's place (client pixels: left, top, width, height), its text,
// tooltip, picture and design values. Handlers are connected afterwards (tool_panel.cpp), so the design
// values set here run no change behaviour: the colour sliders show 1 while the paint colour stays black.

#include "panel/tool_panel.h"

#include <string>

#include "panel/panel_buttons.h"

namespace brisel::panel {
namespace {

TipWithKeys gTipWithKeys = nullptr;

std::string WithKeys(const std::string& tip, void (*action)()) { return gTipWithKeys ? gTipWithKeys(tip, action) : tip; }

using platform::Color;
using platform::HProp;
using platform::Icon;
using platform::Label;
using platform::VxButton;

constexpr Color kSliderBack = 0x9E958F;
constexpr Color kSliderFore = 0xE0E0E0;
constexpr Color kSeparatorDark = 0x404040;
constexpr Color kSeparatorLight = 0xC0C0C0;
constexpr int32_t kLineRight = 142;  // the separators run a pixel past the client's right edge

void IconButton(VxButton& button, Icon icon, const std::string& tip) {
  button.SetPicture(icon);
  button.SetToolTip(tip);
}

void Preset(VxButton& button, Icon icon, const char* tip) {
  IconButton(button, icon, tip);
  button.SetButtonType(1);
}

// min and max are stored as text; nullptr leaves the control's own default.
void Slider(HProp& slider, double value, const char* min, const char* max) {
  if (min) slider.SetMin(min);
  if (max) slider.SetMax(max);
  slider.SetValue(value);
  slider.SetBackColor(kSliderBack);
  slider.SetForeColor(kSliderFore);
}

void Caption(Label& label, const char* text) {
  label.SetCaption(text);
  label.SetFont("Arial", 11);
  label.SetForeColor(kLabelColor);
}

}  // namespace

Controls::Controls(platform::Form& form)
    : vx_button8(form, 8, 8, 29, 29),
      vx_button9(form, 40, 8, 29, 29),
      vx_button6(form, 72, 8, 29, 29),
      vx_button7(form, 104, 8, 29, 29),
      vx_button13(form, 8, 40, 29, 29),
      vx_button14(form, 40, 40, 29, 29),
      vx_button11(form, 72, 40, 29, 29),
      vx_button12(form, 104, 40, 29, 29),
      vx_button3(form, 8, 72, 29, 29),
      vx_button4(form, 40, 72, 29, 29),
      vx_button1(form, 72, 72, 29, 29),
      vx_button2(form, 104, 72, 29, 29),
      HProp1(form, 50, 118, 80, 18),
      HProp8(form, 50, 140, 80, 18),
      HProp5(form, 50, 162, 80, 18),
      HProp6(form, 50, 184, 80, 18),
      HProp7(form, 50, 206, 80, 18),
      vx_pte_button15(form, 50, 232, 83, 19),
      vx_button5(form, 50, 262, 33, 25),
      vx_button10(form, 96, 264, 33, 25),
      Picker(form, 50, 296, 81, 81),
      Picture2(form, 54, 300, 81, 81),
      Picture1(form, 50, 386, 81, 19),
      HProp2(form, 50, 422, 80, 18),
      HProp3(form, 50, 444, 80, 18),
      HProp4(form, 50, 466, 80, 18),
      Label1(form, 4, 118, 40, 19),
      Label8(form, 4, 140, 40, 19),
      Label5(form, 4, 162, 40, 19),
      Label6(form, 4, 184, 40, 19),
      Label7(form, 4, 206, 40, 19),
      mode_label(form, 4, 232, 40, 19),
      Label9(form, 4, 268, 40, 19),
      Label10(form, 4, 324, 40, 35),
      Label11(form, 4, 386, 40, 19),
      Label2(form, 4, 422, 40, 19),
      Label3(form, 4, 446, 40, 19),
      Label4(form, 4, 468, 40, 19),
      Line4(form, 0, 0, kLineRight, 0, kSeparatorDark),
      Line3(form, 0, 2, kLineRight, 2, kSeparatorLight),
      Line2(form, 0, 106, kLineRight, 106, kSeparatorDark),
      Line1(form, 0, 108, kLineRight, 108, kSeparatorLight),
      Line8(form, 0, 254, kLineRight, 254, kSeparatorDark),
      Line7(form, 0, 256, kLineRight, 256, kSeparatorLight),
      Line5(form, 0, 412, kLineRight, 412, kSeparatorDark),
      Line6(form, 0, 414, kLineRight, 414, kSeparatorLight) {
  Preset(vx_button8, Icon::Pen, "Pen");
  Preset(vx_button9, Icon::WaterBrush, "Water brush");
  Preset(vx_button6, Icon::InkPot, "Ink");
  Preset(vx_button7, Icon::GelBlob, "Gel brush");
  vx_button8.SetValue(true);

  IconButton(vx_button13, Icon::Hand, "Pan around dynamically (kbd shortcut: ctrl-shift + Left mouse button)");
  IconButton(vx_button14, Icon::NestedSquares,
             "Zoom in-out dynamically (kbd shortcut: ctrl-shift + right mouse button)");
  vx_button13.SetMousePointer(platform::MousePointer::SizeAll);
  vx_button14.SetMousePointer(platform::MousePointer::SizeAll);
  // The buttons that have keys name them after their design tip (SetTipWithKeys).
  IconButton(vx_button11, Icon::Magnifier100, WithKeys("Show As Is, at 100% zoom", Form2::vx_button11_Click));
  IconButton(vx_button12, Icon::FourArrows,
             WithKeys("Fit to Window: shrink or expand, but keep aspect ratio", Form2::vx_button12_Click));

  vx_button3.SetPicture(Icon::WindowOut);
  vx_button4.SetPicture(Icon::WindowIn);
  NameHostInTips(*this, "the host");
  IconButton(vx_button1, Icon::LeftArrow, WithKeys("Undo (restore prior step)", Form2::vx_button1_Click));
  IconButton(vx_button2, Icon::Cross, "Clear");

  Slider(HProp1, 2, "1", "32");
  Slider(HProp8, 255, "1", "255");
  Slider(HProp5, 255, "1", "255");
  Slider(HProp6, 15, nullptr, nullptr);
  Slider(HProp7, HProp7.value(), nullptr, "255");
  Slider(HProp2, 1, "1", "255");
  Slider(HProp3, 1, "1", "255");
  Slider(HProp4, 1, "1", "255");

  vx_pte_button15.SetCaption("Mode");
  vx_pte_button15.SetTag("Setting");

  vx_button5.SetBackColor(platform::RGB(0, 0, 0));
  vx_button5.SetGradient(1.1);
  vx_button5.SetToolTip("primary (paint) color");
  vx_button10.SetBackColor(platform::RGB(255, 255, 255));
  vx_button10.SetGradient(1.1);
  vx_button10.SetToolTip("secondary (erase) color");

  // The colour triangle, its hit mask and the hue strip are drawn by the colour selection; until then
  // they are plain boxes of the panel's colour.
  for (platform::PictureBox* box : {&Picker, &Picture2, &Picture1}) box->SetBackColor(kDesignBackColor);
  Picture2.SetVisible(false);

  Caption(Label1, "Size");
  Caption(Label8, "Press");
  Caption(Label5, "Opacity");
  Caption(Label6, "Step");
  Caption(Label7, "Paper");
  Caption(mode_label, "Mode");
  Caption(Label9, "Colors");
  Label9.SetToolTip("Brisel has 2 colors: one to draw with, another to clear with");
  Caption(Label10, "Color triangle");
  Caption(Label11, "Hue");
  Caption(Label2, "Red");
  Caption(Label3, "Green");
  Caption(Label4, "Blue");
}

void SetTipWithKeys(TipWithKeys tipWithKeys) { gTipWithKeys = tipWithKeys; }

void NameHostInTips(Controls& panel, const std::string& host) {
  panel.vx_button3.SetToolTip("Get image from " + host);
  panel.vx_button4.SetToolTip(WithKeys("Send image to " + host, Form2::vx_button4_Click));
}

}  // namespace brisel::panel
