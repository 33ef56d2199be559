#pragma once
// The panel wallpaper: the host's wallpaper picture, held by the panel's hidden Image1 and tiled over the
// panel and, continuing the same tiling, inside the triangle box.

#include "platform/window.h"

namespace brisel::panel {

// Image1 at its design place; without a picture it keeps its design size, 78 x 82 pixels.
inline constexpr int32_t kImage1Left = 136, kImage1Top = 290, kImage1Width = 78, kImage1Height = 82;

// The holder of the current panel's wallpaper; nullptr before the panel's load made it.
platform::ImageHolder* Image1();

// Makes the panel's Image1 and loads into it the picture the host names (Tarn_WallpaperFilename), then
// tiles it over the panel. No answer from the host, an empty name or a file that cannot be read leave the
// holder without a picture, silently: the panel keeps its plain back colour.
void LoadWallpaper(platform::Form& panel);

// Tiles the wallpaper over the form's client surface: tiles of Image1's size at x = 0, w, 2w, ... while
// x <= the client width, rows likewise, each drawn only while the form is visible. Without a picture, or
// on any failure, it stops quietly. The panel's child controls draw over the surface; labels are
// transparent, so the wallpaper shows behind their text.
void Draw_Pattern(platform::Form& ThisObject);

}  // namespace brisel::panel

namespace brisel::Form2 {

// The panel's paint: the wallpaper over the whole panel.
void Form_Paint();

}  // namespace brisel::Form2

namespace brisel::TriPicker {

// Tiles the wallpaper into a picture box of the panel so that the tiles continue the panel's own: the tile
// of panel position (x, y) lands at box position (x - left, y - top), clipped to the box.
void PaintBackdrop(platform::PictureBox& control);

}  // namespace brisel::TriPicker
