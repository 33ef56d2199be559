#pragma once
// The colour triangle on the tool panel's Picker box, and its hit mask in the hidden Picture2.
//
// Geometry, in box pixels, for a box of W x H: A = (0, 0) top left, B = (0, H) bottom left, C = (W, H / 2
// rounded half to even) the middle of the right edge. A is white, B black, C the pure hue of ColorHue;
// the colour in between is their linear blend.

namespace brisel::TriPicker {

// Draws the triangle for ColorHue into Picker; pixels outside it keep what was there (the wallpaper).
// Uses the gradient fill, or, when that fails, sets the pixels one by one from HSV.
void DrawTriangle();

// Draws the white triangle on the black Picture2 that tells a pick inside the triangle from one outside.
// Measured on Picker, drawn once at panel load.
void DrawTriangleMask();

}  // namespace brisel::TriPicker
