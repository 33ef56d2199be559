#pragma once
// The blend-mode menu "Mode", owned by the never-shown Menus window and opened by the panel's Mode button.

#include <array>
#include <cstdint>

namespace brisel::panel {

// One item of the menu: its caption, the blend mode it chooses, and what the Mode button then reads.
struct ModeItem {
  const char* menuCaption;
  int32_t blendMode;
  const char* buttonCaption;
};

// The eleven items in menu order.
const std::array<ModeItem, 11>& ModeMenu();

}  // namespace brisel::panel

namespace brisel::Menus {

// Each sets BlendMode, then the Mode button's caption.
void ModeDefault_Click();
void ModeAdd_Click();
void ModeSub_Click();
void ModeMult_Click();
void ModeDiv_Click();
void ModeScreen_Click();
void MenuGreater_Click();
void MenuLess_Click();
void ModeAnd_Click();
void ModeOr_Click();
void ModeXor_Click();

}  // namespace brisel::Menus

namespace brisel::Form2 {

// The Mode button: the blend-mode menu at the pointer.
void vx_pte_button15_Click();

}  // namespace brisel::Form2
