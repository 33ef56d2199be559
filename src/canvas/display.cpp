#include "canvas/display.h"

#include <cmath>

#include "app/shared_state.h"
#include "app/windows.h"
#include "canvas/display_bitmap.h"

namespace brisel::Form1 {

void displaybuffers() {
  platform::Form& canvas = Form1Window();
  const int32_t SW = canvas.clientWidth(), SH = canvas.clientHeight();
  const platform::Color C = canvas.backColor();
  const int32_t right = static_cast<int32_t>(std::floor(double(ImageWidth) * Zoom)) + PanX;
  const int32_t bottom = static_cast<int32_t>(std::floor(double(ImageHeight) * Zoom)) + PanY;
  // Four boxes around the image, corners inclusive; each may be empty or reach past the window.
  canvas.FillBox(-1, -1, PanX - 1, SH, C);             // left
  canvas.FillBox(-1, -1, SW, PanY - 1, C);             // top
  canvas.FillBox(SW + 1, -1, right, SH + 1, C);        // right
  canvas.FillBox(-1, SH + 1, SW + 1, bottom, C);       // bottom
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 0, 0, ImageWidth - 1, ImageHeight - 1);
}

void Form_Paint() { Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 0, 0, ImageWidth - 1, ImageHeight - 1); }

}  // namespace brisel::Form1
