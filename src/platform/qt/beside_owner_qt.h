#pragma once
// A tool window put beside its owner where the compositor lets a program ask for that: a Wayland client
// cannot place its windows, and sway floats a child window in the middle of the screen, over its owner
// (which comes above it at the owner's first click, as sway keeps no child above its parent).

#include <optional>

class QWindow;

namespace brisel::platform {

// Under sway, whose IPC socket (SWAYSOCK) takes window commands: moves owned beside owner once both are on
// screen, to its right, or its left where the right has no room; over owner's right edge where owner is
// tiled or too wide to leave room. Elsewhere it does nothing.
void PlaceBesideOwner(QWindow& owner, QWindow& owned);

// Where owned goes beside owner, given the rectangles sway's tree has for the workspace, owner and owned
// (layout pixels): owned's top-left corner, and owner's new left edge where owner must move over to make
// room (both floating, each side too narrow, the two together not wider than the workspace).
struct SwayRect {
  int x = 0, y = 0, width = 0, height = 0;
};
struct BesidePlace {
  int x = 0, y = 0;
  std::optional<int> ownerX;
};
BesidePlace BesideOwner(const SwayRect& workspace, const SwayRect& owner, bool ownerFloats, const SwayRect& owned);

}  // namespace brisel::platform
