#pragma once
// The journal of a recovery copy: every change of the painting since the copy was written, as the changed
// rectangle's new pixels, so that a kill or a power cut loses at most the change in progress. It lies beside
// its copy ("NAME-TIME-PID.png" has "NAME-TIME-PID.journal") and is read back, on top of the copy, up to
// the first record that is cut short, fails its checksum or does not follow its predecessor.
//
// Layout, every number little-endian:
//   header  "BRISELJ2", u64 base (the copy's sequence the records follow; 0: they follow the picture
//           itself, before any copy), i32 width, i32 height, u64 the fingerprint of the picture the
//           painting started from (PlanesFingerprint), u32 n, n bytes of the picture's identity (as the
//           copy's text chunk names it), u64 checksum of all before it; an earlier version's "BRISELJ1"
//           header has no fingerprint
//   record  "BRJM", u64 sequence (base + 1, base + 2, ...), i32 x, i32 y, i32 w, i32 h, then w x h bytes
//           of red, of green and of blue, row after row, then the rectangle's painted mask, w x h bits
//           row after row, the first pixel in the lowest bit of the first byte (1: the pixel differs from
//           the picture the painting started from), u64 checksum of the record before it; an earlier
//           version's "BRJR" record has no mask, and counts its whole rectangle as painted
// A record's rectangle lies within the picture and is not empty.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_plane.h"

namespace brisel::platform {

struct JournalHeader {
  uint64_t base = 0;
  int32_t width = 0, height = 0;
  std::string picture;
  std::optional<uint64_t> fingerprint;  // none: an earlier version's journal (and header)
};

// The three planes of a picture: what a painting started from.
using PlaneTriple = std::array<BytePlane, 3>;

// Tells a picture from any other version of it: a 64-bit hash of its size and its three planes.
uint64_t PlanesFingerprint(const BytePlane& red, const BytePlane& green, const BytePlane& blue);

// The bytes of a journal's header.
std::string JournalHeaderBytes(const JournalHeader& header);

// A record of the pixels of rectangle (x, y, w, h) of the planes, checksum and all; the rectangle must lie
// within them. Its pixels are copied once, here: the caller's planes may change right after. Given the
// planes the painting started from (of the same size), the record carries its painted mask; without, it is
// an earlier version's record.
std::string JournalRecordBytes(uint64_t sequence, int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red,
                               const BytePlane& green, const BytePlane& blue, const PlaneTriple* base = nullptr);

// The painted mask of rectangle (x, y, w, h) of the planes against base (all of one size), a bit a pixel, as
// a record holds it; over the whole picture it is the mask a copy holds.
std::string PaintedMaskBits(int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red, const BytePlane& green,
                            const BytePlane& blue, const PlaneTriple& base);
// The mask's bits unpacked into a plane of its rectangle's size, a byte a pixel (1: painted); an empty plane
// when bits is not the size of such a mask.
BytePlane UnpackPaintedMask(std::string_view bits, int32_t w, int32_t h);

// The bytes a record of a w x h rectangle takes in the journal (with its mask, or an earlier version's).
uint64_t JournalRecordSize(int32_t w, int32_t h, bool masked = true);

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
// only reads the header and counts. Given a painted plane too (of the same size, a byte a pixel), each
// record's mask goes into it, 1 where painted and 0 where not (an earlier version's record: 1 over all of
// its rectangle).
JournalReplay ReplayJournal(std::string_view bytes, uint64_t after, BytePlane* red = nullptr, BytePlane* green = nullptr,
                            BytePlane* blue = nullptr, BytePlane* painted = nullptr);

// Writes one record's pixels (as JournalRecordBytes made them) into planes of any size that holds its
// rectangle; false, and nothing written, when record is not a whole, sound record that fits them.
bool ApplyJournalRecord(std::string_view record, BytePlane& red, BytePlane& green, BytePlane& blue);

// The journal that belongs to the copy at path: ".png" replaced by ".journal".
std::string JournalPathOf(const std::string& copyPath);

}  // namespace brisel::platform
