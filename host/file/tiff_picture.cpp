#include "file/tiff_picture.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <vector>

namespace brisel::filehost {
namespace {

// The most one strip, tile or libtiff allocation may take, and the most a file may grow to while written.
constexpr int64_t kMostPieceBytes = int64_t(1) << 28;
constexpr int64_t kMostFileBytes = int64_t(1) << 33;

// --- libtiff over bytes in memory ---

// The file libtiff reads and writes: a buffer, grown where libtiff writes past its end (new strips go
// there), and libtiff's first error, which becomes the reason given.
struct MemoryFile {
  QByteArray bytes;
  int64_t at = 0;
  std::string error;
};

tmsize_t ReadBytes(thandle_t handle, void* to, tmsize_t n) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (n <= 0 || file->at >= file->bytes.size()) return 0;
  const int64_t count = std::min<int64_t>(n, file->bytes.size() - file->at);
  std::memcpy(to, file->bytes.constData() + file->at, size_t(count));
  file->at += count;
  return tmsize_t(count);
}

tmsize_t WriteBytes(thandle_t handle, void* from, tmsize_t n) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (n < 0 || file->at > kMostFileBytes - n) return -1;
  const int64_t end = file->at + n;
  if (end > file->bytes.size()) file->bytes.resize(qsizetype(end), '\0');
  std::memcpy(file->bytes.data() + file->at, from, size_t(n));
  file->at = end;
  return n;
}

toff_t SeekBytes(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  const uint64_t base = whence == SEEK_CUR ? uint64_t(file->at) : whence == SEEK_END ? uint64_t(file->bytes.size()) : 0;
  const uint64_t to = base + offset;
  if (to > uint64_t(kMostFileBytes)) return toff_t(-1);
  file->at = int64_t(to);
  return to;
}

int CloseBytes(thandle_t) { return 0; }
toff_t SizeOfBytes(thandle_t handle) { return toff_t(static_cast<MemoryFile*>(handle)->bytes.size()); }
int MapNothing(thandle_t, void**, toff_t*) { return 0; }
void UnmapNothing(thandle_t, void*, toff_t) {}

int KeepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto* file = static_cast<MemoryFile*>(user);
  if (file->error.empty()) {
    char text[300];
    std::vsnprintf(text, sizeof text, format, args);
    file->error = std::string(module ? module : "libtiff") + ": " + text;
    std::replace(file->error.begin(), file->error.end(), '\n', ' ');
  }
  return 1;  // handled: nothing goes to stderr
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff open on a memory file ("r" or "r+"), closed with this.
class Tiff {
 public:
  Tiff(MemoryFile& file, const char* mode) : file_(file) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, &file);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMostPieceBytes);
    file.at = 0;
    tif_ = TIFFClientOpenExt("tiff", mode, &file, ReadBytes, WriteBytes, SeekBytes, CloseBytes, SizeOfBytes, MapNothing,
                             UnmapNothing, options);
    TIFFOpenOptionsFree(options);
  }
  ~Tiff() {
    if (tif_) TIFFClose(tif_);
  }
  Tiff(const Tiff&) = delete;
  Tiff& operator=(const Tiff&) = delete;

  TIFF* get() const { return tif_; }
  std::string error() const { return file_.error.empty() ? "libtiff cannot read it" : file_.error; }
  // Writes what is pending (the strips' places, or the directory where it changed) and closes.
  bool Finish() {
    const bool flushed = TIFFFlush(tif_) == 1;
    TIFFClose(tif_);
    tif_ = nullptr;
    return flushed && file_.error.empty();
  }

 private:
  MemoryFile& file_;
  TIFF* tif_ = nullptr;
};

// --- The picture's layout ---

// Stored pixels to upright ones, by the Orientation tag (1..8): which stored corner is the top left, and
// whether rows and columns swap (5..8).
struct Turn {
  int orientation = 1;
  int32_t w = 0, h = 0;  // stored
  bool swaps() const { return orientation >= 5 && orientation <= 8; }
  int32_t uprightWidth() const { return swaps() ? h : w; }
  int32_t uprightHeight() const { return swaps() ? w : h; }
  void Upright(int32_t x, int32_t y, int32_t& ux, int32_t& uy) const {
    switch (orientation) {
      case 2: ux = w - 1 - x, uy = y; return;
      case 3: ux = w - 1 - x, uy = h - 1 - y; return;
      case 4: ux = x, uy = h - 1 - y; return;
      case 5: ux = y, uy = x; return;
      case 6: ux = h - 1 - y, uy = x; return;
      case 7: ux = h - 1 - y, uy = w - 1 - x; return;
      case 8: ux = y, uy = w - 1 - x; return;
      default: ux = x, uy = y; return;
    }
  }
};

enum class Model { kGrey, kRgb, kPalette };

