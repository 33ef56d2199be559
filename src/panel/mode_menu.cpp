// The blend-mode menu: the Mode button opens it at the pointer; an item sets BlendMode and the button's
// caption, and nothing else (the pressed preset, CoverageCurve and ReliefEffect stay as they are).

#include "panel/mode_menu.h"

#include <optional>
#include <string>
#include <vector>

#include "panel/tool_panel.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel {
namespace panel {
namespace {

// And, Or and Xor are written in capitals on the button.
constexpr std::array<ModeItem, 11> kModeMenu{{
    {"Default", 0, "Default"},
    {"Add", 1, "Add"},
    {"Subtract", 2, "Subtract"},
    {"Multiply", 3, "Multiply"},
    {"Divide", 4, "Divide"},
    {"Screen", 5, "Screen"},
    {"Greater than", 6, "Greater than"},
    {"Less than", 7, "Less than"},
    {"And", 8, "AND"},
    {"Or", 9, "OR"},
    {"Xor", 10, "XOR"},
}};

}  // namespace

const std::array<ModeItem, 11>& ModeMenu() { return kModeMenu; }

}  // namespace panel

namespace Menus {
namespace {

void Choose(size_t position) {
  const panel::ModeItem& item = panel::ModeMenu()[position];
  BlendMode = item.blendMode;
  panel::vx_pte_button15().SetCaption(item.buttonCaption);
}

}  // namespace

void ModeDefault_Click() { Choose(0); }
void ModeAdd_Click() { Choose(1); }
void ModeSub_Click() { Choose(2); }
void ModeMult_Click() { Choose(3); }
void ModeDiv_Click() { Choose(4); }
void ModeScreen_Click() { Choose(5); }
void MenuGreater_Click() { Choose(6); }
void MenuLess_Click() { Choose(7); }
void ModeAnd_Click() { Choose(8); }
void ModeOr_Click() { Choose(9); }
void ModeXor_Click() { Choose(10); }

}  // namespace Menus

namespace Form2 {

void vx_pte_button15_Click() {
  MenusWindow();  // the menu's owner exists from the first press on
  std::vector<std::string> captions;
  for (const panel::ModeItem& item : panel::ModeMenu()) captions.emplace_back(item.menuCaption);
  static constexpr void (*kHandlers[])() = {
      Menus::ModeDefault_Click, Menus::ModeAdd_Click,     Menus::ModeSub_Click,    Menus::ModeMult_Click,
      Menus::ModeDiv_Click,     Menus::ModeScreen_Click,  Menus::MenuGreater_Click, Menus::MenuLess_Click,
      Menus::ModeAnd_Click,     Menus::ModeOr_Click,      Menus::ModeXor_Click};
  // Dismissing the menu chooses nothing and changes nothing.
  const std::optional<int> chosen = platform::PopupMenu(Form2Window(), captions);
  if (chosen && *chosen >= 0 && *chosen < int(std::size(kHandlers))) kHandlers[*chosen]();
}

}  // namespace Form2
}  // namespace brisel
