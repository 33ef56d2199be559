// The primary swatch: shows the paint colour.

#include "panel/colour_swatch.h"

#include <algorithm>
#include <cmath>

#include "panel/tool_panel.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::panel {
namespace {

// A paint channel as the swatch's byte: rounded half to even, and kept in 0..255 so that a value a slider
// was given out of range cannot spill into the neighbouring channel.
int Channel(float value) { return std::clamp(Nearest(value), 0, 255); }

}  // namespace

void SetColor() {
  Panel().vx_button5.SetBackColor(platform::RGB(Channel(PaintRed), Channel(PaintGreen), Channel(PaintBlue)));
}

}  // namespace brisel::panel