struct Layout {
  Model model = Model::kRgb;
  bool minIsWhite = false;
  int bits = 8;          // a sample: 1, 8 or 16
  int samples = 3;       // a pixel, extra samples included
  int colours = 3;       // of them, colour: 1 grey or palette index, 3 RGB
  int alpha = -1;        // the alpha sample's index, -1 without
  bool associated = false;  // the colour samples premultiplied by alpha
  bool separate = false;    // one plane a sample
  bool tiled = false;
  bool jpeg = false;        // JPEG-compressed, read as RGB or grey: written again whole, in LZW
  uint32_t tileW = 0, tileH = 0, rowsPerStrip = 0;
  uint32_t pieces = 0;   // strips or tiles
  Turn turn;
  std::vector<uint16_t> map[3];  // the palette, 16 bits a channel

  uint32_t maxValue() const { return bits == 16 ? 65535u : bits == 8 ? 255u : 1u; }
  int bufferSamples() const { return separate ? 1 : samples; }
  // Whether the picture can take another colour model (RGB, or grey of 8 bits) by a new directory.
  bool canWiden() const { return !separate || samples == 1; }
};

// One strip or tile: where it lies among the stored pixels, the sample it holds when planes are separate
// (else -1), and its decoded buffer's row length.
struct Piece {
  uint32_t index = 0;
  int32_t x0 = 0, y0 = 0, w = 0, h = 0;  // clipped to the picture
  int32_t bufferW = 0, bufferH = 0;      // the decoded buffer's (a tile's whole size)
  int sample = -1;
  size_t rowBytes = 0;
};

Piece PieceAt(const Layout& l, uint32_t index, int bits) {
  Piece p;
  p.index = index;
  const int32_t w = l.turn.w, h = l.turn.h;
  uint32_t within = index;
  if (l.tiled) {
    const uint32_t across = (uint32_t(w) + l.tileW - 1) / l.tileW, down = (uint32_t(h) + l.tileH - 1) / l.tileH;
    if (l.separate) p.sample = int(index / (across * down)), within = index % (across * down);
    p.x0 = int32_t(within % across * l.tileW), p.y0 = int32_t(within / across * l.tileH);
    p.bufferW = int32_t(l.tileW), p.bufferH = int32_t(l.tileH);
  } else {
    const uint32_t down = (uint32_t(h) + l.rowsPerStrip - 1) / l.rowsPerStrip;
    if (l.separate) p.sample = int(index / down), within = index % down;
    p.x0 = 0, p.y0 = int32_t(uint64_t(within) * l.rowsPerStrip);
    p.bufferW = w, p.bufferH = int32_t(std::min<uint64_t>(l.rowsPerStrip, uint64_t(h - p.y0)));
  }
  p.w = std::min(p.bufferW, w - p.x0), p.h = std::min(p.bufferH, h - p.y0);
  p.rowBytes = (size_t(p.bufferW) * (l.separate ? 1 : l.samples) * bits + 7) / 8;
  return p;
}

uint32_t SampleAt(const uint8_t* row, size_t i, int bits) {
  if (bits == 8) return row[i];
  if (bits == 16) {
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);  // libtiff hands samples over in the machine's order
    return v;
  }
  return (row[i >> 3] >> (7 - (i & 7))) & 1u;
}

void SetSample(uint8_t* row, size_t i, int bits, uint32_t v) {
  if (bits == 8) {
    row[i] = uint8_t(v);
  } else if (bits == 16) {
    const uint16_t s = uint16_t(v);
    std::memcpy(row + 2 * i, &s, 2);
  } else {
    const uint8_t bit = uint8_t(0x80u >> (i & 7));
    row[i >> 3] = v ? row[i >> 3] | bit : row[i >> 3] & ~bit;
  }
}

uint8_t ToEight(uint32_t v, int bits) { return bits == 16 ? EightBits(v) : bits == 8 ? uint8_t(v) : uint8_t(v ? 255 : 0); }
uint32_t FromEight(uint8_t v, int bits) { return bits == 16 ? SixteenBits(v) : bits == 8 ? v : uint32_t(v >= 128); }

// Reads one piece of tif into buffer (sized for it); empty on success, else libtiff's reason.
bool ReadPiece(TIFF* tif, const Layout& l, const Piece& p, std::vector<uint8_t>& buffer) {
  const tmsize_t got = l.tiled ? TIFFReadEncodedTile(tif, p.index, buffer.data(), tmsize_t(buffer.size()))
                               : TIFFReadEncodedStrip(tif, p.index, buffer.data(), tmsize_t(buffer.size()));
  return got >= 0 && size_t(got) >= p.rowBytes * size_t(p.h);
}

bool WritePiece(TIFF* tif, const Layout& l, const Piece& p, std::vector<uint8_t>& buffer) {
  const tmsize_t size = tmsize_t(p.rowBytes * size_t(p.bufferH));
  return (l.tiled ? TIFFWriteEncodedTile(tif, p.index, buffer.data(), size)
                  : TIFFWriteEncodedStrip(tif, p.index, buffer.data(), size)) == size;
}

// Places in a file: offset and count of bytes.
using ByteRanges = std::vector<std::pair<uint64_t, uint64_t>>;

