// The theme pass: reading the host's interface settings and restyling a form's controls with them.

#include "panel/theme.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <variant>

#include "panel/tool_panel.h"
#include "platform/controls.h"
#include "platform/settings.h"

namespace brisel::panel {
namespace {

constexpr const char* kApplication = "tarnwick";
constexpr const char* kSection = "Startup";

// The gradients of the buttons: plain and role-coloured.
constexpr double kButtonGradient = 1.2;
constexpr double kRoleGradient = 1.3;

// One setting as a Long; the default is stored as its decimal text, as the store hands it back.
int32_t ReadNumber(const char* key, int32_t fallback) {
  const std::string text = platform::GetSetting(kApplication, kSection, key, std::to_string(fallback));
  return platform::SettingNumber(text).value_or(fallback);
}

// A property set that the control may refuse: the pass goes on without it.
template <class Set>
void Try(Set&& set) {
  try {
    set();
  } catch (const std::exception&) {
  }
}

void ThemeButton(platform::VxButton& button, const HostTheme& t) {
  const std::string tag = button.tag();
  if (tag == "Color") return;  // a colour swatch keeps its colour
  Try([&] { button.SetHighlight(platform::Color(t.Shine_Color)); });
  Try([&] { button.SetShadow(platform::Color(t.Shadow_Color)); });
  Try([&] { button.SetBackColor(platform::Color(t.Button_Fill_Color)); });
  Try([&] { button.SetGradient(kButtonGradient); });
  const int32_t* role = tag == "Setting" ? &t.Special_Setting_Color
                        : tag == "Action" ? &t.Special_Action_Color
                        : tag == "Tool"   ? &t.Special_Tool_Color
                                          : nullptr;
  if (role) {
    Try([&] { button.SetBackColor(platform::Color(*role)); });
    Try([&] { button.SetGradient(kRoleGradient); });
  }
  Try([&] { button.SetBorderless(t.Borderless_Buttons == 1); });
  Try([&] { button.Refresh(); });
}

void ThemeSlider(platform::HProp& slider, const HostTheme& t) {
  Try([&] { slider.SetBackColor(platform::Color(t.Scroll_Fill_Color)); });
  Try([&] { slider.SetForeColor(platform::Color(t.Scroll_Bar_Color)); });
  const bool flat = t.Borderless_Scrollers != 0;
  Try([&] { slider.SetHighlight(platform::Color(flat ? t.Scroll_Fill_Color : t.Shine_Color)); });
  Try([&] { slider.SetShadow(platform::Color(flat ? t.Scroll_Fill_Color : t.Shadow_Color)); });
  Try([&] { slider.Refresh(); });
}

}  // namespace

HostTheme ReadHostTheme() {
  HostTheme t;
  t.Shine_Color = ReadNumber("Shine_Color", t.Shine_Color);
  t.Shadow_Color = ReadNumber("Shadow_Color", t.Shadow_Color);
  t.Button_Fill_Color = ReadNumber("Button_Fill_Color", t.Button_Fill_Color);
  t.Scroll_Fill_Color = ReadNumber("Scroll_Fill_Color", t.Scroll_Fill_Color);
  t.Scroll_Bar_Color = ReadNumber("Scroll_Bar_Color", t.Scroll_Bar_Color);
  t.Special_Tool_Color = ReadNumber("Special_Tool_Color", t.Special_Tool_Color);
  t.Special_Setting_Color = ReadNumber("Special_Setting_Color", t.Special_Setting_Color);
  t.Special_Action_Color = ReadNumber("Special_Action_Color", t.Special_Action_Color);
  t.Borderless_Buttons = ReadNumber("Borderless_Buttons", t.Borderless_Buttons);
  t.Borderless_Scrollers = ReadNumber("Borderless_Scrollers", t.Borderless_Scrollers);
  return t;
}

void PrefsCallback(platform::Form& form) {
  const HostTheme theme = ReadHostTheme();
  form.SetBackColor(kThemeBackColor);
  // A new back colour clears what was drawn on the form, so the panel shows it until the wallpaper
  // covers it.
  form.FillBox(0, 0, form.clientWidth() - 1, form.clientHeight() - 1, kThemeBackColor);

  // The platform's forms hold buttons, sliders, labels, picture boxes, lines and image holders; the
  // last three keep their look.
  for (const platform::FormControl& c : platform::FormControls(form)) {
    if (auto* label = std::get_if<platform::Label*>(&c.control))
      Try([&] { (*label)->SetForeColor(kLabelColor); });
    else if (auto* button = std::get_if<platform::VxButton*>(&c.control))
      ThemeButton(**button, theme);
    else if (auto* slider = std::get_if<platform::HProp*>(&c.control))
      ThemeSlider(**slider, theme);
  }
}

}  // namespace brisel::panel
