#pragma once
// The program's name as the painter reads it: the title of its message boxes and windows, the application's
// name, and the first words of the canvas's caption.

namespace brisel {

inline constexpr const char* kProgramName = "Brisel";
inline constexpr const char* kProgramNameAndVersion = "Brisel 1.1";

}  // namespace brisel
