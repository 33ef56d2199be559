#include "file/bmp_picture.h"

#include <QRgb>
#include <QtEndian>

#include <bit>
#include <unordered_map>
#include <vector>

namespace brisel::filehost {
namespace {

// A BMP as it is stored, little-endian throughout: a 14-byte file header ("BM", file size, 4 reserved
// bytes, where the pixels begin), an info header (12 bytes for the oldest, else 40, 52, 56, 64, 108 or
// 124), the channel masks after a 40-byte header, the palette (4 bytes an entry, blue green red and one
// unused; 3 after a 12-byte header), and the pixel rows, each padded to 4 bytes, the bottom row first
// unless the height is negative. A V5 header's embedded profile lies where its offset, counted from the
// info header, says: usually after the pixels.
struct BmpLayout {
  int64_t w = 0, h = 0;
  bool topDown = false;
  int bpp = 0;
  qsizetype pixels = 0;  // where the rows begin
  int64_t stride = 0;    // bytes a row
  std::vector<QRgb> palette;
  uint32_t masks[4] = {};  // red, green, blue, alpha, for 16 and 32 bits a pixel
  bool alphaUsed = false;  // some pixel's alpha is not 0: files whose alpha is 0 throughout show it opaque
  qsizetype rowAt(int64_t y) const { return pixels + qsizetype((topDown ? y : h - 1 - y) * stride); }
};

uint32_t U32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }
uint16_t U16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// A channel's field of pixel, to 8 bits, rounded; and an 8-bit value into mask's field.
uint8_t FieldToEight(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  const uint64_t most = mask >> std::countr_zero(mask);
  return uint8_t((uint64_t((pixel & mask) >> std::countr_zero(mask)) * 255 + most / 2) / most);
}
uint32_t EightToField(uint8_t v, uint32_t mask) {
  if (!mask) return 0;
  const uint64_t most = mask >> std::countr_zero(mask);
  return uint32_t((v * most + 127) / 255) << std::countr_zero(mask);
}

// The stored pixel value (a palette index, or the 16 or 32 bits; 24 bits as blue, green, red) at x of the row at.
uint32_t PixelAt(const BmpLayout& p, const QByteArray& bytes, qsizetype row, int64_t x) {
  const uchar* d = reinterpret_cast<const uchar*>(bytes.constData()) + row;
  switch (p.bpp) {
    case 1: case 2: case 4: {
      const int64_t bit = x * p.bpp;
      return uint32_t(d[bit / 8] >> (8 - p.bpp - bit % 8)) & ((1u << p.bpp) - 1);
    }
    case 8: return d[x];
    case 16: return U16(bytes, row + qsizetype(2 * x));
    case 24: return uint32_t(d[3 * x]) | uint32_t(d[3 * x + 1]) << 8 | uint32_t(d[3 * x + 2]) << 16;
    default: return U32(bytes, row + qsizetype(4 * x));
  }
}
void SetPixel(const BmpLayout& p, char* row, int64_t x, uint32_t v) {
  switch (p.bpp) {
    case 1: case 2: case 4: {
      const int64_t bit = x * p.bpp;
      const int shift = int(8 - p.bpp - bit % 8);
      const uint8_t mask = uint8_t(((1u << p.bpp) - 1) << shift);
      row[bit / 8] = char((uchar(row[bit / 8]) & ~mask) | (v << shift & mask));
      break;
    }
    case 8: row[x] = char(v); break;
    case 16: qToLittleEndian<quint16>(quint16(v), row + 2 * x); break;
    case 24: row[3 * x] = char(v), row[3 * x + 1] = char(v >> 8), row[3 * x + 2] = char(v >> 16); break;
    default: qToLittleEndian<quint32>(v, row + 4 * x);
  }
}

// The colour and alpha of a stored pixel value.
QRgb ColourOf(const BmpLayout& p, uint32_t v) {
  if (p.bpp <= 8) return v < p.palette.size() ? p.palette[v] : qRgb(0, 0, 0);
  if (p.bpp == 24) return qRgb(int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255));
  const int a = p.alphaUsed ? FieldToEight(v, p.masks[3]) : 255;
  return qRgba(FieldToEight(v, p.masks[0]), FieldToEight(v, p.masks[1]), FieldToEight(v, p.masks[2]), a);
}

class BmpSource final : public PictureSource {
 public:
  BmpSource(QByteArray bytes, BmpLayout layout) : bytes_(std::move(bytes)), p_(std::move(layout)) {}

