// The program's keys and mouse gestures: the table, running a key from it, and the window that lists it.

#include "app/keys.h"

#include <memory>
#include <vector>

#include "app/canvas_stroke.h"
#include "app/canvas_window.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "canvas/view_turn.h"
#include "link/host_link.h"
#include "panel/panel_buttons.h"
#include "panel/sliders.h"
#include "platform/window.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::Keys {
namespace {

using platform::shiftkeys::kCtrl;
using platform::shiftkeys::kShiftCtrl;
namespace keys = platform::keys;

void Redo() {
  const PixelRect redone = canvas::TheHistory().RedoLastStep(app::CanvasStroke().StrokeUncommitted);
  link::Tell(canvas::RedrawRect(Form1Window(), redone));
}
void TurnLeft() { link::Tell(canvas::TurnBy(Form1Window(), -15)); }
void TurnRight() { link::Tell(canvas::TurnBy(Form1Window(), 15)); }
void TurnUpright() { link::Tell(canvas::TurnUpright(Form1Window())); }
void Mirror() { link::Tell(canvas::MirrorView(Form1Window())); }

// Listed in this order. Keys that act here come with their code; the rest are done by the canvas's mouse,
// wheel and key handlers (app/canvas_input.h) as named.
constexpr Key kTable[] = {
    {"Any mouse button", "Paint", 0, 0, When::Elsewhere, nullptr},
    {"Comma held + click or drag", "Pick the colour under the pointer", 0, 0, When::Elsewhere, nullptr},
    {"Wheel", "Scroll up and down", 0, 0, When::Elsewhere, nullptr},
    {"Shift+wheel", "Scroll left and right", 0, 0, When::Elsewhere, nullptr},
    {"Two fingers on a touchpad", "Scroll", 0, 0, When::Elsewhere, nullptr},
    {"Ctrl+wheel, or a pinch", "Zoom about the pointer", 0, 0, When::Elsewhere, nullptr},
    {"Space + drag", "Pan", 0, 0, When::Elsewhere, nullptr},
    {"Shift+Ctrl + left drag", "Pan", 0, 0, When::Elsewhere, nullptr},
    {"Shift+Ctrl + right drag", "Zoom about the picture's centre", 0, 0, When::Elsewhere, nullptr},
    {"Shift+Space + drag", "Turn the view", 0, 0, When::Elsewhere, nullptr},
    {"Two fingers turning on a touchpad", "Turn the view", 0, 0, When::Elsewhere, nullptr},
    {"4", "Turn the view 15 degrees left", 0, '4', When::Press, TurnLeft},
    {"6", "Turn the view 15 degrees right", 0, '6', When::Press, TurnRight},
    {"5", "Put the view upright", 0, '5', When::Press, TurnUpright},
    {"M", "Mirror the view left to right", 0, 'M', When::Press, Mirror},
    {"Ctrl+plus, Ctrl+minus", "Zoom in, zoom out", 0, 0, When::Elsewhere, nullptr},
    {"Ctrl+0", "Show at 100 %", kCtrl, '0', When::Release, Form2::vx_button11_Click},
    {"Shift+Ctrl+F", "Fit the picture in the window", kShiftCtrl, 'F', When::Release, Form2::vx_button12_Click},
    {"Ctrl+Z", "Undo", kCtrl, 'Z', When::Press, Form2::vx_button1_Click},
    {"u", "Undo", 0, 0, When::Elsewhere, Form2::vx_button1_Click},
    {"Shift+Ctrl+Z", "Redo", kShiftCtrl, 'Z', When::Press, Redo},
    {"Ctrl+Y", "Redo", kCtrl, 'Y', When::Press, Redo},
    {"[", "Smaller brush", 0, keys::kBracketLeft, When::Press, panel::SmallerBrush},
    {"]", "Larger brush", 0, keys::kBracketRight, When::Press, panel::LargerBrush},
    {"Ctrl+S", "Send the picture", kCtrl, 'S', When::Release, Form2::vx_button4_Click},
    {"Tab", "Show or hide the tool panel", 0, keys::kTab, When::Release, app::ToggleToolPanel},
};

// The window's parts: its labels go before it.
struct KeysWindow {
  platform::Form form;
  std::vector<std::unique_ptr<platform::Label>> labels;
};
std::unique_ptr<KeysWindow> gWindow;

constexpr int32_t kMargin = 12, kRow = 22, kNameWidth = 190, kDoesWidth = 240;

void Build(KeysWindow& w) {
  w.form.SetCaption("Keys and mouse");
  const int32_t rows = int32_t(std::size(kTable));
  platform::SetFixedClientSize(w.form, 2 * kMargin + kNameWidth + kDoesWidth, 2 * kMargin + rows * kRow);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t top = kMargin + i * kRow;
    auto name = std::make_unique<platform::Label>(w.form, kMargin, top, kNameWidth, kRow);
    name->SetCaption(kTable[i].name);
    auto does = std::make_unique<platform::Label>(w.form, kMargin + kNameWidth, top, kDoesWidth, kRow);
    does->SetCaption(kTable[i].does);
    w.labels.push_back(std::move(name));
    w.labels.push_back(std::move(does));
  }
}

}  // namespace

std::span<const Key> All() { return kTable; }

bool Run(int16_t code, int16_t shift, When when) {
  for (const Key& key : kTable)
    if (key.when == when && key.code == code && key.shift == shift && code != 0) {
      key.action();
      return true;
    }
  return false;
}

std::string WithKeys(const std::string& tip, void (*action)()) {
  std::string names;
  for (const Key& key : kTable)
    if (key.action == action) names += (names.empty() ? "" : " or ") + std::string(key.name);
  return names.empty() ? tip : tip + " (kbd shortcut: " + names + ")";
}

std::string Listing() {
  constexpr size_t kColumn = 36;
  std::string text;
  for (const Key& key : kTable) {
    const std::string name = std::string("  ") + key.name;
    text += name + std::string(name.size() < kColumn ? kColumn - name.size() : 1, ' ') + key.does + "\n";
  }
  return text;
}

void ShowKeysWindow() {
  if (!gWindow) {
    gWindow = std::make_unique<KeysWindow>();
    Build(*gWindow);
  }
  gWindow->form.ShowOwnedBy(Form1Window());
}

void DestroyKeysWindow() { gWindow.reset(); }

}  // namespace brisel::Keys