// Where each strip or tile's bytes lie in the file; empty where the tags cannot be read.
ByteRanges PieceRanges(TIFF* tif, const Layout& l) {
  uint64_t *offsets = nullptr, *counts = nullptr;
  if (!TIFFGetField(tif, l.tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
      !TIFFGetField(tif, l.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts)
    return {};
  ByteRanges ranges(l.pieces);
  for (uint32_t i = 0; i < l.pieces; ++i) ranges[i] = {offsets[i], counts[i]};
  return ranges;
}

// The bytes a TIFF file's structure takes, as (offset, count): its header, every directory of its chain and
// those its entries point at (EXIF, GPS, interoperability, SubIFDs), and each entry's value stored apart.
// Read from the bytes themselves; what lies outside the file or loops is not followed.
ByteRanges StructureRanges(const QByteArray& file) {
  const auto* data = reinterpret_cast<const uint8_t*>(file.constData());
  const uint64_t size = uint64_t(file.size());
  if (size < 8 || (data[0] != 'I' && data[0] != 'M') || data[1] != data[0]) return {};
  const bool little = data[0] == 'I';
  auto number = [&](uint64_t at, int bytes) {
    uint64_t v = 0;
    if (at > size || uint64_t(bytes) > size - at) return v;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(data[at + uint64_t(little ? i : bytes - 1 - i)]) << (8 * i);
    return v;
  };
  const bool big = number(2, 2) == 43;
  const int offsetBytes = big ? 8 : 4, countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12;
  ByteRanges ranges = {{0, big ? 16u : 8u}};
  std::vector<uint64_t> directories = {number(big ? 8 : 4, offsetBytes)}, seen;
  while (!directories.empty()) {
    const uint64_t at = directories.back();
    directories.pop_back();
    if (at == 0 || at >= size || std::find(seen.begin(), seen.end(), at) != seen.end()) continue;
    seen.push_back(at);
    const uint64_t entries = std::min<uint64_t>(number(at, countBytes), size / uint64_t(entryBytes));
    const uint64_t first = at + uint64_t(countBytes), next = first + entries * uint64_t(entryBytes);
    ranges.push_back({at, next + uint64_t(offsetBytes) - at});
    directories.push_back(number(next, offsetBytes));
    for (uint64_t e = first; e < next; e += uint64_t(entryBytes)) {
      // An entry: tag, type, count of values, and the values where they fit, else their offset.
      const uint64_t tag = number(e, 2), type = number(e + 2, 2), count = number(e + 4, offsetBytes);
      // A type this walk does not know is taken at the widest, so that its bytes are kept rather than lost.
      static constexpr uint8_t kTypeBytes[19] = {8, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 8, 8, 8, 8, 8};
      const uint64_t each = kTypeBytes[std::min<uint64_t>(type, 18)];
      const uint64_t valueAt = e + 4 + uint64_t(offsetBytes);
      const bool apart = count > uint64_t(offsetBytes) / each;
      const uint64_t values = apart ? number(valueAt, offsetBytes) : valueAt;
      if (apart) ranges.push_back({values, count > size ? size : count * each});
      const bool pointsAtDirectories = tag == 330 || tag == 34665 || tag == 34853 || tag == 40965;
      if (pointsAtDirectories && (each == 4 || each == 8))
        for (uint64_t i = 0; i < count && directories.size() + seen.size() < 1024; ++i)
          directories.push_back(number(values + i * each, int(each)));
    }
  }
  return ranges;
}

// Zeroes what the strips or tiles rewritten left of their old bytes (an old place moved from, the tail of
// one that shrank): the pixels painted over must not stay in the file, where a tool could carve them out.
// Every byte the written file uses is kept, its other pieces and its structure: a file whose byte counts
// overstate may have its directory or another strip inside an old piece's range.
void ZeroLeftBytes(QByteArray& file, const std::vector<uint32_t>& rewritten, const ByteRanges& before, ByteRanges used) {
  // As sorted [from, to) intervals that neither overlap nor touch.
  ByteRanges kept;
  for (auto& [from, count] : used) count = from + std::min(count, UINT64_MAX - from);
  std::sort(used.begin(), used.end());
  for (const auto& r : used) {
    if (!kept.empty() && r.first <= kept.back().second) kept.back().second = std::max(kept.back().second, r.second);
    else kept.push_back(r);
  }
  for (const uint32_t i : rewritten) {
    if (i >= before.size()) continue;
    const uint64_t from = before[i].first;
    const uint64_t to = std::min<uint64_t>(from + std::min(before[i].second, UINT64_MAX - from), uint64_t(file.size()));
    for (uint64_t at = from; at < to;) {
      const auto next = std::upper_bound(kept.begin(), kept.end(), at, [](uint64_t v, const auto& r) { return v < r.second; });
      if (next != kept.end() && next->first <= at) {
        at = next->second;
        continue;
      }
      const uint64_t until = next == kept.end() ? to : std::min(to, next->first);
      std::memset(file.data() + at, 0, size_t(until - at));
      at = until;
    }
  }
}

// Zeroes what the pieces rewritten (their old places in before) left in the file written, or says why not.
std::string ZeroWhatIsLeft(QByteArray& written, const Layout& l, const std::vector<uint32_t>& rewritten,
                           const ByteRanges& before) {
  ByteRanges used;
  {
    MemoryFile file{written, 0, {}};
    Tiff check(file, "r");
    if (!check.get()) return "libtiff cannot read what it wrote: " + check.error();
    used = PieceRanges(check.get(), l);
  }
  const ByteRanges structure = StructureRanges(written);
  used.insert(used.end(), structure.begin(), structure.end());
  ZeroLeftBytes(written, rewritten, before, std::move(used));
  return {};
}

size_t PieceBufferSize(const Layout& l, int bits) {
  const Piece any = PieceAt(l, 0, bits);
  return any.rowBytes * size_t(l.tiled ? l.tileH : l.rowsPerStrip > uint32_t(l.turn.h) ? l.turn.h : l.rowsPerStrip);
}

// --- What the file holds ---

std::string ColourName(uint16_t photometric) {
  switch (photometric) {
    case PHOTOMETRIC_SEPARATED: return "CMYK";
    case PHOTOMETRIC_CIELAB: return "CIE L*a*b*";
    case PHOTOMETRIC_ICCLAB: return "ICC L*a*b*";
    case PHOTOMETRIC_ITULAB: return "ITU L*a*b*";
    case PHOTOMETRIC_YCBCR: return "YCbCr";
    case PHOTOMETRIC_MASK: return "a transparency mask";
    case PHOTOMETRIC_LOGL: case PHOTOMETRIC_LOGLUV: return "LogLuv";
    default: return "an unknown colour model (" + std::to_string(photometric) + ")";
  }
}

// Whether libtiff writes the compression again, bit for bit the same kind, without loss.
bool KeepsCompression(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE: case COMPRESSION_LZW: case COMPRESSION_ADOBE_DEFLATE: case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS: case COMPRESSION_CCITTRLE: case COMPRESSION_CCITTFAX3: case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZMA: case COMPRESSION_ZSTD:
      return TIFFIsCODECConfigured(compression) == 1;
    default:
      return false;
  }
}

// The layout of tif's directory, or why Brisel does not paint on it (path named).
std::string ReadLayout(TIFF* tif, const std::string& path, Layout& l) {
  uint32_t w = 0, h = 0;
  uint16_t photometric = 0, bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
    return path + " has no colour model (its PhotometricInterpretation tag is missing); the file is damaged";
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  const std::string convert = ": convert it to RGB first";
  if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) {
    l.model = Model::kGrey, l.colours = 1, l.minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
  } else if (photometric == PHOTOMETRIC_RGB) {
    l.model = Model::kRgb, l.colours = 3;
  } else if (photometric == PHOTOMETRIC_PALETTE) {
    l.model = Model::kPalette, l.colours = 1;
  } else if (photometric == PHOTOMETRIC_YCBCR && l.jpeg) {
    l.model = Model::kRgb, l.colours = 3;  // libtiff's JPEG decoder hands over RGB
  } else if (photometric == PHOTOMETRIC_YCBCR) {
    return path + " is in YCbCr without JPEG compression, which Brisel cannot write back as it is" + convert;
  } else {
    return path + " is in " + ColourName(photometric) +
           "; Brisel paints in RGB and would change its colours when writing it back" + convert;
  }
  if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID)
    return path + " holds " + (format == SAMPLEFORMAT_IEEEFP ? "floating-point" : "signed") +
           " samples, which Brisel does not paint on: convert it to 8 or 16 bits a sample first";
  if (bits != 8 && bits != 16 && !(bits == 1 && l.model != Model::kRgb))
    return path + " holds " + std::to_string(bits) + "-bit samples; Brisel paints on TIFF pictures of 1 (black and " +
           "white, or a palette), 8 or 16 bits a sample: convert it first";
  if (l.model == Model::kPalette && bits == 16)
    return path + " has a palette of 16-bit indices, which Brisel does not paint on: convert it to RGB first";
  if (samples < l.colours || samples > 8)
    return path + " holds " + std::to_string(samples) + " samples a pixel, which its colour model does not fit; the file is damaged";
  if (const std::string why = SizeProblem(path, w, h); !why.empty()) return why;
  l.bits = bits, l.samples = samples, l.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
  l.turn = {orientation >= 1 && orientation <= 8 ? orientation : 1, int32_t(w), int32_t(h)};

  uint16_t extraCount = 0;
  uint16_t* extras = nullptr;
  if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) && extraCount > 0 && extras &&
      samples > l.colours && (extras[0] == EXTRASAMPLE_ASSOCALPHA || extras[0] == EXTRASAMPLE_UNASSALPHA))
    l.alpha = l.colours, l.associated = extras[0] == EXTRASAMPLE_ASSOCALPHA;

  if (l.model == Model::kPalette) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
      return path + " has a palette colour model but no palette; the file is damaged";
    const size_t entries = size_t(1) << bits;
    l.map[0].assign(r, r + entries), l.map[1].assign(g, g + entries), l.map[2].assign(b, b + entries);
  }
  l.tiled = TIFFIsTiled(tif);
  if (l.tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.tileW);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.tileH);
    if (l.tileW == 0 || l.tileH == 0 || TIFFTileSize64(tif) > uint64_t(kMostPieceBytes) ||
        uint64_t(l.tileW) * l.tileH > uint64_t(kMostPieceBytes))
      return path + " claims tiles of " + std::to_string(l.tileW) + " x " + std::to_string(l.tileH) +
             " pixels, which Brisel does not open; the file is damaged";
    l.pieces = TIFFNumberOfTiles(tif);
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &l.rowsPerStrip);
    l.rowsPerStrip = std::clamp<uint32_t>(l.rowsPerStrip, 1, h);
    if (TIFFStripSize64(tif) > uint64_t(kMostPieceBytes))
      return path + " claims strips too large for Brisel to decode; the file is damaged";
    l.pieces = TIFFNumberOfStrips(tif);
  }
  const uint64_t expected = l.tiled ? uint64_t((w + l.tileW - 1) / l.tileW) * ((h + l.tileH - 1) / l.tileH)
                                    : (uint64_t(h) + l.rowsPerStrip - 1) / l.rowsPerStrip;
  if (l.pieces != expected * (l.separate ? samples : 1))
    return path + " has " + std::to_string(l.pieces) + " strips or tiles where its size needs " +
           std::to_string(expected * (l.separate ? samples : 1)) + "; the file is damaged";
  return {};
}

