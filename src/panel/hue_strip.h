#pragma once
// The hue strip Picture1 and its pick. A pick ends by setting the Red, Green and Blue sliders, whose change
// behaviour updates the paint colour and redraws.

#include <cstdint>

namespace brisel::Form2 {

// Every column its pure hue, and a white bar 5 pixels wide centred on ColorHue.
void Picture1_Paint();
// Hue pick while a button is held: the current saturation and value at the hue under the pointer.
void Picture1_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form2
