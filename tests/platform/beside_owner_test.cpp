#include <gtest/gtest.h>

#include "platform/qt/beside_owner_qt.h"

namespace brisel::platform {
namespace {

// Where the tool panel goes under sway, on a 1600 x 1000 workspace whose windows' rectangles include the
// title bar sway draws: beside a floating canvas, on whichever side has room; the canvas moved over where
// neither side has room but the two fit together; over the right edge of a canvas that leaves no room.
TEST(BesideOwner, PutsThePanelWhereTheCanvasLeavesRoom) {
  const SwayRect workspace{0, 0, 1600, 1000};
  const SwayRect panel{727, 230, 145, 520};
  struct Case {
    const char* what;
    SwayRect canvas;
    bool floats;
    int x, y;
    std::optional<int> canvasX;
  };
  const Case cases[] = {
      {"room on the right", {478, 225, 644, 526}, true, 1122, 225, std::nullopt},
      {"room on the left alone", {1000, 100, 580, 400}, true, 855, 100, std::nullopt},
      {"neither side, together they fit", {100, 50, 1400, 900}, true, 1427, 50, 27},
      {"wider than the workspace", {0, 0, 1600, 1000}, true, 1455, 0, std::nullopt},
      {"tiled", {0, 0, 1600, 1000}, false, 1455, 0, std::nullopt},
      {"tiled beside another window", {0, 0, 800, 1000}, false, 655, 0, std::nullopt},
      {"near the bottom: the panel stays on the workspace", {478, 700, 644, 300}, true, 1122, 480, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BesidePlace place = BesideOwner(workspace, c.canvas, c.floats, panel);
    EXPECT_EQ(place.x, c.x);
    EXPECT_EQ(place.y, c.y);
    EXPECT_EQ(place.ownerX, c.canvasX);
    // Wherever it goes, the whole panel is on the workspace.
    EXPECT_GE(place.x, workspace.x);
    EXPECT_LE(place.x + panel.width, workspace.x + workspace.width);
  }
}

}  // namespace
}  // namespace brisel::platform