// --- Writing back ---

// The stored samples of a painted pixel in layout l: colour (grey, index or RGB) and alpha at the file's
// depth; -1 for a sample kept as it was (an extra sample that is not alpha).
class PaintedSamples {
 public:
  explicit PaintedSamples(const Layout& l) : l_(l) {
    for (size_t i = l.map[0].size(); i-- > 0;)
      index_[Key(EightBits(l.map[0][i]), EightBits(l.map[1][i]), EightBits(l.map[2][i]))] = uint32_t(i);
  }
  // Whether the painted colour is one the layout holds as it is.
  bool Holds(uint8_t r, uint8_t g, uint8_t b) const {
    if (l_.model == Model::kRgb) return true;
    if (l_.model == Model::kPalette) return index_.count(Key(r, g, b)) > 0;
    return r == g && g == b && (l_.bits != 1 || r == 0 || r == 255);
  }
  int64_t Sample(int s, uint8_t r, uint8_t g, uint8_t b) const {
    if (s == l_.alpha) return l_.maxValue();
    if (s >= l_.colours) return -1;
    if (l_.model == Model::kRgb) return FromEight(s == 0 ? r : s == 1 ? g : b, l_.bits);
    if (l_.model == Model::kPalette) return Nearest(r, g, b);
    // A colour on a picture kept grey (the painter agreed) goes in as its luma.
    const uint8_t grey = r == g && g == b ? r : uint8_t((r * 299 + g * 587 + b * 114 + 500) / 1000);
    const uint32_t v = FromEight(grey, l_.bits);
    return l_.minIsWhite ? l_.maxValue() - v : v;
  }

