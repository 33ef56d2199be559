#pragma once
// What identifies one version of a file on disk, for caches that must notice another program's change:
// device and inode (a replacement by rename is a new inode), size, and the modification and change
// times to the nanosecond.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace brisel::filehost {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
  int64_t size = 0;        // bytes
  int64_t modifiedNs = 0;  // since the epoch
  int64_t changedNs = 0;   // inode change time, since the epoch
  bool isRegular() const;
  bool isFolder() const;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of a file from its status.
FileStamp StampOf(const struct stat& status);

// Whether two stamps show the same content as far as another program's write shows: the same file
// (device, inode), size, modification time and change time. A program may set the modification time back
// (touch -r, cp -p, rsync -t after an edit in place), but only the file system sets the change time, at
// every write; it also moves at a change of mode, owner or links alone, which SameOutwardly tells apart.
bool SameVersion(const FileStamp& a, const FileStamp& b);

// The same file, size and modification time, whatever the change time: either the same version, or the
// same file rewritten with its modification time kept, or given another mode, owner or links; only the
// bytes tell which.
bool SameOutwardly(const FileStamp& a, const FileStamp& b);

// What differs from was to now, for a message: "replaced by another file", "its size went from 10 to 12
// bytes", "modified at 2026-12-08 23:01:02", joined by ", "; where the change time alone moved,
// "changed in place at 2026-12-08 23:01:02, its modification time kept".
std::string WhatChanged(const FileStamp& was, const FileStamp& now);

// The stamp of the file at path, following symbolic links; nullopt when it cannot be stat'ed
// (errnoOut, when given, receives the reason).
std::optional<FileStamp> StampOf(const std::string& path, int* errnoOut = nullptr);

}  // namespace brisel::filehost
