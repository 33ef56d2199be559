#pragma once
// The panel's image and view commands: undo, clear, get and send the image, 100 %, fit, pan and zoom.

#include <cstdint>

namespace brisel::Form2 {

// Whether the canvas's stroke holds dabs no release has committed yet (its preview is in the display copy),
// which undo and clear must know; the canvas's handlers own the stroke, and the top hands the question here.
// Unset: never.
void SetStrokeUncommittedQuery(bool (*query)());

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
