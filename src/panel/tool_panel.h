#pragma once
// The tool panel Form2: brush sliders, presets, view and image buttons, colour controls.

#include <cstdint>
#include <string>

#include "platform/controls.h"
#include "platform/window.h"

namespace brisel::panel {

inline constexpr const char* kCaption = "Brisel Tools";
inline constexpr int32_t kClientWidth = 141, kClientHeight = 490;
// The panel's design back colour; the host theme replaces it.
inline constexpr platform::Color kDesignBackColor = 0x808080;
// Label text, designed and themed alike (no setting feeds it): near-black reads on the design grey, on the
// theme's grey-blue back (contrast about 5 : 1) and on the light wallpapers hosts ship.
inline constexpr platform::Color kLabelColor = 0x202020;

// Every control of the panel by its design name, laid out as designed (panel_layout.cpp).
struct Controls {
  explicit Controls(platform::Form& form);

  // Presets (a radio group of two-state buttons), left to right: Pen, Water brush, Ink, Gel brush.
  platform::VxButton vx_button8, vx_button9, vx_button6, vx_button7;
  // View: pan, zoom, 100 %, fit.
  platform::VxButton vx_button13, vx_button14, vx_button11, vx_button12;
  // Image: get from the host, send to the host, undo, clear.
  platform::VxButton vx_button3, vx_button4, vx_button1, vx_button2;
  // Brush sliders: Size, Press, Opacity, Step, Paper.
  platform::HProp HProp1, HProp8, HProp5, HProp6, HProp7;
  platform::VxButton vx_pte_button15;           // Mode
  platform::VxButton vx_button5, vx_button10;   // primary and secondary colour swatches
  platform::PictureBox Picker, Picture2, Picture1;  // colour triangle, its hidden hit mask, hue strip
  // Colour sliders: Red, Green, Blue.
  platform::HProp HProp2, HProp3, HProp4;
  platform::Label Label1, Label8, Label5, Label6, Label7, mode_label, Label9, Label10, Label11, Label2, Label3,
      Label4;
  // Image1, the hidden holder of the panel wallpaper, comes with the host theme.
  // Etched separators: dark lines Line4, Line2, Line8, Line5, each with a light one 2 pixels below.
  platform::Line Line4, Line3, Line2, Line1, Line8, Line7, Line5, Line6;
};

// Builds the panel's controls on its window and connects its handlers (called once, by Form2Window()).
void Attach(platform::Form& form);

// How a button's tip names the keys that run its handler, " (kbd shortcut: Ctrl+Z or u)" after it: set by
// the top from its key table (app/keys.h) before the panel is built; unset, the tip alone.
using TipWithKeys = std::string (*)(const std::string& tip, void (*action)());
void SetTipWithKeys(TipWithKeys tipWithKeys);

// The get and send buttons' tips name host ("Get image from GIMP"); built naming "the host", and named by
// the panel's load after the host's own name.
void NameHostInTips(Controls& panel, const std::string& host);

// The panel's controls; the panel window is made on first use.
Controls& Panel();

// The controls other windows use.
platform::HProp& HProp1();  // Size
platform::HProp& HProp2();  // Red
platform::HProp& HProp3();  // Green
platform::HProp& HProp4();  // Blue
platform::HProp& HProp5();  // Opacity
platform::HProp& HProp6();  // Step
platform::HProp& HProp7();  // Paper
platform::HProp& HProp8();  // Press
platform::VxButton& vx_pte_button15();  // Mode

// Lets every preset button up (vx_button6, 7, 8, 9 in that order): the radio group's whole logic.
void DeactivateButtons();

}  // namespace brisel::panel

// ---- the panel's load (its controls' handlers: sliders.h, panel_buttons.h, colour_swatch.h,
// hue_strip.h, triangle_pick.h, presets.h, mode_menu.h) ----------------------------------------------

namespace brisel::Form2 {

void Form_Load();
// The close button of the panel's window hides it: the panel lives as long as the canvas, and Tab or the
// canvas's "Tool panel" item brings it back where it was. The program's own close unloads it.
void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode);

}  // namespace brisel::Form2
