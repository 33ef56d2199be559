// The sliders' change behaviour: each slider is the only writer of its brush variable. It runs on every
// change of the slider's value, the user's moves and the program's own sets alike.

#include "panel/sliders.h"

#include <algorithm>
#include <cmath>

#include "panel/colour_hsv.h"
#include "panel/colour_swatch.h"
#include "panel/colour_triangle.h"
#include "panel/hue_strip.h"
#include "panel/tool_panel.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::panel {
namespace {

void StepSize(double step) {
  platform::HProp& size = Panel().HProp1;
  const double value = std::clamp(size.value() + step, size.min(), size.max());
  if (value != size.value()) size.SetValue(value);
}

}  // namespace

void SmallerBrush() { StepSize(-1); }
void LargerBrush() { StepSize(+1); }

}  // namespace brisel::panel

namespace brisel::Form2 {
namespace {

// The colour refresh after a change of Red, Green or Blue.
void ColourChanged() {
  panel::GetHSV();
  panel::SetColor();
  Picture1_Paint();
  TriPicker::DrawTriangle();
}

}  // namespace

void HProp1_Change() { BrushSize = float(panel::Panel().HProp1.value()); }
void HProp8_Change() { BrushPress = float(panel::Panel().HProp8.value()); }
void HProp5_Change() { BrushOpacity = float(panel::Panel().HProp5.value()); }
void HProp6_Change() { BrushStep = float(panel::Panel().HProp6.value()); }

// Paper strength is a whole number: halves go to the even neighbour (2.5 -> 2, 3.5 -> 4).
void HProp7_Change() { PaperStrength = Nearest(panel::Panel().HProp7.value()); }

void HProp2_Change() {
  PaintRed = float(panel::Panel().HProp2.value());
  ColourChanged();
}

void HProp3_Change() {
  PaintGreen = float(panel::Panel().HProp3.value());
  ColourChanged();
}

void HProp4_Change() {
  PaintBlue = float(panel::Panel().HProp4.value());
  ColourChanged();
}

}  // namespace brisel::Form2
