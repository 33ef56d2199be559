#pragma once
// The whole program back to its start, for tests and benchmarks.

namespace brisel::app {

// Each subsystem lets go of what it holds (the tablet, the display, the undo history, the triangle's pick),
// then every shared variable takes its value at process start (ResetSharedState, state/shared_state.h).
void ResetProgramState();

}  // namespace brisel::app
