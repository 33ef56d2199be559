#include "file/pnm_picture.h"

#include <algorithm>

namespace brisel::filehost {
namespace {

// A PBM, PGM or PPM as it is stored: the header's bytes end at the one whitespace after its last number,
// where the raster begins. Plain (P1-P3) rasters are decimal numbers apart by whitespace (P1's digits need
// none); raw (P4-P6) ones are bits (P4, 1 is black, rows padded to a byte), bytes, or big-endian 16-bit
// words where maxval exceeds 255. Whatever follows the raster (a next picture) is kept as it is.
struct PnmLayout {
  char kind = 0;  // '1' .. '6'
  int64_t w = 0, h = 0;
  uint32_t maxval = 1;
  qsizetype raster = 0;  // where the raster begins
  bool plain() const { return kind <= '3'; }
  bool bits() const { return kind == '1' || kind == '4'; }
  int channels() const { return kind == '3' || kind == '6' ? 3 : 1; }
  int64_t rawRowBytes() const { return bits() ? (w + 7) / 8 : w * channels() * (maxval > 255 ? 2 : 1); }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads the next decimal number at at (comments and whitespace before it skipped); one digit only for a
// P1 raster. False where none is there, or it exceeds limit.
bool NextNumber(const QByteArray& bytes, qsizetype& at, uint32_t limit, uint32_t& value, bool oneDigit = false,
                qsizetype* start = nullptr) {
  const qsizetype n = bytes.size();
  while (at < n && (IsSpace(bytes[at]) || bytes[at] == '#')) {
    if (bytes[at] == '#')
      while (at < n && bytes[at] != '\n' && bytes[at] != '\r') ++at;
    else
      ++at;
  }
  if (at >= n || bytes[at] < '0' || bytes[at] > '9') return false;
  if (start) *start = at;
  uint64_t v = 0;
  do {
    v = v * 10 + uint64_t(bytes[at++] - '0');
    if (v > limit) return false;
  } while (!oneDigit && at < n && bytes[at] >= '0' && bytes[at] <= '9');
  value = uint32_t(v);
  return true;
}

// A sample of 0..maxval to 8 bits, rounded; and back.
uint8_t ToEight(uint32_t v, uint32_t maxval) { return uint8_t((std::min(v, maxval) * 255 + maxval / 2) / maxval); }
uint32_t FromEight(uint8_t v, uint32_t maxval) { return (uint32_t(v) * maxval + 127) / 255; }

// Grey as Qt's writer made it from colour (qGray), and black where that is darker than middle grey.
uint8_t GreyOf(uint8_t r, uint8_t g, uint8_t b) { return uint8_t((r * 11 + g * 16 + b * 5) / 32); }
bool BlackOf(uint8_t r, uint8_t g, uint8_t b) { return GreyOf(r, g, b) < 128; }

// Walks the raster sample by sample: visit(x, y, channel, value, offset, length) for each, offset and length
// locating the sample's text (plain) or bytes (raw; a P4 sample is one bit of the byte at offset, x % 8 from
// its top). False where the raster ends early or a plain sample is no number within maxval.
template <typename Visit>
bool WalkRaster(const PnmLayout& p, const QByteArray& bytes, Visit&& visit) {
  const int channels = p.channels();
  if (!p.plain()) {
    const int64_t rowBytes = p.rawRowBytes();
    if (p.raster + rowBytes * p.h > bytes.size()) return false;
    const uchar* data = reinterpret_cast<const uchar*>(bytes.constData());
    for (int64_t y = 0; y < p.h; ++y) {
      const qsizetype row = p.raster + qsizetype(y * rowBytes);
      for (int64_t x = 0; x < p.w; ++x) {
        if (p.bits()) {
          const qsizetype at = row + qsizetype(x / 8);
          visit(x, y, 0, uint32_t(data[at] >> (7 - x % 8) & 1), at, 1);
          continue;
        }
        for (int c = 0; c < channels; ++c) {
          if (p.maxval > 255) {
            const qsizetype at = row + qsizetype((x * channels + c) * 2);
            visit(x, y, c, uint32_t(data[at]) << 8 | data[at + 1], at, 2);
          } else {
            const qsizetype at = row + qsizetype(x * channels + c);
            visit(x, y, c, uint32_t(data[at]), at, 1);
          }
        }
      }
    }
    return true;
  }
  qsizetype at = p.raster;
  for (int64_t y = 0; y < p.h; ++y)
    for (int64_t x = 0; x < p.w; ++x)
      for (int c = 0; c < channels; ++c) {
        uint32_t v = 0;
        qsizetype start = 0;
        if (!NextNumber(bytes, at, p.maxval, v, p.bits(), &start)) return false;
        visit(x, y, c, v, start, at - start);
      }
  return true;
}

class PnmSource final : public PictureSource {
 public:
  PnmSource(QByteArray bytes, PnmLayout layout) : bytes_(std::move(bytes)), p_(layout) {}

