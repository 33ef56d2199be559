#pragma once
// Start-up: Main, which connects the host, builds the tables, copies the image in and hands the canvas over.

#include <cstdint>

#include "state/shared_state.h"  // kProgramName

namespace brisel::app {

// The process's start-up: host connected, tables built, image copied in, canvas handed to the host.
// Errors propagate to the caller, which reports them and ends the program.
void Main();

// Allocates the seven image-sized planes, zero-filled.
void SizeBuffers();

}  // namespace brisel::app
