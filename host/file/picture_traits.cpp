#include "file/picture_traits.h"

#include <algorithm>

namespace brisel::filehost {
namespace {

// A TIFF structure (a TIFF file, or the one inside an EXIF segment) at offset base of bytes: its byte
// order from "II" (little-endian) or "MM", every read and write bounds-checked.
class TiffBytes {
 public:
  TiffBytes(QByteArray& bytes, qsizetype base) : bytes_(bytes), base_(base) {
    valid_ = base_ >= 0 && Has(0, 8) && ((At(0) == 'I' && At(1) == 'I') || (At(0) == 'M' && At(1) == 'M'));
    little_ = valid_ && At(0) == 'I';
    valid_ = valid_ && U16(2) == 42;
  }
  bool valid() const { return valid_; }
  // Offsets are from the structure's start, as the format counts them.
  bool Has(qint64 at, qint64 n) const { return at >= 0 && n >= 0 && base_ + at + n <= bytes_.size(); }
  uint32_t U16(qint64 at) const {
    if (!Has(at, 2)) return 0;
    return little_ ? At(at) | At(at + 1) << 8 : At(at) << 8 | At(at + 1);
  }
  uint32_t U32(qint64 at) const {
    if (!Has(at, 4)) return 0;
    return little_ ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
  }
  void Put16(qint64 at, uint32_t v) {
    if (!Has(at, 2)) return;
    Set(at + (little_ ? 0 : 1), v & 0xff), Set(at + (little_ ? 1 : 0), (v >> 8) & 0xff);
  }
  void Put32(qint64 at, uint32_t v) {
    if (!Has(at, 4)) return;
    Put16(at + (little_ ? 0 : 2), v & 0xffff), Put16(at + (little_ ? 2 : 0), v >> 16);
  }

  // The entries of the directory at ifd, as the offsets of their 12 bytes; empty when it lies outside.
  QList<qint64> Entries(qint64 ifd) const {
    QList<qint64> entries;
    const uint32_t count = U16(ifd);
    if (ifd <= 0 || !Has(ifd, 2 + 12 * qint64(count) + 4)) return entries;
    for (uint32_t k = 0; k < count; ++k) entries << ifd + 2 + 12 * qint64(k);
    return entries;
  }
  uint32_t Tag(qint64 entry) const { return U16(entry); }
  // The value of a one-count SHORT or LONG entry (held in the entry itself); nullopt for any other.
  std::optional<uint32_t> Number(qint64 entry) const {
    if (U32(entry + 4) != 1) return std::nullopt;
    if (U16(entry + 2) == 3) return U16(entry + 8);
    if (U16(entry + 2) == 4) return U32(entry + 8);
    return std::nullopt;
  }
  bool SetNumber(qint64 entry, uint32_t v) {
    if (U32(entry + 4) != 1) return false;
    if (U16(entry + 2) == 3 && v <= 0xffff) return Put16(entry + 8, v), true;
    if (U16(entry + 2) == 4) return Put32(entry + 8, v), true;
    return false;
  }
  uint32_t FirstIfd() const { return U32(4); }

 private:
  uint32_t At(qint64 at) const { return uint8_t(bytes_.constData()[base_ + at]); }
  void Set(qint64 at, uint32_t v) { bytes_[base_ + at] = char(v); }

  QByteArray& bytes_;
  qsizetype base_;
  bool valid_ = false, little_ = false;
};

constexpr uint32_t kOrientationTag = 0x0112, kExifIfdTag = 0x8769, kPixelXTag = 0xA002, kPixelYTag = 0xA003;
const QByteArray kExifHeader("Exif\0\0", 6);

// Between segments lies entropy-coded data, where FF is followed by 00 (a stuffed byte), D0..D7 (a
// restart marker) or more FF (fill); any other FF xx is the next marker. Segments are skipped by their
// length, so a thumbnail inside the EXIF segment, with its own end marker, is never mistaken for the end.
void ReadJpeg(const QByteArray& bytes, PictureTraits& t) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
  const qsizetype n = bytes.size();
  qsizetype i = 2;  // after the start-of-image marker
  while (i + 1 < n) {
    const uint8_t m = p[i + 1];
    if (p[i] != 0xFF || m == 0xFF) {
      ++i;
      continue;
    }
    if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
      i += 2;
      continue;
    }
    if (m == 0xD9) {
      t.jpegComplete = true;
      break;
    }
    if (i + 3 >= n) break;
    const qsizetype length = (p[i + 2] << 8) | p[i + 3];  // counts itself, not the marker
    if (length < 2) break;
    const QByteArray payload = bytes.mid(i + 4, length - 2);
    // Start of frame: C0..CF but for C4 (Huffman tables), C8 (reserved) and CC (arithmetic coding);
    // FF Cn, length (2), precision (1), height (2), width (2), components (1), then 3 bytes a component:
    // its id, its sampling factors, its quantisation table.
    const bool frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (frame && t.jpegComponents == 0 && payload.size() >= 6) {
      t.jpegComponents = uint8_t(payload[5]);
      t.jpegProgressive = m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE;
      for (int c = 0; c < t.jpegComponents && 6 + 3 * c + 2 < payload.size(); ++c) t.jpegSampling += payload[6 + 3 * c + 1];
    }
    // APP0 "JFIF\0": version (2), unit (1), x density (2), y density (2).
    if (m == 0xE0 && payload.size() >= 12 && payload.startsWith(QByteArray("JFIF\0", 5)) && !t.jfifDensity)
      t.jfifDensity = PictureTraits::Density{uint8_t(payload[7]), uint8_t(payload[8]) << 8 | uint8_t(payload[9]),
                                             uint8_t(payload[10]) << 8 | uint8_t(payload[11])};
    const bool adobe = m == 0xEE && payload.startsWith("Adobe");  // the encoder's own, rewritten by it
    if (((m >= 0xE1 && m <= 0xEF) || m == 0xFE) && !adobe) t.jpegSegments.append({m, payload});
    i += 2 + length;
  }
}

