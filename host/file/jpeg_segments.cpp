#include "file/jpeg_segments.h"

#include <algorithm>
#include <cstdint>

namespace brisel::filehost {
namespace {

// A TIFF structure at offset base of bytes (its byte order from "II" or "MM"); reads outside give 0, writes
// outside are dropped.
class Tiff {
 public:
  Tiff(QByteArray& bytes, qsizetype base) : bytes_(bytes), base_(base) {
    valid_ = base >= 0 && Has(0, 8) && ((At(0) == 'I' && At(1) == 'I') || (At(0) == 'M' && At(1) == 'M'));
    little_ = valid_ && At(0) == 'I';
    valid_ = valid_ && U16(2) == 42;
  }
  bool valid() const { return valid_; }
  bool Has(int64_t at, int64_t n) const { return at >= 0 && n >= 0 && base_ + at + n <= bytes_.size(); }
  uint32_t U16(int64_t at) const {
    if (!Has(at, 2)) return 0;
    return little_ ? At(at) | At(at + 1) << 8 : At(at) << 8 | At(at + 1);
  }
  uint32_t U32(int64_t at) const {
    if (!Has(at, 4)) return 0;
    return little_ ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
  }
  void Put32(int64_t at, uint32_t v) {
    if (!Has(at, 4)) return;
    for (int k = 0; k < 4; ++k) bytes_[base_ + at + (little_ ? k : 3 - k)] = char(v >> (8 * k));
  }
  void Zero(int64_t at, int64_t n) {
    if (Has(at, n)) std::fill_n(bytes_.data() + base_ + at, n, '\0');
  }
  // The directory at ifd: its entry count, 0 where it does not lie whole inside.
  uint32_t Count(int64_t ifd) const {
    const uint32_t count = U16(ifd);
    return ifd > 0 && Has(ifd, 2 + 12 * int64_t(count) + 4) ? count : 0;
  }
  // The offset of the k-th entry's 12 bytes: tag (2), type (2), count (4), value or its offset (4).
  static int64_t Entry(int64_t ifd, uint32_t k) { return ifd + 2 + 12 * int64_t(k); }
  static int64_t Next(int64_t ifd, uint32_t count) { return ifd + 2 + 12 * int64_t(count); }

 private:
  uint32_t At(int64_t at) const { return uint8_t(bytes_.constData()[base_ + at]); }

  QByteArray& bytes_;
  qsizetype base_;
  bool valid_ = false, little_ = false;
};

constexpr uint32_t kThumbnailOffsetTag = 0x0201, kThumbnailLengthTag = 0x0202, kMpEntryTag = 0xB002;
const QByteArray kExifHeader("Exif\0\0", 6), kMpfHeader("MPF\0", 4);

}  // namespace

QByteArray ExifWithoutThumbnail(const QByteArray& app1) {
  if (!app1.startsWith(kExifHeader)) return app1;
  QByteArray out = app1;
  Tiff tiff(out, kExifHeader.size());
  const int64_t ifd0 = tiff.U32(4);
  const uint32_t count0 = tiff.Count(ifd0);
  if (!tiff.valid() || count0 == 0) return app1;
  const int64_t ifd1 = tiff.U32(Tiff::Next(ifd0, count0));
  const uint32_t count1 = tiff.Count(ifd1);
  if (ifd1 == 0) return app1;
  int64_t offset = 0, length = 0;
  for (uint32_t k = 0; k < count1; ++k) {
    const int64_t entry = Tiff::Entry(ifd1, k);
    const uint32_t tag = tiff.U16(entry), type = tiff.U16(entry + 2);
    const uint32_t value = type == 3 ? tiff.U16(entry + 8) : tiff.U32(entry + 8);  // SHORT or LONG
    if (tag == kThumbnailOffsetTag) offset = value;
    if (tag == kThumbnailLengthTag) length = value;
  }
  // However a damaged file's offsets point, the header and IFD0's own entries (its orientation among them)
  // are never cleared.
  const int64_t ifd0End = Tiff::Next(ifd0, count0) + 4;
  const auto clear = [&](int64_t at, int64_t n) {
    if (at >= 8 && (at >= ifd0End || at + n <= ifd0)) tiff.Zero(at, n);
  };
  if (offset > 0 && length > 0) clear(offset, std::min<int64_t>(length, out.size() - kExifHeader.size() - offset));
  clear(ifd1, 2 + 12 * int64_t(count1) + 4);
  tiff.Put32(Tiff::Next(ifd0, count0), 0);
  return out;
}

qsizetype MpfIndexAt(const QByteArray& file) {
  const auto* p = reinterpret_cast<const uint8_t*>(file.constData());
  for (qsizetype i = 2; i + 4 <= file.size() && p[i] == 0xFF && p[i + 1] != 0xDA;) {
    const qsizetype length = p[i + 2] << 8 | p[i + 3];  // counts itself, not the marker
    if (p[i + 1] == 0xE2 && length >= 2 + 4 + 8 && file.mid(i + 4, 4) == kMpfHeader) return i + 8;
    i += 2 + length;
  }
  return -1;
}

void MendMpfEntries(const QByteArray& original, qsizetype oldEnd, QByteArray& written, qsizetype newEnd) {
  const qsizetype oldIndex = MpfIndexAt(original), newIndex = MpfIndexAt(written);
  if (oldIndex < 0 || newIndex < 0) return;
  Tiff mpf(written, newIndex);
  const int64_t ifd = mpf.U32(4);
  const uint32_t count = mpf.Count(ifd);
  for (uint32_t k = 0; k < count && mpf.valid(); ++k) {
    const int64_t entry = Tiff::Entry(ifd, k);
    if (mpf.U16(entry) != kMpEntryTag || mpf.U16(entry + 2) != 7) continue;  // UNDEFINED, 16 bytes a picture
    const int64_t size = mpf.U32(entry + 4), at = mpf.U32(entry + 8);
    if (size < 16 || !mpf.Has(at, size)) continue;
    for (int64_t e = at; e + 16 <= at + size; e += 16) {
      // Attributes (4), size (4), offset (4) from the index, two dependent pictures (2 each); offset 0 is the
      // primary picture itself.
      const int64_t offset = mpf.U32(e + 8);
      if (offset == 0) {
        mpf.Put32(e + 4, uint32_t(newEnd));
      } else if (oldIndex + offset >= oldEnd) {
        mpf.Put32(e + 8, uint32_t(oldIndex + offset + (newEnd - oldEnd) - newIndex));
      }
    }
  }
}

}  // namespace brisel::filehost
