#pragma once
// The journal of a recovery copy: every change of the painting since the copy was written, as the changed
// rectangle's new pixels, so that a kill or a power cut loses at most the change in progress. It lies beside
// its copy ("NAME-TIME-PID.png" has "NAME-TIME-PID.journal") and is read back, on top of the copy, up to
// the first record that is cut short, fails its checksum or does not follow its predecessor.
//
// Layout, every number little-endian:
//   header  "BRISELJ1", u64 base (the copy's sequence the records follow; 0: they follow the picture
//           itself, before any copy), i32 width, i32 height, u32 n, n bytes of the picture's identity
//           (as the copy's text chunk names it), u64 checksum of all before it
//   record  "BRJR", u64 sequence (base + 1, base + 2, ...), i32 x, i32 y, i32 w, i32 h, then w x h bytes
//           of red, of green and of blue, row after row, u64 checksum of the record before it
// A record's rectangle lies within the picture and is not empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/byte_plane.h"

namespace brisel::platform {

struct JournalHeader {
  uint64_t base = 0;
  int32_t width = 0, height = 0;
  std::string picture;
};

// The bytes of a journal's header.
std::string JournalHeaderBytes(const JournalHeader& header);

// A record of the pixels of rectangle (x, y, w, h) of the planes, checksum and all; the rectangle must lie
// within them. Its pixels are copied once, here: the caller's planes may change right after.
std::string JournalRecordBytes(uint64_t sequence, int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red,
                               const BytePlane& green, const BytePlane& blue);

// The bytes a record of a w x h rectangle takes in the journal.
uint64_t JournalRecordSize(int32_t w, int32_t h);

struct JournalReplay {
  bool headerRead = false;  // false: not a journal, or its header is cut short or damaged
  JournalHeader header;
  uint64_t last = 0;        // the sequence of the last record applied (the header's base with none)
  size_t records = 0;       // how many were applied
  size_t goodBytes = 0;     // the length of the header and the records read whole
};

// Reads the journal's bytes (safe on any input). With planes given (all three, of the header's size), the
// records that follow sequence `after` are written into them, in order, up to the first that is incomplete,
// fails its checksum or breaks the sequence; the records up to `after` are passed over. Without planes it
// only reads the header and counts.
JournalReplay ReplayJournal(std::string_view bytes, uint64_t after, BytePlane* red = nullptr, BytePlane* green = nullptr,
                            BytePlane* blue = nullptr);

// Writes one record's pixels (as JournalRecordBytes made them) into planes of any size that holds its
// rectangle; false, and nothing written, when record is not a whole, sound record that fits them.
bool ApplyJournalRecord(std::string_view record, BytePlane& red, BytePlane& green, BytePlane& blue);

// The journal that belongs to the copy at path: ".png" replaced by ".journal".
std::string JournalPathOf(const std::string& copyPath);

}  // namespace brisel::platform
