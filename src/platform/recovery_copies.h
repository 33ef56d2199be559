#pragma once
// Recovery copies of the image: PNG files in the user's state folder, $XDG_STATE_HOME/brisel/recovery
// (default ~/.local/state/brisel/recovery, private: 0700, each copy 0600), each holding the three planes as
// 8-bit RGB and, in text chunks, the picture it was painted on: "Brisel-Picture" as text, and
// "Brisel-Picture-Bytes" percent-encoded, which keeps every byte of the name (the text chunks are read back
// with their white space simplified). A copy the journal wrote also says what was painted: the fingerprint
// of the picture the painting started from ("Brisel-Start-Fingerprint", 16 hex digits) and, in a private
// chunk "brPM" before the pixels, the painted mask (a bit a pixel, row after row, as the journal's records
// hold it) compressed by zlib. Every copy is written atomically (platform/atomic_file.h), so a copy
// is whole or absent, never half written. Beside a copy its journal (platform/journal.h) holds every change
// made since; "Brisel-Journal-Sequence" says the journal's last record the copy already holds. A reader that
// knows no journal reads the copy as it was last written.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_plane.h"

namespace brisel::platform {

// How a recovery copy's write that ran out of memory begins its reason (RecoveryWriter::WriteNow).
inline constexpr const char* kNotEnoughMemory = "not enough memory";

struct RecoveryCopy {
  std::string path;      // the copy's file
  std::string picture;   // the picture it belongs to as the program named it, byte for byte; empty for a new one
  int64_t savedAt = 0;   // its last write, seconds since the epoch
  int32_t width = 0, height = 0;
  int64_t writer = 0;    // the process that wrote it, from its name (0 when the name does not say)
  std::string journal;   // its journal, empty when it has none; a painting that has only its journal so far
                         // (its records follow the picture itself) has no file at path
};

// The folder, as the environment names it now (it need not exist).
std::string RecoveryFolder();
// A path in the folder for a new copy of picture: the picture's file name, the local time and the process,
// "sample.png-20240131-154502-4711.png" ("untitled-..." for a new picture); control characters and bytes
// that are not UTF-8 in the name become "_" (the picture's exact name is inside the copy).
std::string NewRecoveryPath(const std::string& picture);
// The copies, newest first: in the folder, in the runtime folder's "brisel-recovery" and, given a picture
// named by its absolute path, those of it hidden beside it (see RecoveryWriter); files that are not readable
// copies are left out. Temporary files of writes cut short are removed on the way
// (platform::RemoveLeftoverTemporaries).
std::vector<RecoveryCopy> ListRecoveryCopies(const std::string& picture = {});
// The painting of the copy at path, its journal's records applied: false when it cannot be read. Where the
// painting has only its journal so far, the planes given are the picture it follows (the host's, as the
// program fetched it) and the records are applied to them; false when the journal does not fit them.
bool ReadRecoveryCopy(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue);

// What a restore found besides the painting.
struct RestoredCopy {
  bool read = false;            // false: the copy cannot be read, or does not fit the picture given
  bool knowsItsStart = false;   // the copy says which version of the picture its painting started from
  bool pictureChanged = false;  // ... and the picture given is another one: only the painted pixels came back
};
// The painting of the copy at path brought onto the planes given, the picture as it is now (the host's, as
// the program fetched it): the pixels the painting changed are the copy's, every other pixel stays the
// picture's, so that another program's edit of the picture since the painting started survives where the
// painting did not touch it. Over the very picture the painting started from, that is the painting exactly.
// A copy of an earlier version, which does not say what it painted, gives back all of itself (a painting
// kept only in its journal: its records' whole rectangles).
RestoredCopy RestoreRecoveryCopy(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue);
// Removes the copy and its journal.
void RemoveRecoveryCopy(const RecoveryCopy& copy);
// "2024-01-31 15:45:02", local time.
std::string LocalTimeText(int64_t secondsSinceEpoch);
// The last modification of the file at path, seconds since the epoch; nullopt when there is no such file.
std::optional<int64_t> ModifiedAt(const std::string& path);

// The names around a copy, read from bytes that come from outside (safe on any input):
// - the picture a copy belongs to, from its text chunks: "Brisel-Picture-Bytes" as Latin-1 (percent-encoded)
//   where the copy has it, else "Brisel-Picture" as UTF-8;
std::string PictureFromCopyText(const std::string& percentEncoded, const std::string& text);
// - the process in a copy's file name, "NAME-YYYYMMDD-HHMMSS-PID.png"; 0 when there is none;
int64_t WriterOf(const std::string& path);
// - name with its control characters and the bytes that are not UTF-8 replaced by "_": a copy's file name
//   is for people to read and for every tool to handle.
std::string PlainName(const std::string& name);
// - name as a terminal or a message may show it: its control characters and the bytes that are not UTF-8
//   escaped ("\n", "\t", "\x1b"), so that no name can move the cursor, retitle or clear the terminal.
std::string ShownName(const std::string& name);

// Whether process is another run of this program that still runs (so its copies are not lost work).
bool StillRunning(int64_t process);
// Whether another process still writes the copy (it holds the copy's journal locked), whatever the number
// in the copy's name now stands for.
bool StillWritten(const RecoveryCopy& copy);

// Marks picture as open in this process, until ReleasePicture or the process's end: a lock that the
// system lets go when the process dies, however it dies, on the picture's file itself where it is one (so
// that every name of it, through links and hard links, and every user's run meet the same claim), else on a
// small file in the recovery folder; standard error says so when no claim can be made. Returns 0 when this
// process now has it (or where that cannot be told), else the process that has it open already (-1 when
// that process did not say which it is: another user's run).
int64_t ClaimPicture(const std::string& picture);
void ReleasePicture();
// Whether this process holds a claim.
bool ClaimedPicture();

// Writes copies, now or in the background, one file at a time. Where a copy cannot be written at its path
// in the folder (a folder that cannot be written, a full disk), it goes under the same name to
// $XDG_RUNTIME_DIR/brisel-recovery, else beside its picture as a hidden file (".NAME-..."), and standard
// error says where.
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
  // Writes now, on the calling thread, after any background write has ended: empty on success, else why not;
  // a reason that begins with kNotEnoughMemory means the memory ran short (and nothing was written).
  std::string WriteNow(const std::string& path, const std::string& picture, const BytePlane& red,
                       const BytePlane& green, const BytePlane& blue);
  // Where the last write went (path or a place it fell back to); empty after Discard or before any.
  std::string LastWritten() const;
  // The copy at path is no longer wanted: a background write still running does not land, and the file goes
  // (wherever it fell back to).
  void Discard(const std::string& path);
  // Waits for a background write to end.
  void Wait();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Keeps the painting of one run, change by change: each change's rectangle is handed over as a record of its
// new pixels, which a thread of its own appends to the journal, syncing it to disk at most once a second;
// from time to time (Fold, or when the journal has grown past the picture's size) the copy is written anew
// on another thread from the records, never from the caller's planes, and the journal then starts over
// after it. A crash at any moment leaves a copy and a journal that together give the painting as of one
// of the last records handed over.
class RecoveryJournal {
 public:
  RecoveryJournal();
  ~RecoveryJournal();  // writes what was handed over, lets a fold end
  RecoveryJournal(const RecoveryJournal&) = delete;
  RecoveryJournal& operator=(const RecoveryJournal&) = delete;

