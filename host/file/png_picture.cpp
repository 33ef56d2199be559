// A PNG written back is its own chunks in their order, byte for byte, but for its image data (IDAT), which
// libpng encodes anew from the samples as stored with the painted pixels in place. The header (IHDR) keeps
// its model, depth and interlacing while the painting fits them; where it does not (colour on grey, a
// colour outside the palette, a grey not among a shallow depth's values, a painted pixel of the key's
// colour), the picture moves to the smallest model that holds the painting and every unpainted sample
// exactly, and the chunks that describe samples of the old model (tRNS, sBIT, bKGD, a grey iCCP) follow it.
#include "file/png_picture.h"

#include <png.h>
#include <zlib.h>

#include <QtEndian>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "file/picture_io.h"

namespace brisel::filehost {
namespace {

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

// The colour models of the header (PNG's colour types).
enum ColourType : int { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

int ChannelsOf(int colourType) {
  return colourType == kRgb ? 3 : colourType == kGreyAlpha ? 2 : colourType == kRgba ? 4 : 1;
}
bool HasAlpha(int colourType) { return colourType == kGreyAlpha || colourType == kRgba; }

// A colour model and depth: what the header says of the pixels.
struct Model {
  int colourType = kRgb;
  int depth = 8;  // bits a sample: 1, 2, 4, 8 or 16 (an index's bits for a palette)
  bool operator==(const Model& o) const { return colourType == o.colourType && depth == o.depth; }
  uint16_t max() const { return uint16_t((1u << depth) - 1); }
};

// A sample of depth `from` at depth `to`, where to >= from and both are at most 8, or both 16: the
// values of 1, 2 and 4 bits are exact multiples at every deeper depth (255 = 3 * 85 = 15 * 17).
uint16_t Scaled(uint16_t v, int from, int to) {
  if (from == to) return v;
  return uint16_t(v * ((1u << to) - 1) / ((1u << from) - 1));
}

// One chunk of the file: bytes [at, at + 12 + length) hold length, type, data and CRC.
struct Chunk {
  QByteArray type;
  qsizetype at = 0;
  qsizetype length = 0;
};

QByteArray BigEndian16(uint16_t v) {
  const char b[2] = {char(v >> 8), char(v)};
  return QByteArray(b, 2);
}
QByteArray BigEndian32(uint32_t v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  return QByteArray(b, 4);
}

QByteArray MakeChunk(const QByteArray& type, const QByteArray& data) {
  const QByteArray body = type + data;
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
  return BigEndian32(uint32_t(data.size())) + body + BigEndian32(uint32_t(crc));
}

// The chunks of bytes up to IEND, CRCs checked; the offset after IEND goes to end. Empty on success, else
// why the file is damaged (a phrase).
std::string WalkChunks(const QByteArray& bytes, std::vector<Chunk>& chunks, qsizetype& end) {
  const uchar* p = reinterpret_cast<const uchar*>(bytes.constData());
  for (qsizetype i = kSignature.size();;) {
    if (i + 12 > bytes.size()) return "it ends before its IEND chunk: the file is truncated";
    const quint32 length = qFromBigEndian<quint32>(p + i);
    if (length > 0x7fffffffu || qsizetype(length) > bytes.size() - i - 12)
      return "it ends inside its " + bytes.mid(i + 4, 4).toStdString() + " chunk: the file is truncated or damaged";
    const uLong crc = crc32(crc32(0, nullptr, 0), p + i + 4, uInt(length + 4));
    const QByteArray type = bytes.mid(i + 4, 4);
    if (crc != qFromBigEndian<quint32>(p + i + 8 + length))
      return "the checksum (CRC) of its " + type.toStdString() + " chunk is wrong: the file is damaged";
    chunks.push_back({type, i, qsizetype(length)});
    i += 12 + qsizetype(length);
    if (type == "IEND") {
      end = i;
      return {};
    }
  }
}

// --- libpng, which leaves a failure by longjmp: the functions that call it own nothing with a destructor.

struct PngIo {
  const uchar* data = nullptr;  // reading: the file; writing: none
  size_t size = 0, at = 0;
  QByteArray* out = nullptr;    // writing: the bytes written
  bool outOfMemory = false;
  char message[160] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
  std::snprintf(io->message, sizeof io->message, "%s", message);
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep data, size_t length) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (length > io->size - io->at) png_error(png, "the file ends inside its image data");
  std::memcpy(data, io->data + io->at, length);
  io->at += length;
}

void AppendPngBytes(png_structp png, png_bytep data, size_t length) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  try {
    io->out->append(reinterpret_cast<const char*>(data), qsizetype(length));
  } catch (const std::bad_alloc&) {
    io->outOfMemory = true;
  }
  if (io->outOfMemory) png_error(png, "not enough memory");  // outside the handler: no exception left behind
}
void FlushPngBytes(png_structp) {}

// The header, palette and transparency of the picture, as libpng read them.
struct Header {
  uint32_t width = 0, height = 0;
  Model model;
  bool interlaced = false;
  std::vector<std::array<uint8_t, 3>> palette;
  std::vector<uint8_t> paletteAlpha;  // the tRNS alpha of the first entries
  bool hasKey = false;                // tRNS: a grey or RGB value that stands for transparent
  uint16_t key[3] = {};               // grey in key[0]; red, green, blue
};

bool ReadHeader(png_structp png, png_infop info, Header& h) {
  if (setjmp(png_jmpbuf(png))) return false;
  // libpng needs only the chunks that tell the pixels; the others are kept as bytes, unread.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_check_for_invalid_index(png, 0);  // an index beyond the palette is shown black, and kept
  png_read_info(png, info);
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &h.width, &h.height, &depth, &colourType, &interlace, nullptr, nullptr);
  h.model = {colourType, depth};
  h.interlaced = interlace != PNG_INTERLACE_NONE;
  png_colorp colours = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &colours, &count))
    for (int i = 0; i < count; ++i) h.palette.push_back({colours[i].red, colours[i].green, colours[i].blue});
  png_bytep alpha = nullptr;
  png_color_16p key = nullptr;
  if (png_get_tRNS(png, info, &alpha, &count, &key)) {
    if (colourType == kPalette && alpha) h.paletteAlpha.assign(alpha, alpha + count);
    if ((colourType == kGrey || colourType == kRgb) && key) {
      h.hasKey = true;
      h.key[0] = colourType == kGrey ? key->gray : key->red, h.key[1] = key->green, h.key[2] = key->blue;
    }
  }
  // Samples as stored, one byte each below 8 bits (unscaled), two big-endian bytes at 16.
  if (depth < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

// The pixels as stored: width x height pixels of the model's channels, a sample a byte below 16 bits, two
// bytes big-endian at 16.
struct Samples {
  int32_t width = 0, height = 0;
  Model model;
  std::vector<uint8_t> bytes;

  size_t stride() const { return size_t(width) * ChannelsOf(model.colourType) * (model.depth == 16 ? 2 : 1); }
  const uint8_t* row(int32_t y) const { return bytes.data() + size_t(y) * stride(); }
  uint16_t at(const uint8_t* row, size_t i) const {
    return model.depth == 16 ? uint16_t(row[2 * i] << 8 | row[2 * i + 1]) : row[i];
  }
};

class PngSource final : public PictureSource {
 public:
  PngSource(QByteArray bytes, std::vector<Chunk> chunks, qsizetype end, Header header, Samples samples)
      : bytes_(std::move(bytes)), chunks_(std::move(chunks)), end_(end), header_(std::move(header)),
        samples_(std::move(samples)) {
    // A palette may hold a colour twice: the first opaque entry stands for it.
    for (size_t i = header_.palette.size(); i-- > 0;)
      if (i >= header_.paletteAlpha.size() || header_.paletteAlpha[i] == 255)
        opaqueIndex_[uint32_t(header_.palette[i][0] << 16 | header_.palette[i][1] << 8 | header_.palette[i][2])] = uint8_t(i);
  }

  std::string Write(const Painting& painting, QByteArray& bytes) const override;
  QByteArray format() const override { return "png"; }

  // The picture laid on white, 8 bits a channel, into r, g and b.
  void Planes(BytePlane& r, BytePlane& g, BytePlane& b) const;

 private:
  using Pixel = std::array<uint16_t, 4>;  // the samples of one pixel, in the order of its model's channels
  Pixel Stored(const uint8_t* row, int32_t x) const;
  bool Keyed(const Pixel& p) const;
  Model TargetFor(const Painting& painting) const;
  Pixel Convert(const Pixel& p, const Model& to) const;
  static Pixel Project(uint16_t r, uint16_t g, uint16_t b, uint16_t a, int colourType);
  void ComposeRow(const Painting& painting, const Model& to, int32_t y, uint8_t* out) const;
  bool OpaqueThroughout() const;
  bool EncodeRows(png_structp png, png_infop info, const Painting& painting, const Model& to, uint8_t* row) const;
  QByteArray Ancillary(const Chunk& chunk, const Model& to) const;

  QByteArray bytes_;  // the file as read
  std::vector<Chunk> chunks_;
  qsizetype end_;     // the end of IEND; what follows it is kept as it is
  Header header_;
  Samples samples_;
  std::unordered_map<uint32_t, uint8_t> opaqueIndex_;  // 0xRRGGBB to the palette's entry of that colour
};

PngSource::Pixel PngSource::Stored(const uint8_t* row, int32_t x) const {
  const int n = ChannelsOf(samples_.model.colourType);
  Pixel p{};
  for (int c = 0; c < n; ++c) p[c] = samples_.at(row, size_t(x) * n + c);
  return p;
}

bool PngSource::Keyed(const Pixel& p) const {
  if (!header_.hasKey) return false;
  if (samples_.model.colourType == kGrey) return p[0] == header_.key[0];
  return p[0] == header_.key[0] && p[1] == header_.key[1] && p[2] == header_.key[2];
}

void PngSource::Planes(BytePlane& r, BytePlane& g, BytePlane& b) const {
  const Model rgba{kRgba, samples_.model.depth == 16 ? 16 : 8};
  auto eight = [&](uint16_t v) { return rgba.depth == 16 ? EightBits(v) : uint8_t(v); };
  for (int32_t y = 0; y < samples_.height; ++y) {
    const uint8_t* row = samples_.row(y);
    uint8_t *pr = r.row(y), *pg = g.row(y), *pb = b.row(y);
    for (int32_t x = 0; x < samples_.width; ++x) {
      const Pixel p = Convert(Stored(row, x), rgba);
      const int alpha = eight(p[3]);
      pr[x] = OnWhite(eight(p[0]), alpha), pg[x] = OnWhite(eight(p[1]), alpha), pb[x] = OnWhite(eight(p[2]), alpha);
    }
  }
}

// An 8-bit grey value at depth, where it is one of that depth's values.
uint16_t GreyAt(uint8_t v, int depth) {
  return depth == 16 ? SixteenBits(v) : depth == 8 ? v : uint16_t(v / (255 / ((1 << depth) - 1)));
}

// The model the painting is written in: the file's own while the painted pixels fit it, else the smallest
// that holds them and keeps every unpainted pixel as it is, its transparency included.
Model PngSource::TargetFor(const Painting& painting) const {
  const Model from = samples_.model;
  const Painting::Box& box = painting.box();
  auto anyPainted = [&](auto&& test) {
    for (int32_t y = box.y0; y < box.y1; ++y)
      for (int32_t x = box.x0; x < box.x1; ++x)
        if (painting.Painted(x, y) && test(painting.r(x, y), painting.g(x, y), painting.b(x, y))) return true;
    return false;
  };
  const int deep = from.depth == 16 ? 16 : 8;
  switch (from.colourType) {
    case kGrey: {
      int depth = from.depth;
      if (!painting.PaintedGrey()) depth = deep;
      while (depth < 8 && anyPainted([&](uint8_t v, uint8_t, uint8_t) { return v % (255 / ((1 << depth) - 1)) != 0; }))
        depth *= 2;
      // A painted pixel of the key's colour would turn transparent: then the key goes into an alpha channel.
      const uint16_t key = Scaled(header_.key[0], from.depth, depth);
      const bool hitsKey = header_.hasKey && anyPainted([&](uint8_t r, uint8_t g, uint8_t b) {
        return GreyAt(r, depth) == key && r == g && g == b;
      });
      if (!painting.PaintedGrey()) return {hitsKey ? kRgba : kRgb, deep};
      return hitsKey ? Model{kGreyAlpha, deep} : Model{kGrey, depth};
    }
    case kGreyAlpha:
      return painting.PaintedGrey() ? from : Model{kRgba, from.depth};
    case kPalette: {
      if (!anyPainted([&](uint8_t r, uint8_t g, uint8_t b) { return !opaqueIndex_.count(uint32_t(r << 16 | g << 8 | b)); }))
        return from;
      // An unpainted pixel that shows through keeps its transparency in an alpha channel.
      for (int32_t y = 0; y < samples_.height; ++y) {
        const uint8_t* row = samples_.row(y);
        for (int32_t x = 0; x < samples_.width; ++x)
          if (row[x] < header_.paletteAlpha.size() && header_.paletteAlpha[row[x]] != 255 && !painting.Painted(x, y))
            return {kRgba, 8};
      }
      return {kRgb, 8};
    }
    case kRgb: {
      const bool hitsKey = header_.hasKey && anyPainted([&](uint8_t r, uint8_t g, uint8_t b) {
        auto at = [&](uint8_t v) { return from.depth == 16 ? SixteenBits(v) : uint16_t(v); };
        return at(r) == header_.key[0] && at(g) == header_.key[1] && at(b) == header_.key[2];
      });
      return hitsKey ? Model{kRgba, from.depth} : from;
    }
    default:
      return from;
  }
}


// The pixel p, stored in the file's model, in model to (at its depth): deeper samples are exact
// multiples, a key or a palette's transparency goes into the alpha channel.
PngSource::Pixel PngSource::Convert(const Pixel& p, const Model& to) const {
  const Model& from = samples_.model;
  uint16_t r = 0, g = 0, b = 0, a = to.max();
  switch (from.colourType) {
    case kGrey:
      r = g = b = Scaled(p[0], from.depth, to.depth);
      if (Keyed(p)) a = 0;
      break;
    case kGreyAlpha:
      r = g = b = p[0], a = p[1];
      break;
    case kPalette:
      if (to.colourType == kPalette) return p;
      // An index beyond the palette is an error of the file's writer: shown black, and kept.
      if (p[0] < header_.palette.size()) r = header_.palette[p[0]][0], g = header_.palette[p[0]][1], b = header_.palette[p[0]][2];
      if (p[0] < header_.paletteAlpha.size()) a = header_.paletteAlpha[p[0]];
      break;
    case kRgb:
      r = p[0], g = p[1], b = p[2];
      if (Keyed(p)) a = 0;
      break;
    default:
      r = p[0], g = p[1], b = p[2], a = p[3];
  }
  return Project(r, g, b, a, to.colourType);
}

PngSource::Pixel PngSource::Project(uint16_t r, uint16_t g, uint16_t b, uint16_t a, int colourType) {
  switch (colourType) {
    case kGrey:
    case kPalette:
      return {r, 0, 0, 0};
    case kGreyAlpha:
      return {r, a, 0, 0};
    case kRgb:
      return {r, g, b, 0};
    default:
      return {r, g, b, a};
  }
}

// Row y as written in model to: unpainted pixels as stored (in to's model), painted ones opaque.
void PngSource::ComposeRow(const Painting& painting, const Model& to, int32_t y, uint8_t* out) const {
  const Model& from = samples_.model;
  const int n = ChannelsOf(to.colourType);
  const bool deep = to.depth == 16;
  auto put = [&](int32_t x, const Pixel& p) {
    for (int c = 0; c < n; ++c) {
      const size_t i = size_t(x) * n + c;
      if (deep)
        out[2 * i] = uint8_t(p[c] >> 8), out[2 * i + 1] = uint8_t(p[c]);
      else
        out[i] = uint8_t(p[c]);
    }
  };
  const uint8_t* row = samples_.row(y);
  if (to == from) {
    std::memcpy(out, row, samples_.stride());
  } else {
    for (int32_t x = 0; x < samples_.width; ++x) put(x, Convert(Stored(row, x), to));
  }
  const Painting::Box& box = painting.box();
  if (y < box.y0 || y >= box.y1) return;
  for (int32_t x = box.x0; x < box.x1; ++x) {
    if (!painting.Painted(x, y)) continue;
    const uint8_t r = painting.r(x, y), g = painting.g(x, y), b = painting.b(x, y);
    if (to.colourType == kPalette) {
      put(x, {opaqueIndex_.at(uint32_t(r << 16 | g << 8 | b)), 0, 0, 0});
    } else if (to.colourType == kGrey || to.colourType == kGreyAlpha) {
      put(x, Project(GreyAt(r, to.depth), 0, 0, to.max(), to.colourType));
    } else {
      auto at = [&](uint8_t v) { return deep ? SixteenBits(v) : uint16_t(v); };
      put(x, Project(at(r), at(g), at(b), to.max(), to.colourType));
    }
  }
}

// Whether the file has an alpha channel and every pixel is opaque in it.
bool PngSource::OpaqueThroughout() const {
  const int n = ChannelsOf(samples_.model.colourType);
  if (!HasAlpha(samples_.model.colourType)) return false;
  for (int32_t y = 0; y < samples_.height; ++y) {
    const uint8_t* row = samples_.row(y);
    for (int32_t x = 0; x < samples_.width; ++x)
      if (samples_.at(row, size_t(x) * n + n - 1) != samples_.model.max()) return false;
  }
  return true;
}

// The new image data, through libpng (a whole PNG, whose IDAT chunks are taken): its own filter choice
// (adaptive; none for palettes and below 8 bits) and zlib's default level, as Qt's writer had. An alpha
// channel opaque throughout (which Qt's writer dropped) makes zlib's match search crawl through its runs,
// at 2.5 (8 bits) to 6 times (16 bits) the time of the picture without it: run-length matching writes it
// in less time than Qt took without the channel, as small for photographs, up to 60 % larger for flat
// drawings. libpng leaves a failure by longjmp: nothing here has a destructor.
bool PngSource::EncodeRows(png_structp png, png_infop info, const Painting& painting, const Model& to,
                           uint8_t* row) const {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, header_.width, header_.height, to.depth, to.colourType,
               header_.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (to.colourType == kPalette) {
    png_color colours[256];
    const size_t count = std::min<size_t>(header_.palette.size(), 256);
    for (size_t i = 0; i < count; ++i) colours[i] = {header_.palette[i][0], header_.palette[i][1], header_.palette[i][2]};
    png_set_PLTE(png, info, colours, int(count));
  }
  if (to == samples_.model && OpaqueThroughout()) png_set_compression_strategy(png, Z_RLE);
  png_set_check_for_invalid_index(png, 0);  // an unpainted index beyond the palette stays as it was
  png_write_info(png, info);
  if (to.depth < 8) png_set_packing(png);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < header_.height; ++y) {
      ComposeRow(painting, to, int32_t(y), row);
      png_write_row(png, row);
    }
  png_write_end(png, nullptr);
  return true;
}