 private:
  static uint32_t Key(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
  uint32_t Nearest(uint8_t r, uint8_t g, uint8_t b) const {
    const auto found = index_.find(Key(r, g, b));
    if (found != index_.end()) return found->second;
    uint32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (size_t i = 0; i < l_.map[0].size(); ++i) {
      const int dr = EightBits(l_.map[0][i]) - r, dg = EightBits(l_.map[1][i]) - g, db = EightBits(l_.map[2][i]) - b;
      const int64_t distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) best = uint32_t(i), bestDistance = distance;
    }
    return best;
  }

  const Layout& l_;
  std::map<uint32_t, uint32_t> index_;  // an 8-bit colour to its first palette index
};

class TiffSource final : public PictureSource {
 public:
  TiffSource(QByteArray bytes, Layout layout) : bytes_(std::move(bytes)), layout_(std::move(layout)) {}

  std::string Write(const Painting& painting, QByteArray& bytes) const override {
    if (layout_.jpeg || (!Holds(painting) && layout_.canWiden())) return WriteWidened(painting, bytes);
    return WriteInPlace(painting, bytes);
  }

  std::string WhatItCannotHold(const Painting& painting) const override {
    if (Holds(painting) || layout_.canWiden()) return {};
    return layout_.model == Model::kPalette ? "the colours of its palette" : layout_.bits == 1 ? "black and white" : "grey";
  }

  QByteArray format() const override { return "tiff"; }

