#pragma once
// Replacing a file so that it is either wholly old or wholly new, never half written; and clearing away the
// temporary files that writes cut short (a kill, a power cut) left behind.
//
// The bytes go to a hidden temporary file in the same folder, ".NAME.brisel-PID-N" (PID the writing
// process, N a random number), are synced to disk, and the temporary file is renamed over the target. Every
// write is checked for its full length: a short write (file size limit, full disk) is a failure. A target
// that is a symbolic link has the file it points to replaced; an existing file keeps its permission bits.
// Earlier versions named the temporary ".NAME.brisel-N", without the process.

#include <cstddef>
#include <string>
#include <vector>

namespace brisel::platform {

// Empty on success, else the reason (the system's text); on failure the target is untouched and no
// temporary file is left.
std::string WriteFileAtomically(const std::string& path, const char* bytes, size_t size);

// A temporary file older than this, whose name does not say which process made it, is taken as left over.
inline constexpr int kLeftoverTemporaryAgeSeconds = 3600;

// Removes, from folder, the temporary files of interrupted writes of the file name (any file when name is
// empty): only regular files of this user with the temporary name pattern, and among them only those whose
// writing process no longer runs, or, for a name without a process, that are older than
// kLeftoverTemporaryAgeSeconds. Returns the paths it removed.
std::vector<std::string> RemoveLeftoverTemporaries(const std::string& folder, const std::string& name = {});

}  // namespace brisel::platform
