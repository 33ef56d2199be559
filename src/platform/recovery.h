#pragma once
// Recovery copies of the image: PNG files in the user's state folder, $XDG_STATE_HOME/brisel/recovery
// (default ~/.local/state/brisel/recovery), each holding the three planes as 8-bit RGB and, in a text chunk
// "Brisel-Picture", the picture it was painted on. Every copy is written atomically (platform/atomic_file.h),
// so a copy is whole or absent, never half written.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_plane.h"

namespace brisel::platform {

struct RecoveryCopy {
  std::string path;      // the copy's file
  std::string picture;   // the picture it belongs to as the program named it; empty for a new picture
  int64_t savedAt = 0;   // its last write, seconds since the epoch
  int32_t width = 0, height = 0;
};

// The folder, as the environment names it now (it need not exist).
std::string RecoveryFolder();
// A path in the folder for a new copy of picture: the picture's file name, the local time and the process,
// "sample.png-20240131-154502-4711.png" ("untitled-..." for a new picture).
std::string NewRecoveryPath(const std::string& picture);
// The copies in the folder, newest first; files that are not readable copies are left out. Temporary files
// of writes cut short are removed on the way (platform::RemoveLeftoverTemporaries).
std::vector<RecoveryCopy> ListRecoveryCopies();
// The copy's planes, or false when it cannot be read.
bool ReadRecoveryCopy(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue);
// "2024-01-31 15:45:02", local time.
std::string LocalTimeText(int64_t secondsSinceEpoch);

// Writes copies, now or in the background, one file at a time.
class RecoveryWriter {
 public:
  RecoveryWriter();
  ~RecoveryWriter();  // waits for a background write to end
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  // Copies the planes here, on the caller's thread, then encodes and writes them on a thread of its own, and
  // returns at once. Planes equal to the ones this writer last wrote to path are not written again. While a
  // write runs, a new one is not started (false, nothing copied): the caller tries again at its next turn.
  bool WriteInBackground(const std::string& path, const std::string& picture, const BytePlane& red,
                         const BytePlane& green, const BytePlane& blue);
  // Writes now, on the calling thread, after any background write has ended: empty on success, else why not.
  std::string WriteNow(const std::string& path, const std::string& picture, const BytePlane& red,
                       const BytePlane& green, const BytePlane& blue);
  // The copy at path is no longer wanted: a background write still running does not land, and the file goes.
  void Discard(const std::string& path);
  // Waits for a background write to end.
  void Wait();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisel::platform
