#pragma once
// The canvas window's redraws.

namespace brisel::Form1 {

// Full redraw: the margins around the image in the window's back colour, then the committed image.
void displaybuffers();
// The window system asks for the image again (the margins are not repainted).
void Form_Paint();

}  // namespace brisel::Form1
