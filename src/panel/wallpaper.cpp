// The panel wallpaper: loading it from the host and tiling it over the panel and the triangle box.

#include "panel/wallpaper.h"

#include <exception>
#include <memory>
#include <string>

#include "link/host_link.h"
#include "state/windows.h"

namespace brisel::panel {
namespace {

// Made at each panel load, for that panel; a later panel gets its own.
std::unique_ptr<platform::ImageHolder> gImage1;

}  // namespace

platform::ImageHolder* Image1() { return gImage1.get(); }

void LoadWallpaper(platform::Form& panel) {
  gImage1 = std::make_unique<platform::ImageHolder>(panel, kImage1Left, kImage1Top, kImage1Width, kImage1Height);
  try {
    const std::string name = platform::ToString(link::CallHost("Tarn_WallpaperFilename"));
    if (name.empty() || !gImage1->LoadPicture(name)) return;
  } catch (const std::exception&) {
    return;  // a host without a wallpaper: the plain back colour stays
  }
  Draw_Pattern(panel);
}

}  // namespace brisel::panel

namespace brisel::Form2 {

void Form_Paint() { panel::Draw_Pattern(Form2Window()); }

}  // namespace brisel::Form2

namespace brisel {
namespace {

// The tile size in pixels; nothing to tile with (0 x 0) without a holder.
struct Tile {
  int32_t w = 0, h = 0;
};
Tile TileSize() {
  const platform::ImageHolder* holder = panel::Image1();
  if (!holder || !holder->hasPicture()) return {};
  return {holder->width(), holder->height()};
}

}  // namespace

void panel::Draw_Pattern(platform::Form& ThisObject) {
  const Tile tile = TileSize();
  if (tile.w <= 0 || tile.h <= 0) return;
  const int32_t W = ThisObject.clientWidth(), H = ThisObject.clientHeight();
  for (int32_t y = 0; y <= H; y += tile.h)
    for (int32_t x = 0; x <= W; x += tile.w)
      if (ThisObject.visible() && !platform::DrawPicture(ThisObject, *panel::Image1(), x, y)) return;
}

void TriPicker::PaintBackdrop(platform::PictureBox& control) {
  const Tile tile = TileSize();
  if (tile.w <= 0 || tile.h <= 0) return;
  const int32_t L = control.left(), T = control.top();
  const int32_t SW = control.width(), SH = control.height();
  for (int32_t y = 0; y <= T + SH; y += tile.h)
    for (int32_t x = 0; x <= L + SW; x += tile.w)
      if (control.visible() && !platform::DrawPicture(control, *panel::Image1(), x - L, y - T)) return;
}

}  // namespace brisel