// Chunk as written in model to: as it is where the model stays; else what belongs to the model follows it
// (empty: dropped), and the rest stays as it is.
QByteArray PngSource::Ancillary(const Chunk& chunk, const Model& to) const {
  const QByteArray whole = bytes_.mid(chunk.at, 12 + chunk.length);
  const Model& from = samples_.model;
  if (to == from) return whole;
  const QByteArray data = bytes_.mid(chunk.at + 8, chunk.length);
  const uchar* d = reinterpret_cast<const uchar*>(data.constData());
  const bool colour = to.colourType == kRgb || to.colourType == kRgba;
  if (chunk.type == "tRNS") {
    // An alpha channel now holds the transparency; a grey key stays one, at the new depth.
    if (HasAlpha(to.colourType) || from.colourType != kGrey || data.size() != 2) return {};
    const QByteArray key = BigEndian16(Scaled(qFromBigEndian<quint16>(d), from.depth, to.depth));
    return MakeChunk("tRNS", colour ? key + key + key : key);
  }
  if (chunk.type == "sBIT") {
    // The significant bits of each channel; an alpha channel new to the file has all its bits.
    const int n = from.colourType == kPalette ? 3 : ChannelsOf(from.colourType);
    if (data.size() != n) return {};
    const char grey = data[0], alpha = HasAlpha(from.colourType) ? data[n - 1] : char(to.depth);
    const QByteArray rgb = from.colourType == kGrey || from.colourType == kGreyAlpha ? QByteArray(3, grey) : data.left(3);
    switch (to.colourType) {
      case kGrey: return MakeChunk("sBIT", data);
      case kGreyAlpha: return MakeChunk("sBIT", QByteArray(1, grey) + alpha);
      case kRgb: return MakeChunk("sBIT", rgb);
      default: return MakeChunk("sBIT", rgb + alpha);
    }
  }
  if (chunk.type == "bKGD") {
    // A background of grey, at the new depth; a palette's index, as its colour.
    QByteArray grey;
    if ((from.colourType == kGrey || from.colourType == kGreyAlpha) && data.size() == 2)
      grey = BigEndian16(Scaled(qFromBigEndian<quint16>(d), from.depth, to.depth));
    if (!grey.isEmpty()) return MakeChunk("bKGD", colour ? grey + grey + grey : grey);
    if (from.colourType == kPalette && data.size() == 1 && d[0] < header_.palette.size()) {
      const auto& c = header_.palette[d[0]];
      return MakeChunk("bKGD", BigEndian16(c[0]) + BigEndian16(c[1]) + BigEndian16(c[2]));
    }
    return from.colourType == kRgb && data.size() == 6 ? whole : QByteArray();
  }
  // A grey picture's profile is a grey one, which a colour picture cannot carry.
  if (chunk.type == "iCCP" && colour && (from.colourType == kGrey || from.colourType == kGreyAlpha)) return {};
  return whole;
}

