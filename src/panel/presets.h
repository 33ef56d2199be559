#pragma once
// The four brush presets on the panel's second row, a radio group.

#include <cstdint>

namespace brisel::Form2 {

// Presets: act on the press, with any mouse button; the arguments are not used.
void vx_button6_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button7_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button8_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
void vx_button9_MouseDown(int16_t Button, int16_t Shift, float X, float Y);

}  // namespace brisel::Form2