 private:
  bool Holds(const Painting& painting) const {
    const PaintedSamples samples(layout_);
    const Painting::Box& box = painting.box();
    for (int32_t y = box.y0; y < box.y1; ++y)
      for (int32_t x = box.x0; x < box.x1; ++x)
        if (painting.Painted(x, y) && !samples.Holds(painting.r(x, y), painting.g(x, y), painting.b(x, y))) return false;
    return true;
  }

  // Whether a painted pixel lies in piece p.
  bool Touched(const Piece& p, const Painting& painting) const {
    int32_t ax, ay, bx, by;
    layout_.turn.Upright(p.x0, p.y0, ax, ay);
    layout_.turn.Upright(p.x0 + p.w - 1, p.y0 + p.h - 1, bx, by);
    return painting.AnyPaintedIn(std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1);
  }

  // The file as it was, with the strips or tiles that hold a painted pixel encoded again and put where
  // libtiff finds room (their old place where they fit, else the file's end); only the strips' offsets
  // and byte counts change in the directory, every other byte stays.
  std::string WriteInPlace(const Painting& painting, QByteArray& bytes) const {
    const Layout& l = layout_;
    MemoryFile original{bytes_, 0, {}}, copy{bytes_, 0, {}};
    Tiff reader(original, "r"), writer(copy, "r+");
    if (!reader.get() || !writer.get()) return "libtiff cannot open it again: " + reader.error();
    const PaintedSamples samples(l);
    std::vector<uint8_t> buffer(PieceBufferSize(l, l.bits));
    const auto before = PieceRanges(reader.get(), l);
    std::vector<uint32_t> rewritten;
    for (uint32_t i = 0; i < l.pieces; ++i) {
      const Piece p = PieceAt(l, i, l.bits);
      if (!Touched(p, painting)) continue;
      rewritten.push_back(i);
      if (!ReadPiece(reader.get(), l, p, buffer)) return "its strip or tile " + std::to_string(i) + " cannot be decoded: " + reader.error();
      for (int32_t y = 0; y < p.h; ++y) {
        uint8_t* row = buffer.data() + size_t(y) * p.rowBytes;
        for (int32_t x = 0; x < p.w; ++x) {
          int32_t ux, uy;
          l.turn.Upright(p.x0 + x, p.y0 + y, ux, uy);
          if (!painting.Painted(ux, uy)) continue;
          const uint8_t r = painting.r(ux, uy), g = painting.g(ux, uy), b = painting.b(ux, uy);
          for (int s = 0; s < l.bufferSamples(); ++s) {
            const int64_t v = samples.Sample(p.sample >= 0 ? p.sample : s, r, g, b);
            if (v >= 0) SetSample(row, size_t(x) * l.bufferSamples() + s, l.bits, uint32_t(v));
          }
        }
      }
      if (!WritePiece(writer.get(), l, p, buffer)) return "its strip or tile " + std::to_string(i) + " cannot be encoded: " + copy.error;
    }
    if (!writer.Finish()) return "libtiff cannot write it: " + copy.error;
    if (const std::string why = ZeroWhatIsLeft(copy.bytes, l, rewritten, before); !why.empty()) return why;
    bytes = std::move(copy.bytes);
    return {};
  }

