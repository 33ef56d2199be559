#pragma once
// What the window system the program runs on allows: a screen to ask the user on, and whole scale factors.

#include <string>

namespace brisel::platform {

// The platforms without a screen (offscreen, minimal), where nothing modal may wait for a user.
bool HeadlessPlatform();
// A scale factor setting (QT_SCALE_FACTOR's, or QT_SCREEN_SCALE_FACTORS' list) with every factor rounded to
// a whole one; anything that is not a number is kept as it is.
std::string WholeScaleFactors(const std::string& factors);

}  // namespace brisel::platform