  std::string Write(const Painting& painting, QByteArray& out) const override {
    // The value of channel c of a painted pixel as this file holds it.
    auto sample = [&](int64_t x, int64_t y, int c) -> uint32_t {
      const uint8_t r = painting.r(x, y), g = painting.g(x, y), b = painting.b(x, y);
      if (p_.bits()) return BlackOf(r, g, b) ? 1 : 0;
      if (p_.channels() == 1) return FromEight(GreyOf(r, g, b), p_.maxval);
      return FromEight(c == 0 ? r : c == 1 ? g : b, p_.maxval);
    };
    if (!p_.plain()) {
      out = bytes_;
      char* data = out.data();
      WalkRaster(p_, bytes_, [&](int64_t x, int64_t y, int c, uint32_t, qsizetype at, qsizetype length) {
        if (!painting.Painted(int32_t(x), int32_t(y))) return;
        const uint32_t v = sample(x, y, c);
        if (p_.bits())
          data[at] = char(v ? data[at] | (0x80 >> (x % 8)) : data[at] & ~(0x80 >> (x % 8)));
        else if (length == 2)
          data[at] = char(v >> 8), data[at + 1] = char(v);
        else
          data[at] = char(v);
      });
      return {};
    }
    // Plain: each painted sample's number is written anew; every other byte is copied, so the numbers'
    // widths and the line breaks between them stay.
    out.clear();
    out.reserve(bytes_.size() + bytes_.size() / 8);
    qsizetype copied = 0;
    WalkRaster(p_, bytes_, [&](int64_t x, int64_t y, int c, uint32_t, qsizetype at, qsizetype length) {
      if (!painting.Painted(int32_t(x), int32_t(y))) return;
      out.append(bytes_.constData() + copied, at - copied);
      out.append(QByteArray::number(sample(x, y, c)));
      copied = at + length;
    });
    out.append(bytes_.constData() + copied, bytes_.size() - copied);
    return {};
  }

  std::string WhatItCannotHold(const Painting& painting) const override {
    if (p_.channels() == 3) return {};
    const Painting::Box& box = painting.box();
    for (int32_t y = box.y0; y < box.y1; ++y)
      for (int32_t x = box.x0; x < box.x1; ++x) {
        if (!painting.Painted(x, y)) continue;
        const uint8_t r = painting.r(x, y), g = painting.g(x, y), b = painting.b(x, y);
        if (p_.bits() && !((r == 0 || r == 255) && r == g && g == b)) return "black and white";
        if (!p_.bits() && (r != g || g != b)) return "grey";
      }
    return {};
  }

  QByteArray format() const override { return p_.bits() ? "pbm" : p_.channels() == 1 ? "pgm" : "ppm"; }

 private:
  QByteArray bytes_;  // the file as read
  PnmLayout p_;
};

}  // namespace

DecodedPicture ReadPnm(const std::string& path, const QByteArray& bytes) {
  PnmLayout p;
  p.kind = bytes.size() >= 2 ? bytes[1] : 0;
  if (p.kind == '7')
    return Refused(path + " is a PAM picture (P7), which Brisel does not read; convert it to PNG first");
  if (p.kind < '1' || p.kind > '6') return Refused(path + " is not a picture in a format Brisel can read");
  qsizetype at = 2;
  uint32_t w = 0, h = 0;
  if (!NextNumber(bytes, at, 0x7fffffff, w) || !NextNumber(bytes, at, 0x7fffffff, h) ||
      (!p.bits() && !NextNumber(bytes, at, 65535, p.maxval)) || p.maxval == 0 || at >= bytes.size() ||
      !IsSpace(bytes[at]))
    return Refused(path + " cannot be decoded (its header is damaged); the file may be damaged or truncated");
  p.w = w, p.h = h, p.raster = at + 1;
  if (std::string why = SizeProblem(path, p.w, p.h); !why.empty()) return Refused(why);
  // A raster shorter than the header claims is refused before the planes are made for it: a plain
  // sample takes two bytes at least (P1's one).
  const int64_t samples = p.w * p.h * p.channels();
  const int64_t least = p.plain() ? (p.kind == '1' ? samples : 2 * samples - 1) : p.rawRowBytes() * p.h;
  const char* truncated = " cannot be decoded (its pixel data ends early); the file may be damaged or truncated";
  if (bytes.size() - p.raster < least) return Refused(path + truncated);

  DecodedPicture decoded;
  decoded.r = BytePlane(int32_t(p.w), int32_t(p.h));
  decoded.g = BytePlane(int32_t(p.w), int32_t(p.h));
  decoded.b = BytePlane(int32_t(p.w), int32_t(p.h));
  BytePlane* planes[3] = {&decoded.r, &decoded.g, &decoded.b};
  const bool ok = WalkRaster(p, bytes, [&](int64_t x, int64_t y, int c, uint32_t v, qsizetype, qsizetype) {
    const uint8_t eight = p.bits() ? (v ? 0 : 255) : ToEight(v, p.maxval);
    if (p.channels() == 3)
      (*planes[c])(int32_t(x), int32_t(y)) = eight;
    else
      decoded.r(int32_t(x), int32_t(y)) = decoded.g(int32_t(x), int32_t(y)) = decoded.b(int32_t(x), int32_t(y)) = eight;
  });
  if (!ok)
    return Refused(path + (p.plain() ? " cannot be decoded (a sample of its pixel data is no number up to its "
                                       "maximum, or the data ends early); the file may be damaged or truncated"
                                     : truncated));
  decoded.source = std::make_shared<PnmSource>(bytes, p);
  return decoded;
}

}  // namespace brisel::filehost