  // The picture in the smallest colour model that holds the painting, in a directory that keeps every
  // other tag: 8-bit grey for a black-and-white one painted grey, else RGB at the file's depth (8 bits
  // for one bit), its alpha kept. Every strip or tile is written again, and what is left of the old ones
  // zeroed. A JPEG-compressed one comes here too: lossless from now on (LZW), its pixels as decoded.
  std::string WriteWidened(const Painting& painting, QByteArray& bytes) const {
    const Layout& from = layout_;
    Layout to = from;
    to.model = from.model == Model::kGrey && painting.PaintedGrey() ? Model::kGrey : Model::kRgb;
    to.jpeg = false;
    to.colours = to.model == Model::kGrey ? 1 : 3;
    // A palette's colours have 16 bits a channel; most writers give them 8 (v * 257), some (v * 256) more.
    const bool eightBitPalette = std::all_of(from.map, from.map + 3, [](const std::vector<uint16_t>& channel) {
      return std::all_of(channel.begin(), channel.end(), [](uint16_t v) { return v % 257 == 0; });
    });
    to.bits = from.model == Model::kPalette ? (eightBitPalette ? 8 : 16) : std::max(from.bits, 8);
    to.minIsWhite = false;
    to.map[0].clear(), to.map[1].clear(), to.map[2].clear();
    to.alpha = from.alpha < 0 ? -1 : to.colours;
    to.samples = from.samples - from.colours + to.colours;
    MemoryFile original{bytes_, 0, {}}, copy{bytes_, 0, {}};
    Tiff reader(original, "r"), writer(copy, "r+");
    if (!reader.get() || !writer.get()) return "libtiff cannot open it again: " + reader.error();
    TIFF* tif = writer.get();
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (from.jpeg) {
      if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(reader.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      TIFFUnsetField(tif, TIFFTAG_JPEGTABLES);  // the codec's own tag, cleared before the codec goes
      if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW)))
        return "libtiff cannot change its compression: " + copy.error;
      for (const uint32_t tag : {TIFFTAG_YCBCRSUBSAMPLING, TIFFTAG_YCBCRPOSITIONING, TIFFTAG_YCBCRCOEFFICIENTS,
                                 TIFFTAG_REFERENCEBLACKWHITE})
        if (photometric == PHOTOMETRIC_YCBCR) TIFFUnsetField(tif, tag);
    }
    if (from.model == Model::kPalette) TIFFUnsetField(tif, TIFFTAG_COLORMAP);
    TIFFUnsetField(tif, TIFFTAG_MINSAMPLEVALUE);
    TIFFUnsetField(tif, TIFFTAG_MAXSAMPLEVALUE);
    if (!TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(to.bits)) ||
        !TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(to.samples)) ||
        !TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(to.model == Model::kGrey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB)))
      return "libtiff cannot change its colour model: " + copy.error;
    if (to.samples > 1 && !TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG)))
      return "libtiff cannot change its colour model: " + copy.error;
    // Fax compression holds one bit a sample only: the picture grown out of black and white goes to LZW.
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) {
      for (const uint32_t tag : {TIFFTAG_T4OPTIONS, TIFFTAG_T6OPTIONS, TIFFTAG_BADFAXLINES, TIFFTAG_CLEANFAXDATA,
                                 TIFFTAG_CONSECUTIVEBADFAXLINES, TIFFTAG_FAXRECVPARAMS, TIFFTAG_FAXSUBADDRESS,
                                 TIFFTAG_FAXRECVTIME, TIFFTAG_FAXDCS})
        if (TIFFFindField(tif, tag, TIFF_ANY)) TIFFUnsetField(tif, tag);  // the codec's own, cleared before it goes
      if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW)))
        return "libtiff cannot change its compression: " + copy.error;
    }

    const ByteRanges before = PieceRanges(reader.get(), from);
    const PaintedSamples painted(to);
    std::vector<uint8_t> in(PieceBufferSize(from, from.bits)), out(PieceBufferSize(to, to.bits));
    for (uint32_t i = 0; i < from.pieces; ++i) {
      const Piece p = PieceAt(from, i, from.bits), q = PieceAt(to, i, to.bits);
      if (!ReadPiece(reader.get(), from, p, in)) return "its strip or tile " + std::to_string(i) + " cannot be decoded: " + reader.error();
      std::fill(out.begin(), out.end(), uint8_t(0));
      for (int32_t y = 0; y < p.h; ++y) {
        const uint8_t* source = in.data() + size_t(y) * p.rowBytes;
        uint8_t* row = out.data() + size_t(y) * q.rowBytes;
        for (int32_t x = 0; x < p.w; ++x) {
          int32_t ux, uy;
          from.turn.Upright(p.x0 + x, p.y0 + y, ux, uy);
          const size_t at = size_t(x) * to.samples;
          // An extra sample of the new layout, as it was (one bit becomes 0 or all ones).
          auto extra = [&](int s) {
            const uint32_t v = SampleAt(source, size_t(x) * from.samples + (s - to.colours + from.colours), from.bits);
            return from.bits == 1 ? v * to.maxValue() : v;
          };
          if (painting.Painted(ux, uy)) {
            const uint8_t r = painting.r(ux, uy), g = painting.g(ux, uy), b = painting.b(ux, uy);
            for (int s = 0; s < to.samples; ++s) {
              const int64_t v = painted.Sample(s, r, g, b);
              SetSample(row, at + s, to.bits, v >= 0 ? uint32_t(v) : extra(s));
            }
            continue;
          }
          uint32_t colour[3];
          const uint32_t first = SampleAt(source, size_t(x) * from.samples, from.bits);
          if (from.model == Model::kRgb) {
            for (int c = 0; c < 3; ++c) colour[c] = SampleAt(source, size_t(x) * from.samples + c, from.bits);
          } else if (from.model == Model::kPalette) {
            for (int c = 0; c < 3; ++c) colour[c] = to.bits == 16 ? from.map[c][first] : from.map[c][first] / 257u;
          } else {
            // Grey of 1 bit becomes 0 or all ones; 8 and 16 bits keep their values.
            uint32_t v = from.bits == 1 ? first * to.maxValue() : first;
            if (from.minIsWhite) v = to.maxValue() - v;
            colour[0] = colour[1] = colour[2] = v;
          }
          for (int s = 0; s < to.colours; ++s) SetSample(row, at + s, to.bits, colour[s]);
          for (int s = to.colours; s < to.samples; ++s) SetSample(row, at + s, to.bits, extra(s));
        }
      }
      if (!WritePiece(tif, to, q, out)) return "its strip or tile " + std::to_string(i) + " cannot be encoded: " + copy.error;
    }
    if (!writer.Finish()) return "libtiff cannot write it: " + copy.error;
    std::vector<uint32_t> every(from.pieces);
    std::iota(every.begin(), every.end(), 0u);
    if (const std::string why = ZeroWhatIsLeft(copy.bytes, to, every, before); !why.empty()) return why;
    bytes = std::move(copy.bytes);
    return {};
  }

  QByteArray bytes_;  // the file as read
  Layout layout_;
};

