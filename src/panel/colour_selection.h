#pragma once
// The tool panel's colour selection: hue, saturation and value bookkeeping, the hue strip Picture1 and the
// picks on the strip and on the triangle Picker. Every pick ends by setting the Red, Green and Blue
// sliders, whose change behaviour updates the paint colour and calls back here to redraw.

#include <cstdint>

namespace brisel::Form2 {

// 255 while a triangle pick is setting the sliders, else 0: GetHSV then keeps ColorHue, so the triangle
// keeps its hue when a grey, white or black is picked from it.
extern int32_t TrianglePicking;

// ColorHue (degrees, rounded), ColorSat and ColorVal (x 255, rounded) from PaintRed, PaintGreen and
// PaintBlue; ColorHue only while no triangle pick runs.
void GetHSV();

// The hue strip: every column its pure hue, and a white bar 5 pixels wide centred on ColorHue.
void Picture1_Paint();
// Hue pick while a button is held: the current saturation and value at the hue under the pointer.
void Picture1_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

// The triangle box's paint: the backdrop, then the triangle.
void Picker_Paint();
// Triangle pick while a button is held: the colour the triangle shows under the pointer, if the pointer is
// on the triangle's mask.
void Picker_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form2
