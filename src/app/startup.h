#pragma once
// Start-up and shutdown of the canvas: Main, the canvas window's load and unload, and "Get paper".

#include <cstdint>

#include "app/shared_state.h"  // kProgramName

namespace brisel {

inline constexpr const char* kHostProgId = "PT_Embers.Wickbox_Class";

// The process's start-up: host connected, tables built, image copied in, canvas handed to the host.
// Errors propagate to the caller, which reports them and ends the program.
void Main();

// Allocates the seven image-sized planes, zero-filled.
void SizeBuffers();

namespace Form1 {
void Form_Load();
void Form_Unload(int16_t& Cancel);
void GetPaperMenu_Click();
}  // namespace Form1

}  // namespace brisel