// Chunks: length (4, big-endian), type (4), data, CRC (4), after the 8-byte signature; IHDR first: width
// (4), height (4), bit depth (1), colour type (1), ...
void ReadPng(const QByteArray& bytes, PictureTraits& t) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
  auto be32 = [&](qsizetype at) { return quint32(p[at]) << 24 | quint32(p[at + 1]) << 16 | quint32(p[at + 2]) << 8 | p[at + 3]; };
  for (qsizetype i = 8; i + 12 <= bytes.size();) {
    const quint32 length = be32(i);
    if (length > quint32(bytes.size() - i - 12)) break;  // runs past the end
    const QByteArray type = bytes.mid(i + 4, 4);
    if (type == "IHDR" && length >= 13) t.pngBitDepth = p[i + 16], t.pngColourType = p[i + 17];
    if (type == "IDAT") break;
    if (type == "acTL" && length >= 4) t.pngFrames = std::max<quint32>(be32(i + 8), 1);
    if (type == "pHYs") t.pngPhys = bytes.mid(i, 12 + length);
    i += 12 + qsizetype(length);
  }
}

void ReadTiff(const QByteArray& bytes, PictureTraits& t) {
  QByteArray copy = bytes;  // TiffBytes may write; here it only reads (a shared copy, never detached)
  const TiffBytes tiff(copy, 0);
  if (!tiff.valid()) return;
  for (const qint64 entry : tiff.Entries(tiff.FirstIfd())) {
    const std::optional<uint32_t> v = tiff.Number(entry);
    if (!v) continue;
    if (tiff.Tag(entry) == 259) t.tiffCompression = int(*v);
    if (tiff.Tag(entry) == 262) t.tiffPhotometric = int(*v);
  }
}

}  // namespace

PictureTraits ReadPictureTraits(const QByteArray& format, const QByteArray& bytes) {
  PictureTraits traits;
  const QByteArray kind = format.toLower();
  if (kind == "jpeg" || kind == "jpg") ReadJpeg(bytes, traits);
  if (kind == "png") ReadPng(bytes, traits);
  if (kind == "tiff" || kind == "tif") ReadTiff(bytes, traits);
  return traits;
}

int ExifOrientation(const QByteArray& app1) {
  if (!app1.startsWith(kExifHeader)) return 0;
  QByteArray copy = app1;
  const TiffBytes tiff(copy, kExifHeader.size());
  if (!tiff.valid()) return 0;
  for (const qint64 entry : tiff.Entries(tiff.FirstIfd()))
    if (tiff.Tag(entry) == kOrientationTag) return int(tiff.Number(entry).value_or(0));
  return 0;
}

QByteArray UprightExif(const QByteArray& app1, int width, int height) {
  if (!app1.startsWith(kExifHeader)) return {};
  QByteArray out = app1;
  TiffBytes tiff(out, kExifHeader.size());
  if (!tiff.valid()) return {};
  const qint64 ifd0 = tiff.FirstIfd();
  const QList<qint64> entries = tiff.Entries(ifd0);
  if (entries.isEmpty()) return {};
  for (const qint64 entry : entries) {
    if (tiff.Tag(entry) == kOrientationTag && !tiff.SetNumber(entry, 1)) return {};
    if (tiff.Tag(entry) != kExifIfdTag) continue;
    for (const qint64 sub : tiff.Entries(tiff.Number(entry).value_or(0))) {
      if (tiff.Tag(sub) == kPixelXTag) tiff.SetNumber(sub, uint32_t(width));
      if (tiff.Tag(sub) == kPixelYTag) tiff.SetNumber(sub, uint32_t(height));
    }
  }
  tiff.Put32(entries.back() + 12, 0);  // the next directory, IFD1, holds the thumbnail: unlinked
  return out;
}

}  // namespace brisel::filehost