  std::string Write(const Painting& painting, QByteArray& out) const override {
    std::unordered_map<QRgb, uint32_t> index;  // a colour to the first palette entry holding it
    for (size_t i = p_.palette.size(); i-- > 0;) index[p_.palette[i]] = uint32_t(i);
    const uint32_t fields = p_.masks[0] | p_.masks[1] | p_.masks[2] | (p_.alphaUsed ? p_.masks[3] : 0);
    out = bytes_;
    const Painting::Box& box = painting.box();
    for (int32_t y = box.y0; y < box.y1; ++y) {
      char* row = out.data() + p_.rowAt(y);
      for (int32_t x = box.x0; x < box.x1; ++x) {
        if (!painting.Painted(x, y)) continue;
        const uint8_t r = painting.r(x, y), g = painting.g(x, y), b = painting.b(x, y);
        if (p_.bpp <= 8) {
          const auto found = index.find(qRgb(r, g, b));
          if (found == index.end()) return WriteAsRgb(painting, out);
          SetPixel(p_, row, x, found->second);
        } else if (p_.bpp == 24) {
          SetPixel(p_, row, x, uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16);
        } else {
          // Bits outside the channels' masks are kept; a painted pixel is opaque.
          const uint32_t kept = PixelAt(p_, bytes_, p_.rowAt(y), x) & ~fields;
          SetPixel(p_, row, x, kept | EightToField(r, p_.masks[0]) | EightToField(g, p_.masks[1]) |
                                   EightToField(b, p_.masks[2]) | (p_.alphaUsed ? p_.masks[3] : 0));
        }
      }
    }
    return {};
  }

  QByteArray format() const override { return "bmp"; }

 private:
  // A palette picture painted in a colour outside its palette, as 24 bits a pixel: its headers as they were
  // but for the depth and sizes, no palette, its rows in their order, and a V5 header's profile after them.
  std::string WriteAsRgb(const Painting& painting, QByteArray& out) const {
    const uint32_t infoSize = U32(bytes_, 14);
    const int64_t stride = (p_.w * 24 + 31) / 32 * 4;
    out = bytes_.left(14 + infoSize);
    if (infoSize == 12) {
      qToLittleEndian<quint16>(24, out.data() + 24);
    } else {
      qToLittleEndian<quint16>(24, out.data() + 28);
      qToLittleEndian<quint32>(0, out.data() + 30);                       // no compression
      qToLittleEndian<quint32>(quint32(stride * p_.h), out.data() + 34);  // the pixels' size
      qToLittleEndian<quint32>(0, out.data() + 46);                       // colours used
      qToLittleEndian<quint32>(0, out.data() + 50);                       // colours important
    }
    qToLittleEndian<quint32>(quint32(out.size()), out.data() + 10);
    const qsizetype pixels = out.size();
    out.append(QByteArray(qsizetype(stride * p_.h), '\0'));
    BmpLayout rgb = p_;
    rgb.bpp = 24, rgb.stride = stride, rgb.pixels = pixels;
    for (int64_t y = 0; y < p_.h; ++y) {
      const qsizetype from = p_.rowAt(y);
      char* to = out.data() + rgb.rowAt(y);
      for (int64_t x = 0; x < p_.w; ++x) {
        const QRgb c = painting.Painted(int32_t(x), int32_t(y))
                           ? qRgb(painting.r(x, y), painting.g(x, y), painting.b(x, y))
                           : ColourOf(p_, PixelAt(p_, bytes_, from, x));
        SetPixel(rgb, to, x, uint32_t(qBlue(c)) | uint32_t(qGreen(c)) << 8 | uint32_t(qRed(c)) << 16);
      }
    }
    const uint32_t space = infoSize >= 124 ? U32(bytes_, 14 + 56) : 0;
    if (space == 0x4D424544 || space == 0x4C494E4B) {  // 'MBED' a profile, 'LINK' its file's name
      const uint32_t at = U32(bytes_, 14 + 112), size = U32(bytes_, 14 + 116);
      if (uint64_t(at) + 14 + size <= uint64_t(bytes_.size())) {
        qToLittleEndian<quint32>(quint32(out.size() - 14), out.data() + 14 + 112);
        out.append(bytes_.mid(14 + at, size));
      }
    }
    qToLittleEndian<quint32>(quint32(out.size()), out.data() + 2);
    return {};
  }

  QByteArray bytes_;  // the file as read
  BmpLayout p_;
};

}  // namespace

