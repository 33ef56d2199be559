#pragma once
// What the program does when memory runs short for something that must not be given up lightly (a send, a
// recovery copy): the undo history, whose budget is memory the program chose to hold, gives it back.

#include <functional>

namespace brisel::link {

// Runs attempt, which returns false when it failed for want of memory and changed nothing (a std::bad_alloc
// it throws counts the same). While it does, the oldest undo step goes (canvas/undo.h: LetOldestUndoStepGo)
// and it runs again, one step at a time, until it has memory enough or no step is left; standard error says
// how many steps went. The image is never touched. Returns false when the last run still lacked memory:
// the caller then says "not enough memory".
bool RunLettingUndoStepsGo(const std::function<bool()>& attempt);

}  // namespace brisel::link