std::string PngSource::Write(const Painting& painting, QByteArray& bytes) const {
  bytes.clear();
  const Model to = TargetFor(painting);
  QByteArray encoded;
  PngIo io;
  io.out = &encoded;
  std::vector<uint8_t> row(size_t(header_.width) * 8);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return "not enough memory";
  }
  png_set_write_fn(png, &io, AppendPngBytes, FlushPngBytes);
  const bool done = EncodeRows(png, info, painting, to, row.data());
  png_destroy_write_struct(&png, &info);
  if (!done) return io.outOfMemory || std::strstr(io.message, "memory") ? "not enough memory" : std::string("libpng: ") + io.message;

  std::vector<Chunk> made;
  qsizetype madeEnd = 0;
  if (!WalkChunks(encoded, made, madeEnd).empty()) return "libpng wrote a PNG that cannot be read back";
  QByteArray ihdr, idats;
  for (const Chunk& c : made) {
    if (c.type == "IHDR") ihdr = encoded.mid(c.at, 12 + c.length);
    if (c.type == "IDAT") idats += encoded.mid(c.at, 12 + c.length);
  }
  bytes = kSignature;
  bool idatsPut = false;
  for (const Chunk& c : chunks_) {
    if (c.type == "IHDR") {
      bytes += to == samples_.model ? bytes_.mid(c.at, 12 + c.length) : ihdr;
    } else if (c.type == "IDAT") {
      if (!idatsPut) bytes += idats;
      idatsPut = true;
    } else {
      bytes += Ancillary(c, to);
    }
  }
  bytes += bytes_.mid(end_);
  return {};
}

}  // namespace

