#pragma once
// The tool panel Form2: brush sliders, presets, view and image buttons, colour controls.

#include <cstdint>

#include "platform/controls.h"
#include "platform/window.h"

namespace brisel::Form2 {

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

// ---- the panel's procedures and handlers -------------------------------------------------------------

void Form_Load();

// The primary swatch vx_button5 shows (PaintRed, PaintGreen, PaintBlue), each rounded.
void SetColor();

// Lets every preset button up (vx_button6, 7, 8, 9 in that order): the radio group's whole logic.
void DeactivateButtons();

// Slider change behaviour: each writes its brush variable from the slider's value.
void HProp1_Change();
void HProp2_Change();
void HProp3_Change();
void HProp4_Change();
void HProp5_Change();
void HProp6_Change();
void HProp7_Change();
void HProp8_Change();

// Presets: act on the press, with any mouse button; the arguments are not used.
void vx_button6_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button7_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button8_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button9_MouseDown(int16_t Button, int16_t Shift, float X, float Y);

// The Mode button: the blend-mode menu at the pointer.
void vx_pte_button15_Click();

// Image commands.
void vx_button1_Click();  // undo
void vx_button2_Click();  // clear to white, as one undo step
void vx_button3_Click();  // get the image from the host
void vx_button4_Click();  // send the image to the host
void vx_button5_Click();  // the primary swatch: nothing
void vx_button11_Click();  // 100 %
void vx_button12_Click();  // fit to window
void vx_button13_MouseDown(int16_t Button, int16_t Shift, float X, float Y);  // pan by dragging
void vx_button13_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
void vx_button13_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
void vx_button14_MouseDown(int16_t Button, int16_t Shift, float X, float Y);  // zoom by dragging
void vx_button14_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
void vx_button14_MouseUp(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form2