  // Starts over on the planes as they are now, the picture's own (a start, a send): what was kept goes.
  // copyPath is where the copy and its journal go (platform::RecoveryPlaces the places after it), picture
  // its identity. The planes are copied here once.
  void Begin(const std::string& copyPath, const std::string& picture, const BytePlane& red, const BytePlane& green,
             const BytePlane& blue);
  // The rectangle (x, y, w, h) of the planes changed: its pixels are copied, and the call returns. False
  // when there was no memory for the record: the journal then misses a change, and only KeepNow's copy
  // from the planes brings it back in step.
  bool Record(int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red, const BytePlane& green,
              const BytePlane& blue);
  // Asks for the copy to be written anew in the background; returns at once.
  void Fold();
  // Writes the copy now, from the planes (everything recorded must be in them); empty or why not.
  std::string KeepNow(const BytePlane& red, const BytePlane& green, const BytePlane& blue);
  // Waits until every record handed over is in the journal's file (the system's cache of it: a kill no
  // longer loses it, a power cut may until the next sync).
  void WaitForRecords();
  // Waits until every record handed over is in the journal and on disk, and no fold runs.
  void Flush();
  // The copy and its journal go, and nothing more is kept until the next Begin.
  void Discard();
  // Where the copy is (or goes), and its journal beside it.
  std::string CopyPath() const;
  // The journal's size on disk, bytes.
  uint64_t JournalBytes() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisel::platform
