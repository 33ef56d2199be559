#pragma once
// The host interface theme: the canvas window's PrefsCallback restyles the controls of a form with the
// host's interface colours and button style, read from the host's saved interface settings.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/window.h"

namespace brisel::panel {

// The host's interface settings: application "tarnwick", section "Startup". Colours are 0xBBGGRR.
struct HostTheme {
  int32_t Shine_Color = 0xE0E0E0;
  int32_t Shadow_Color = 0x202020;
  int32_t Button_Fill_Color = 0xC0C0C0;
  int32_t Scroll_Fill_Color = 0x9E958F;
  int32_t Scroll_Bar_Color = 0xFFFFFF;
  int32_t Special_Tool_Color = 0xC1BEC9;
  int32_t Special_Setting_Color = 0xC5C5B6;
  int32_t Special_Action_Color = 0xB5BFBD;
  int32_t Borderless_Buttons = 0;    // exactly 1: buttons without border
  int32_t Borderless_Scrollers = 0;  // any non-zero value: flat sliders
};

// Reads the ten settings the panel shows; an absent key, or a value that is not a number, keeps its default.
HostTheme ReadHostTheme();

// The themed form's back colour, whatever the settings.
inline constexpr platform::Color kThemeBackColor = 0x9E958F;

// The theme pass over every control of form, in the form's control order: buttons by their Tag's role,
// sliders, labels' text; picture boxes, image holders and lines keep their look. A property a control
// refuses is skipped and the pass goes on.
void PrefsCallback(platform::Form& form);

}  // namespace brisel::panel