// The planes of the picture tif holds in layout l, upright and laid on white; empty on success, else the
// piece that cannot be decoded.
std::string DecodePlanes(TIFF* tif, const Layout& l, DecodedPicture& decoded) {
  const int32_t w = l.turn.w, h = l.turn.h;
  // Stored pixels first, a plane a channel at 8 bits (the palette's index as it is), then upright.
  std::vector<BytePlane> stored;
  for (int c = 0; c < l.colours + (l.alpha >= 0); ++c) stored.emplace_back(w, h);
  std::vector<uint8_t> buffer(PieceBufferSize(l, l.bits));
  for (uint32_t i = 0; i < l.pieces; ++i) {
    const Piece p = PieceAt(l, i, l.bits);
    if (!ReadPiece(tif, l, p, buffer)) return "strip or tile " + std::to_string(i);
    for (int s = 0; s < l.bufferSamples(); ++s) {
      const int sample = p.sample >= 0 ? p.sample : s;
      const int plane = sample < l.colours ? sample : sample == l.alpha ? l.colours : -1;
      if (plane < 0) continue;
      const bool index = l.model == Model::kPalette && sample == 0;
      const bool invert = l.minIsWhite && sample == 0;
      for (int32_t y = 0; y < p.h; ++y) {
        const uint8_t* row = buffer.data() + size_t(y) * p.rowBytes;
        uint8_t* to = stored[size_t(plane)].row(p.y0 + y) + p.x0;
        for (int32_t x = 0; x < p.w; ++x) {
          uint32_t v = SampleAt(row, size_t(x) * l.bufferSamples() + s, l.bits);
          if (invert) v = l.maxValue() - v;
          to[x] = index ? uint8_t(v) : ToEight(v, l.bits);
        }
      }
    }
  }
  decoded.r = BytePlane(l.turn.uprightWidth(), l.turn.uprightHeight());
  decoded.g = BytePlane(decoded.r.width(), decoded.r.height());
  decoded.b = BytePlane(decoded.r.width(), decoded.r.height());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t c[3];
      const uint8_t first = stored[0](x, y);
      if (l.model == Model::kPalette) {
        for (int k = 0; k < 3; ++k) c[k] = EightBits(l.map[k][first]);
      } else {
        for (int k = 0; k < 3; ++k) c[k] = stored[size_t(l.model == Model::kRgb ? k : 0)](x, y);
      }
      if (l.alpha >= 0) {
        const uint8_t a = stored[size_t(l.colours)](x, y);
        for (uint8_t& v : c) v = l.associated ? uint8_t(std::min(255, v + 255 - a)) : OnWhite(v, a);
      }
      int32_t ux, uy;
      l.turn.Upright(x, y, ux, uy);
      decoded.r(ux, uy) = c[0], decoded.g(ux, uy) = c[1], decoded.b(ux, uy) = c[2];
    }
  return {};
}

}  // namespace

DecodedPicture ReadTiff(const std::string& path, const QByteArray& bytes) {
  MemoryFile file{bytes, 0, {}};
  Tiff tiff(file, "rm");
  if (!tiff.get()) return Refused(path + " cannot be decoded (" + tiff.error() + "); the file may be damaged or truncated");
  TIFF* tif = tiff.get();
  const tdir_t pages = TIFFNumberOfDirectories(tif);
  if (pages > 1)
    return Refused(path + " holds " + std::to_string(pages) +
                   " frames or pages; Brisel writes back one picture and would drop the others: save the one to paint "
                   "on as a picture of its own first");
  TIFFSetDirectory(tif, 0);
  // A first directory that links on to bytes that are no directory: libtiff counts one page and stops, and a
  // write back would carry the broken link on into a file that no longer reads.
  if (!TIFFLastDirectory(tif))
    return Refused(path + " cannot be decoded (its TIFF directories are damaged after the first); the file may be "
                          "damaged or truncated");
  uint16_t compression = COMPRESSION_NONE, photometric = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  Layout layout;
  layout.jpeg = compression == COMPRESSION_JPEG;
  if (layout.jpeg && photometric == PHOTOMETRIC_YCBCR) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (const std::string why = ReadLayout(tif, path, layout); !why.empty()) return Refused(why);
  if (!layout.jpeg && !KeepsCompression(compression))
    return Refused(path + " is compressed in a way Brisel cannot write back (TIFF compression " + std::to_string(compression) +
                   "): convert it to LZW or Deflate first");
  DecodedPicture decoded;
  if (const std::string where = DecodePlanes(tif, layout, decoded); !where.empty())
    return Refused(path + " cannot be decoded (its " + where + ": " + tiff.error() + "); the file may be damaged or truncated");
  decoded.source = std::make_shared<TiffSource>(bytes, std::move(layout));
  return decoded;
}

}  // namespace brisel::filehost
