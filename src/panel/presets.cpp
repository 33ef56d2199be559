// The four brush presets: a radio group of two-state buttons. A press (any mouse button, on the way down)
// lets the others up, keeps this one down and sets relief, blend mode, the Mode button's caption and the
// coverage curve, in that order. Nothing else changes: no slider, no colour.

#include "panel/presets.h"

#include "panel/tool_panel.h"
#include "state/shared_state.h"

namespace brisel::Form2 {
namespace {

struct Preset {
  int32_t relief;
  int32_t blendMode;
  const char* modeCaption;
  int32_t curve;
};

constexpr Preset kInk{0, 3, "Multiply", 2};
constexpr Preset kGelBrush{1, 0, "Default", 1};
constexpr Preset kPen{0, 0, "Default", 0};
constexpr Preset kWaterBrush{0, 3, "Multiply", 1};

void Press(platform::VxButton& button, const Preset& preset) {
  panel::DeactivateButtons();
  button.SetValue(true);
  ReliefEffect = preset.relief;
  BlendMode = preset.blendMode;
  panel::vx_pte_button15().SetCaption(preset.modeCaption);
  CoverageCurve = preset.curve;
}

}  // namespace

void vx_button6_MouseDown(int16_t, int16_t, float, float) { Press(panel::Panel().vx_button6, kInk); }
void vx_button7_MouseDown(int16_t, int16_t, float, float) { Press(panel::Panel().vx_button7, kGelBrush); }
void vx_button8_MouseDown(int16_t, int16_t, float, float) { Press(panel::Panel().vx_button8, kPen); }
void vx_button9_MouseDown(int16_t, int16_t, float, float) { Press(panel::Panel().vx_button9, kWaterBrush); }

}  // namespace brisel::Form2