DecodedPicture ReadBmp(const std::string& path, const QByteArray& bytes) {
  const std::string damaged = path + " cannot be decoded (its headers are damaged); the file may be damaged or truncated";
  if (bytes.size() < 26) return Refused(damaged);
  const uint32_t infoSize = U32(bytes, 14);
  if ((infoSize != 12 && infoSize < 40) || infoSize > 4096 || bytes.size() < 14 + qsizetype(infoSize))
    return Refused(damaged);
  BmpLayout p;
  uint32_t compression = 0, colours = 0;
  if (infoSize == 12) {
    p.w = U16(bytes, 18), p.h = U16(bytes, 20), p.bpp = U16(bytes, 24);
  } else {
    p.w = int32_t(U32(bytes, 18)), p.h = int32_t(U32(bytes, 22)), p.bpp = U16(bytes, 28);
    compression = U32(bytes, 30), colours = U32(bytes, 46);
  }
  if (p.h < 0) p.topDown = true, p.h = -p.h;
  if (std::string why = SizeProblem(path, p.w, p.h); !why.empty()) return Refused(why);
  if (compression == 1 || compression == 2 || (infoSize == 64 && compression != 0))
    return Refused(path + " is a run-length compressed BMP, which Brisel would write back uncompressed: save it "
                          "uncompressed (or as PNG) first");
  if (compression == 4 || compression == 5)
    return Refused(path + " is a BMP that holds a JPEG or PNG picture; save that picture as a JPEG or PNG first");
  const bool bitfields = compression == 3 || compression == 6;
  if (compression > 6 || (bitfields && p.bpp != 16 && p.bpp != 32))
    return Refused(path + " is a BMP in a compression Brisel does not read; convert it to PNG first");
  if (p.bpp != 1 && p.bpp != 2 && p.bpp != 4 && p.bpp != 8 && p.bpp != 16 && p.bpp != 24 && p.bpp != 32)
    return Refused(path + " is a BMP of " + std::to_string(p.bpp) + " bits a pixel, which Brisel does not read; "
                          "convert it to PNG first");

  // The masks stand in the header from 52 bytes on, after a 40-byte one: at the same place either way.
  qsizetype paletteAt = 14 + infoSize;
  if (bitfields) {
    const int count = compression == 6 || infoSize >= 56 ? 4 : 3;
    if (infoSize == 40) paletteAt += 4 * count;
    if (bytes.size() < 54 + 4 * count) return Refused(damaged);
    for (int c = 0; c < count; ++c) p.masks[c] = U32(bytes, 54 + 4 * c);
    for (uint32_t mask : p.masks)
      if (mask && std::popcount(mask >> std::countr_zero(mask)) != std::countr_one(mask >> std::countr_zero(mask)))
        return Refused(path + " is a BMP whose channel masks are not runs of bits; convert it to PNG first");
  } else if (p.bpp == 16) {
    p.masks[0] = 0x7C00, p.masks[1] = 0x03E0, p.masks[2] = 0x001F;
  } else if (p.bpp == 32) {
    p.masks[0] = 0xFF0000, p.masks[1] = 0xFF00, p.masks[2] = 0xFF;  // the fourth byte unused
  }
  if (p.bpp <= 8) {
    const int entry = infoSize == 12 ? 3 : 4;
    const qsizetype count = colours && colours < (1u << p.bpp) ? colours : qsizetype(1) << p.bpp;
    const qsizetype held = std::min(count, (bytes.size() - paletteAt) / entry);
    if (held <= 0) return Refused(damaged);
    for (qsizetype i = 0; i < held; ++i) {
      const uchar* e = reinterpret_cast<const uchar*>(bytes.constData()) + paletteAt + i * entry;
      p.palette.push_back(qRgb(e[2], e[1], e[0]));
    }
  }
  p.pixels = U32(bytes, 10);
  p.stride = (p.w * p.bpp + 31) / 32 * 4;
  if (p.pixels < 14 + qsizetype(infoSize) || p.pixels > bytes.size() || (bytes.size() - p.pixels) / p.stride < p.h)
    return Refused(path + " cannot be decoded (its pixel data ends early); the file may be damaged or truncated");

  DecodedPicture decoded;
  const int32_t w = int32_t(p.w), h = int32_t(p.h);
  decoded.r = BytePlane(w, h), decoded.g = BytePlane(w, h), decoded.b = BytePlane(w, h);
  for (int pass = 0; pass < 2; ++pass) {  // the second where alpha is used: laid on white
    for (int32_t y = 0; y < h; ++y) {
      const qsizetype row = p.rowAt(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t v = PixelAt(p, bytes, row, x);
        if (pass == 0 && p.masks[3] && (v & p.masks[3])) p.alphaUsed = true;
        const QRgb c = ColourOf(p, v);
        const int a = qAlpha(c);
        decoded.r(x, y) = OnWhite(qRed(c), a), decoded.g(x, y) = OnWhite(qGreen(c), a);
        decoded.b(x, y) = OnWhite(qBlue(c), a);
      }
    }
    if (!p.alphaUsed) break;
  }
  decoded.source = std::make_shared<BmpSource>(bytes, std::move(p));
  return decoded;
}

}  // namespace brisel::filehost
