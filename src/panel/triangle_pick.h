#pragma once
// The colour triangle's box Picker: its paint and its pick. A pick ends by setting the Red, Green and Blue
// sliders, whose change behaviour updates the paint colour and redraws.

#include <cstdint>

namespace brisel::panel {

// 255 while a triangle pick is setting the sliders, else 0: GetHSV then keeps ColorHue, so the triangle
// keeps its hue when a grey, white or black is picked from it.
extern int32_t TrianglePicking;

}  // namespace brisel::panel

namespace brisel::Form2 {

// The backdrop, then the triangle.
void Picker_Paint();
// Triangle pick while a button is held: the colour the triangle shows under the pointer, if the pointer is
// on the triangle's mask.
void Picker_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form2
