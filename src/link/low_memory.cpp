#include "link/low_memory.h"

#include <cstdio>
#include <new>

#include "canvas/undo.h"

namespace brisel::link {

bool RunLettingUndoStepsGo(const std::function<bool()>& attempt) {
  int stepsGone = 0;
  bool enough = false;
  for (;;) {
    try {
      enough = attempt();
    } catch (const std::bad_alloc&) {
      enough = false;
    }
    if (enough || !canvas::TheHistory().LetOldestUndoStepGo()) break;
    ++stepsGone;
  }
  if (stepsGone > 0)
    std::fprintf(stderr, "brisel: memory ran short: %d undo step%s let go, the oldest first%s\n", stepsGone,
                 stepsGone == 1 ? "" : "s", enough ? "" : ", and it was still not enough");
  return enough;
}

}  // namespace brisel::link
