#pragma once
// Replacing a file so that it is either wholly old or wholly new, never half written; and clearing away the
// temporary files that writes cut short (a kill, a power cut) left behind.
//
// The bytes go to a hidden temporary file in the same folder, ".NAME.brisel-PID-N" (PID the writing
// process, N a random number), are synced to disk, and the temporary file is renamed over the target. NAME
// is cut short (at a UTF-8 character) where the whole would pass the folder's name limit (NAME_MAX), so a
// file of any legal name gets a temporary. Every write is checked for its full length: a short write
// (file size limit, full disk) is a failure. Only a regular file is ever replaced. The temporary file is
// created with no more permissions than the file it replaces (or the file named by `like`), then given
// exactly its mode and, when running as root, its owner and group: a private picture never has a readable
// copy, not even for a moment. A hard link to the old file keeps the old content: the name gets a new file.
// Earlier versions named the temporary ".NAME.brisel-N", without the process.

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

namespace brisel::platform {

struct AtomicWriteOptions {
  // A symbolic link at path: true, the regular file it points to is replaced and the link stays; false,
  // the path is never resolved and the write is refused (ELOOP).
  bool followLink = true;
  // The file whose mode (and, for root, owner and group) the new file takes; nullptr: the target's own,
  // or 0666 less the umask for a new file.
  const struct stat* like = nullptr;
  // When given, receives the status of the file written (its inode is the one the target now names).
  struct stat* written = nullptr;
};

// Empty on success, else the reason (the system's text); on failure the target is untouched and no
// temporary file is left.
std::string WriteFileAtomically(const std::string& path, const char* bytes, size_t size,
                                const AtomicWriteOptions& options = {});

// The longest name a file in folder may have (NAME_MAX where the file system does not say).
long NameLimitOf(const std::string& folder);

// A temporary file older than this, whose name does not say which process made it, is taken as left over.
inline constexpr int kLeftoverTemporaryAgeSeconds = 3600;

// Removes, from folder, the temporary files of interrupted writes of the file name (any file when name is
// empty; a long name as a temporary's name carries it, cut short): only regular files of this user with
// the temporary name pattern, and among them only those whose writing process no longer runs, or, for a
// name without a process, that are older than kLeftoverTemporaryAgeSeconds. Returns the paths it removed.
std::vector<std::string> RemoveLeftoverTemporaries(const std::string& folder, const std::string& name = {});

}  // namespace brisel::platform
