#pragma once
// What the canvas could not do for want of memory, in the words the user hears. The canvas opens no window:
// it answers these, and the window's handler that called it says them (Tell, link/host_link.h).

#include <string>
#include <utility>
#include <vector>

#include "canvas/rectangles.h"

namespace brisel::canvas {

struct Refusals {
  std::vector<std::string> texts;  // in the order they arose
  bool empty() const { return texts.empty(); }
  // other's texts follow this one's.
  Refusals& operator+=(Refusals other) {
    for (std::string& t : other.texts) texts.push_back(std::move(t));
    return *this;
  }
};

// What an engine call that changes pixels answers: the image pixels it changed, for the caller to show,
// and what it refused to do.
struct Changed {
  PixelRect rect;
  Refusals refused;
};

}  // namespace brisel::canvas
