// The preset radio group and the blend-mode menu, and how the two overwrite each other.

#include <QApplication>
#include <QMouseEvent>

#include <gmock/gmock.h>

#include <optional>
#include <string>
#include <vector>

#include "app/reset_state.h"
#include "panel/mode_menu.h"
#include "panel/presets.h"
#include "panel/tool_panel.h"
#include "platform/qt/controls_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using panel::Panel;

// BlendMode, CoverageCurve, ReliefEffect and the Mode button's caption.
struct Selectors {
  int32_t blend, curve, relief;
  std::string caption;
  bool operator==(const Selectors&) const = default;
};
void PrintTo(const Selectors& s, std::ostream* os) {
  *os << "mode " << s.blend << " curve " << s.curve << " relief " << s.relief << " \"" << s.caption << "\"";
}

class PresetsTest : public AppTest {
 protected:
  // Which of vx_button6..9 are down, in that order.
  std::vector<bool> Pressed() {
    panel::Controls& p = Panel();
    return {p.vx_button6.value(), p.vx_button7.value(), p.vx_button8.value(), p.vx_button9.value()};
  }
  Selectors Now() { return {BlendMode, CoverageCurve, ReliefEffect, panel::vx_pte_button15().caption()}; }

  // Opens the Mode button's menu and answers it with `choice` (nullopt: dismissed).
  void ChooseFromMenu(std::optional<int> choice) {
    platform::SetPopupMenuChooser([this, choice](const std::vector<std::string>& items) {
      shownItems = items;
      return choice;
    });
    Form2::vx_pte_button15_Click();
  }
  int Item(const std::string& caption) {
    const auto& menu = panel::ModeMenu();
    for (size_t i = 0; i < menu.size(); ++i)
      if (caption == menu[i].menuCaption) return int(i);
    ADD_FAILURE() << "no item " << caption;
    return -1;
  }

  std::vector<std::string> shownItems;
};

TEST_F(PresetsTest, EachPresetSetsItsSelectorsAndIsTheOnlyOneDown) {
  struct Case {
    void (*press)(int16_t, int16_t, float, float);
    std::vector<bool> pressed;
    Selectors selectors;
  };
  const std::vector<Case> cases = {
      {Form2::vx_button6_MouseDown, {true, false, false, false}, {3, 2, 0, "Multiply"}},
      {Form2::vx_button7_MouseDown, {false, true, false, false}, {0, 1, 1, "Default"}},
      {Form2::vx_button8_MouseDown, {false, false, true, false}, {0, 0, 0, "Default"}},
      {Form2::vx_button9_MouseDown, {false, false, false, true}, {3, 1, 0, "Multiply"}},
      {Form2::vx_button7_MouseDown, {false, true, false, false}, {0, 1, 1, "Default"}},
      {Form2::vx_button7_MouseDown, {false, true, false, false}, {0, 1, 1, "Default"}},  // again: stays down
      {Form2::vx_button6_MouseDown, {true, false, false, false}, {3, 2, 0, "Multiply"}},  // relief off again
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    cases[i].press(1, 0, 3, 3);
    EXPECT_EQ(Pressed(), cases[i].pressed) << "press " << i;
    EXPECT_EQ(Now(), cases[i].selectors) << "press " << i;
  }
}

TEST_F(PresetsTest, PresetsLeaveSlidersAndColourAlone) {
  Start(4, 4);
  panel::HProp2().SetValue(40);
  const auto before = std::make_tuple(BrushSize, BrushPress, BrushOpacity, BrushStep, PaperStrength, PaintRed,
                                      Panel().vx_button5.backColor());
  Form2::vx_button9_MouseDown(2, 0, 0, 0);
  Form2::vx_button6_MouseDown(1, 0, 0, 0);
  EXPECT_EQ(std::make_tuple(BrushSize, BrushPress, BrushOpacity, BrushStep, PaperStrength, PaintRed,
                            Panel().vx_button5.backColor()),
            before);
}

TEST_F(PresetsTest, APresetActsOnThePressWithAnyMouseButton) {
  Start(4, 4);
  QWidget* water = Panel().vx_button9.impl().widget;
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 4), water->mapToGlobal(QPointF(4, 4)), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(water, &press);
  EXPECT_EQ(Pressed(), (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(Now(), (Selectors{3, 1, 0, "Multiply"}));
}

TEST_F(PresetsTest, TheMenuListsElevenModesAndSetsModeAndCaption) {
  ChooseFromMenu(Item("Xor"));
  EXPECT_THAT(shownItems, ::testing::ElementsAre("Default", "Add", "Subtract", "Multiply", "Divide", "Screen",
                                                 "Greater than", "Less than", "And", "Or", "Xor"));
  EXPECT_EQ(BlendMode, 10);
  EXPECT_EQ(panel::vx_pte_button15().caption(), "XOR");
  const std::vector<std::pair<std::string, std::pair<int32_t, std::string>>> expected = {
      {"Default", {0, "Default"}},   {"Add", {1, "Add"}},         {"Subtract", {2, "Subtract"}},
      {"Multiply", {3, "Multiply"}}, {"Divide", {4, "Divide"}},   {"Screen", {5, "Screen"}},
      {"Greater than", {6, "Greater than"}}, {"Less than", {7, "Less than"}}, {"And", {8, "AND"}},
      {"Or", {9, "OR"}},
  };
  for (const auto& [item, result] : expected) {
    ChooseFromMenu(Item(item));
    EXPECT_EQ(BlendMode, result.first) << item;
    EXPECT_EQ(panel::vx_pte_button15().caption(), result.second) << item;
  }
}

TEST_F(PresetsTest, AMenuChoiceKeepsCurveReliefAndThePressedPreset) {
  Form2::vx_button7_MouseDown(1, 0, 0, 0);  // gel: curve 1, relief on
  ChooseFromMenu(Item("Default"));
  EXPECT_EQ(Now(), (Selectors{0, 1, 1, "Default"}));
  Form2::vx_button9_MouseDown(1, 0, 0, 0);
  ChooseFromMenu(Item("Add"));
  EXPECT_EQ(Now(), (Selectors{1, 1, 0, "Add"}));
  EXPECT_EQ(Pressed(), (std::vector<bool>{false, false, false, true}));
}

TEST_F(PresetsTest, APresetOverwritesTheMenuChoice) {
  ChooseFromMenu(Item("Screen"));
  Form2::vx_button9_MouseDown(1, 0, 0, 0);
  EXPECT_EQ(Now(), (Selectors{3, 1, 0, "Multiply"}));
}

TEST_F(PresetsTest, DismissingTheMenuChangesNothing) {
  Form2::vx_button6_MouseDown(1, 0, 0, 0);
  const Selectors before = Now();
  ChooseFromMenu(std::nullopt);
  EXPECT_EQ(shownItems.size(), 11u);
  EXPECT_EQ(Now(), before);
  // At start the button reads "Mode" until the first choice, and a dismissal keeps that too.
  DestroyWindows();
  app::ResetProgramState();
  ChooseFromMenu(std::nullopt);
  EXPECT_EQ(Now(), (Selectors{0, 0, 0, "Mode"}));
  EXPECT_EQ(Pressed(), (std::vector<bool>{false, false, true, false}));
}

}  // namespace
}  // namespace brisel::testing
