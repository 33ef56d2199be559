#pragma once
// The canvas window's load and unload, and its "Options" and "Help" menus.

#include <cstdint>

#include "platform/window.h"

namespace brisel::Form1 {

// Sizes the canvas to the picture on screen, shows the tool panel as its child, starts the brush as the
// panel's sliders were designed, draws the image and opens the tablet.
void Form_Load();
// Sends the painting back to the host first; when that fails, or the host's picture changed size, asks
// whether to drop the changes (a recovery copy kept and named first). Cancel = -1 keeps the canvas open.
void Form_Unload(int16_t& Cancel);
// The window system asks for the image again (the margins are not repainted).
void Form_Paint();
// "Get paper": the paper texture fetched again from the host.
void GetPaperMenu_Click();
// "Tool panel": the tool panel shown (where it was), for one closed with its window's close button.
void ToolPanelMenu_Click();
// "Keys and mouse": the window listing every key and drag (app/keys.h).
void KeysMenu_Click();

}  // namespace brisel::Form1

namespace brisel::app {

// Tab: the tool panel hidden when shown, shown when hidden; the keys go on reaching the canvas's handlers.
void ToggleToolPanel();

// The canvas window's frame, which the view asks for (canvas/window_frame.h): the caption names the program
// and the view (zoom, angle, mirror) while the window is shown; and at 100 % the window takes the picture's
// size on the screen, unless it is maximised or minimised.
void ShowViewInCaption(platform::Form& canvas);
void FitCanvasToPicture(platform::Form& canvas);

}  // namespace brisel::app