DecodedPicture ReadPng(const std::string& path, const QByteArray& bytes) {
  if (!bytes.startsWith(kSignature)) return Refused(path + " is not a PNG picture: it lacks the PNG signature");
  std::vector<Chunk> chunks;
  qsizetype end = 0;
  if (const std::string why = WalkChunks(bytes, chunks, end); !why.empty())
    return Refused(path + " cannot be decoded: " + why);
  const Chunk& first = chunks.front();
  if (first.type != "IHDR" || first.length != 13)
    return Refused(path + " cannot be decoded: it does not begin with its header (IHDR) chunk; the file is damaged");
  const uchar* ihdr = reinterpret_cast<const uchar*>(bytes.constData()) + first.at + 8;
  if (const std::string why = SizeProblem(path, qFromBigEndian<quint32>(ihdr), qFromBigEndian<quint32>(ihdr + 4));
      !why.empty())
    return Refused(why);
  for (const Chunk& c : chunks)
    if (c.type == "acTL" && c.length >= 4) {
      const quint32 frames = qFromBigEndian<quint32>(bytes.constData() + c.at + 8);
      if (frames > 1)
        return Refused(path + " is an animated PNG of " + std::to_string(frames) +
                       " frames; Brisel writes back one picture and would drop the others: save the frame to paint "
                       "as a PNG of its own first");
    }

  PngIo io;
  io.data = reinterpret_cast<const uchar*>(bytes.constData()), io.size = size_t(bytes.size());
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  struct Release {
    png_structp& png;
    png_infop& info;
    ~Release() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
  } release{png, info};
  if (!info) return Refused(path + " cannot be decoded: not enough memory");
  png_set_read_fn(png, &io, ReadPngBytes);
  auto damaged = [&] {
    return Refused(path + " cannot be decoded (" + io.message + "); the file is damaged or truncated");
  };
  Header header;
  if (!ReadHeader(png, info, header)) return damaged();

  Samples samples;
  samples.width = int32_t(header.width), samples.height = int32_t(header.height), samples.model = header.model;
  if (png_get_rowbytes(png, info) != samples.stride())
    return Refused(path + " cannot be decoded: its rows are not as its header says; the file is damaged");
  DecodedPicture decoded;
  std::vector<png_bytep> rows;
  try {
    samples.bytes.resize(samples.stride() * header.height);
    rows.resize(header.height);
    decoded.r = BytePlane(samples.width, samples.height);
    decoded.g = BytePlane(samples.width, samples.height);
    decoded.b = BytePlane(samples.width, samples.height);
  } catch (const std::bad_alloc&) {
    return Refused(path + " cannot be opened: not enough memory for its " + std::to_string(header.width) + " x " +
                   std::to_string(header.height) + " pixels");
  }
  for (uint32_t y = 0; y < header.height; ++y) rows[y] = samples.bytes.data() + y * samples.stride();
  if (!ReadRows(png, rows.data())) return damaged();

  auto source = std::make_shared<PngSource>(bytes, std::move(chunks), end, std::move(header), std::move(samples));
  source->Planes(decoded.r, decoded.g, decoded.b);
  decoded.source = std::move(source);
  return decoded;
}

}  // namespace brisel::filehost
