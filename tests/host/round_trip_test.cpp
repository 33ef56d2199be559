// Picture files made by other programs (ImageMagick, Python's PIL, libtiff's and libjpeg's tools, cwebp,
// exiftool), each painted with one stroke through the file host and read again by other programs: the file
// is the same but for the stroke (its exiftool listing but for the tags named, its chunks or markers, its
// decoded pixels outside the stroke), or it was refused at start with the reason.

#include <QCryptographicHash>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "file/file_host.h"
#include "picture_fixture.h"
#include "platform/error.h"
#include "platform/host.h"

namespace brisel::testing {
namespace {

struct Stroke {
  int x = 0, y = 0, w = 0, h = 0;  // the box painted, in the upright picture's pixels
  QRgb colour = 0;
};

struct Case {
  std::string name;     // the file's name; its extension names the format
  std::string make;     // a shell command that makes the file $F with other programs
  Stroke stroke = {};
  std::string refused = "";  // a piece of the reason, where the picture is refused at start
  // The exiftool tags (Group:Name) the write may change, besides the file system's own.
  std::set<std::string> changes = {};
  int lossy = 0;   // how far (of 255) a painted pixel may come back from its colour
  int block = 1;   // pixels change only inside the stroke's box widened to this grid (JPEG: its MCU)
  int reach = 0;   // and this many pixels around that (the decoder's chroma upsampling)
  int sends = 1;   // the stroke sent this many times (each send paints it once more)
  int drift = 0;   // how far (of 255) a pixel outside the box may move (a lossy picture encoded anew whole)
  double grows = 0;  // where set: the file is at most this many times its first size after the sends
  // Where set: the planes handed over are ImageMagick's decode laid on white, within this (of 255).
  int planes = -1;
  std::string after = "";  // a shell command on $F that must succeed after the sends
  // Tags the write changes to these values ("(gone)": no longer there), where the file's model changes.
  std::map<std::string, std::string> becomes = {};
  // Chunks or segments (by type) whose bytes the write may change or drop, with the model.
  std::set<std::string> rewritten = {};
};

// The output of command, run by the shell; empty where it failed.
std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (::pclose(pipe) != 0) out.clear();
  }
  return out;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// exiftool's listing, tag (Group:Name) to value; the file system's own tags left out.
std::map<std::string, std::string> Tags(const std::string& path) {
  std::map<std::string, std::string> tags;
  const std::string listing = Shell("exiftool -a -G1 -s -n -U -q " + Quoted(path));
  size_t at = 0;
  for (size_t end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = listing.substr(at, end - at);
    const size_t close = line.find(']'), colon = line.find(" : ");
    if (line.empty() || line[0] != '[' || close == std::string::npos || colon == std::string::npos) continue;
    const std::string group = line.substr(1, close - 1);
    if (group == "System" || group == "ExifTool") continue;
    std::string name = line.substr(close + 1, colon - close - 1);
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    std::string key = group + ":" + name;
    while (tags.count(key)) key += "+";  // a tag that stands twice
    tags[key] = line.substr(colon + 3);
  }
  return tags;
}

QByteArray Digest(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(12); }

// What the file holds besides its pixels, in order: a PNG's chunks but its image data (one entry) and what follows its end, a JPEG's
// segments before its first scan but its Huffman tables, and what follows its end; a WebP's chunks but its
// picture's (VP8, VP8L, ALPH: one entry) and the VP8X flags (exiftool lists them); an XBM's C text before its
// numbers (the picture's names); empty for other formats (their exiftool listing says it).
std::vector<std::string> Structure(const QByteArray& file) {
  std::vector<std::string> parts;
  if (file.startsWith("\x89PNG")) {
    for (qsizetype i = 8; i + 12 <= file.size();) {
      const qsizetype length = qFromBigEndian<quint32>(file.constData() + i);
      const std::string type = file.mid(i + 4, 4).toStdString();
      if (type != "IDAT")
        parts.push_back(type + " " + Digest(file.mid(i + 8, length)).toStdString());
      else if (parts.empty() || parts.back() != "IDAT")
        parts.push_back("IDAT");
      i += 12 + length;
      if (type == "IEND") parts.push_back("after " + Digest(file.mid(i)).toStdString());
    }
  } else if (file.startsWith("\xff\xd8")) {
    qsizetype i = 2;
    while (i + 4 <= file.size() && uchar(file[i]) == 0xFF && uchar(file[i + 1]) != 0xDA) {
      const uchar marker = uchar(file[i + 1]);
      const qsizetype length = qFromBigEndian<quint16>(file.constData() + i + 2);
      // An MPF index counts the bytes to the pictures after the primary one, which a write moves, and an EXIF
      // segment loses its thumbnail: these are compared by their size and as exiftool lists them.
      const bool byTags = (marker == 0xE2 && file.mid(i + 4, 4) == QByteArray("MPF\0", 4)) ||
                          (marker == 0xE1 && file.mid(i + 4, 6) == QByteArray("Exif\0\0", 6));
      if (marker != 0xC4)
        parts.push_back(QByteArray::number(marker, 16).toStdString() + " " +
                        (byTags ? std::to_string(length) + " bytes" : Digest(file.mid(i + 4, length - 2)).toStdString()));
      i += 2 + length;
    }
    const qsizetype end = file.indexOf("\xff\xd9", i);
    parts.push_back("after " + Digest(end < 0 ? QByteArray() : file.mid(end + 2)).toStdString());
  } else if (file.startsWith("RIFF") && file.mid(8, 4) == "WEBP") {
    for (qsizetype i = 12; i + 8 <= file.size();) {
      const qsizetype length = qFromLittleEndian<quint32>(file.constData() + i + 4);
      const std::string type = file.mid(i, 4).toStdString();
      if (type == "VP8 " || type == "VP8L" || type == "ALPH") {
        if (parts.empty() || parts.back() != "picture") parts.push_back("picture");
      } else {
        const int flags = type == "VP8X" ? 4 : 0;
        parts.push_back(type + " " + Digest(file.mid(i + 8 + flags, length - flags)).toStdString());
      }
      i += 8 + length + (length & 1);
    }
  } else if (file.startsWith("#define")) {
    for (const QByteArray& line : file.left(file.indexOf('{')).split('\n')) parts.push_back(line.simplified().toStdString());
  }
  return parts;
}

// The picture as ImageMagick decodes it, upright: 16 bits a channel, RGBA (big-endian asked for: a raw
// output otherwise takes the byte order of the file read).
struct Decoded {
  int w = 0, h = 0;
  std::vector<quint16> rgba;
  quint16 at(int x, int y, int c) const { return rgba[(size_t(y) * w + x) * 4 + c]; }
};
Decoded Decode(const std::string& path) {
  Decoded d;
  const std::string size = Shell("identify -format '%w %h\\n' " + Quoted(path + "[0]"));
  if (std::sscanf(size.c_str(), "%d %d", &d.w, &d.h) != 2) return {};
  const std::string raw = Shell("convert " + Quoted(path + "[0]") + " -auto-orient -depth 16 -endian MSB rgba:-");
  if (raw.size() != size_t(d.w) * d.h * 8) return {};
  d.rgba.resize(size_t(d.w) * d.h * 4);
  for (size_t i = 0; i < d.rgba.size(); ++i) d.rgba[i] = quint16(uchar(raw[2 * i]) << 8 | uchar(raw[2 * i + 1]));
  // Orientations 5 to 8 (LeftTop, RightTop, RightBottom, LeftBottom) swap the sides; TopRight and
  // BottomLeft only mirror.
  const std::string orientation = Shell("identify -format '%[orientation]' " + Quoted(path + "[0]"));
  if (orientation.rfind("Left", 0) == 0 || orientation.rfind("Right", 0) == 0) std::swap(d.w, d.h);
  return d;
}

// Paints the stroke through the file host as the program sends: fetch the planes, paint, send. read
// receives the planes as fetched.
void Paint(const std::string& path, const Stroke& stroke, BytePlane (&read)[3]) {
  auto host = filehost::MakeFileHost({path, "", "", "."});
  std::vector<platform::Variant> none;
  host->Invoke("Tarn_BufferWidth", none);
  BytePlane planes[3] = {platform::ToByteArray(host->Invoke("Tarn_GetRBuffer", none)),
                         platform::ToByteArray(host->Invoke("Tarn_GetGBuffer", none)),
                         platform::ToByteArray(host->Invoke("Tarn_GetBBuffer", none))};
  for (int c = 0; c < 3; ++c) read[c] = planes[c];
  const uint8_t colour[3] = {uint8_t(qRed(stroke.colour)), uint8_t(qGreen(stroke.colour)), uint8_t(qBlue(stroke.colour))};
  for (int c = 0; c < 3; ++c)
    for (int y = stroke.y; y < stroke.y + stroke.h; ++y)
      for (int x = stroke.x; x < stroke.x + stroke.w; ++x) planes[c](x, y) = colour[c];
  auto send = [&] {
    for (const char* call : {"Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer"}) {
      std::vector<platform::Variant> plane{&planes[call[8] == 'R' ? 0 : call[8] == 'G' ? 1 : 2]};
      host->Invoke(call, plane);
    }
    host->Invoke("tarn_Refresh", none);
  };
  try {
    send();
  } catch (const Error& asked) {
    if (asked.number() != errors::kAskBeforeWriting) throw;
    send();  // the painter says yes, and the program sends again
  }
}

class RoundTripTest : public PictureFolderTest {
 protected:
  void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(c.name);
    ASSERT_FALSE(Shell("F=" + Quoted(path) + "; " + c.make + " >/dev/null 2>&1 && echo made").empty()) << c.make;
    const std::optional<std::string> refusal = filehost::CheckPicture(path);
    if (!c.refused.empty()) {
      ASSERT_TRUE(refusal) << "opened, where it should be refused";
      EXPECT_NE(refusal->find(c.refused), std::string::npos) << *refusal;
      EXPECT_EQ(refusal->find('\n'), std::string::npos) << *refusal;
      return;
    }
    ASSERT_FALSE(refusal) << *refusal;
    const auto tagsBefore = Tags(path);
    const auto partsBefore = Structure(ReadBytes(path));
    const Decoded before = Decode(path);
    ASSERT_FALSE(before.rgba.empty()) << "ImageMagick cannot decode the file made";

    const qsizetype sizeBefore = ReadBytes(path).size();
    BytePlane read[3];
    for (int send = 0; send < c.sends; ++send) Paint(path, c.stroke, read);
    if (c.planes >= 0 && c.sends == 1) {
      int off = 0;
      for (int y = 0; y < before.h; ++y)
        for (int x = 0; x < before.w; ++x) {
          const int a = before.at(x, y, 3);
          for (int ch = 0; ch < 3; ++ch) {
            const double onWhite = (before.at(x, y, ch) * double(a) + 65535.0 * (65535 - a)) / 65535 / 257;
            off += std::abs(read[ch](x, y) - onWhite) > c.planes + 0.5;
          }
        }
      EXPECT_EQ(off, 0) << "samples of the planes handed over not as ImageMagick decodes the file, laid on white";
    }
    if (c.grows > 0) {
      EXPECT_LE(ReadBytes(path).size(), c.grows * sizeBefore) << "the file grew from " << sizeBefore << " bytes";
    }

    auto tagsAfter = Tags(path);
    for (const auto& [tag, value] : tagsBefore) {
      if (c.changes.count(tag) || c.becomes.count(tag)) continue;
      EXPECT_EQ(tagsAfter.count(tag) ? tagsAfter[tag] : "(gone)", value) << tag;
    }
    for (const auto& [tag, value] : tagsAfter)
      if (!tagsBefore.count(tag) && !c.changes.count(tag) && !c.becomes.count(tag)) ADD_FAILURE() << tag << " appeared: " << value;
    for (const auto& [tag, value] : c.becomes) EXPECT_EQ(tagsAfter.count(tag) ? tagsAfter[tag] : "(gone)", value) << tag;
    auto kept = [&](std::vector<std::string> parts) {
      std::erase_if(parts, [&](const std::string& part) { return c.rewritten.count(part.substr(0, part.find(' '))) > 0; });
      return parts;
    };
    EXPECT_EQ(kept(Structure(ReadBytes(path))), kept(partsBefore));
    if (!c.after.empty()) {
      EXPECT_FALSE(Shell("F=" + Quoted(path) + "; " + c.after + " && echo held").empty()) << c.after;
    }

    const Decoded after = Decode(path);
    ASSERT_EQ(after.w, before.w);
    ASSERT_EQ(after.h, before.h);
    ASSERT_EQ(after.rgba.size(), before.rgba.size());
    // The stroke's box, widened to the grid and by the reach: pixels may change only inside it.
    const Stroke& s = c.stroke;
    const int x0 = s.x / c.block * c.block - c.reach, y0 = s.y / c.block * c.block - c.reach;
    const int x1 = (s.x + s.w + c.block - 1) / c.block * c.block + c.reach;
    const int y1 = (s.y + s.h + c.block - 1) / c.block * c.block + c.reach;
    int changed = 0, offColour = 0, mostChanged = 0, mostOff = 0;  // the farthest, of 65535
    const quint16 want[3] = {SixteenOf(qRed(s.colour)), SixteenOf(qGreen(s.colour)), SixteenOf(qBlue(s.colour))};
    for (int y = 0; y < before.h; ++y)
      for (int x = 0; x < before.w; ++x) {
        const bool painted = x >= s.x && x < s.x + s.w && y >= s.y && y < s.y + s.h;
        if (painted) {
          for (int ch = 0; ch < 3; ++ch) {
            const int off = std::abs(after.at(x, y, ch) - want[ch]);
            offColour += off > c.lossy * 257, mostOff = std::max(mostOff, off);
          }
          offColour += after.at(x, y, 3) != 0xffff, mostOff = std::max(mostOff, 0xffff - after.at(x, y, 3));
        } else if (x < x0 || x >= x1 || y < y0 || y >= y1) {
          for (int ch = 0; ch < 4; ++ch) {
            const int moved = std::abs(after.at(x, y, ch) - before.at(x, y, ch));
            changed += moved > c.drift * 257, mostChanged = std::max(mostChanged, moved);
          }
        }
      }
    EXPECT_EQ(changed, 0) << "samples changed outside the stroke, by up to " << mostChanged << " of 65535";
    EXPECT_EQ(offColour, 0) << "samples of the stroke not in its colour, by up to " << mostOff << " of 65535";
  }

  static quint16 SixteenOf(int v) { return quint16(v * 257); }
};

// --- The cases, a table a format. ---

// A shell command that adds chunks to the PNG $F, in the order given: "header:TYPE:HEX" after its IHDR,
// "before:TYPE:HEX" before its image data, "after:TYPE:HEX" before its IEND.
std::string AddChunks(const std::string& chunks) {
  return "/usr/bin/python3 -c '" R"(
import sys, struct, zlib
f = sys.argv[1]; d = open(f, "rb").read(); out = d[:8]; i = 8; placed = False
add = [a.split(":") for a in sys.argv[2:]]
def chunks(where):
    return b"".join(struct.pack(">I", len(bytes.fromhex(h))) + t.encode() + bytes.fromhex(h) +
                    struct.pack(">I", zlib.crc32(t.encode() + bytes.fromhex(h))) for w, t, h in add if w == where)
while i < len(d):
    n = struct.unpack(">I", d[i:i + 4])[0]; t = d[i + 4:i + 8]
    if t == b"IDAT" and not placed: out += chunks("before"); placed = True
    if t == b"IEND": out += chunks("after")
    out += d[i:i + 12 + n]; i += 12 + n
    if t == b"IHDR": out += chunks("header")
open(f, "wb").write(out)
)" "' $F " + chunks;
}

// A palette PNG of 40 x 30 made by PIL: four colours in stripes, entry 3 transparent and entry 1 half so.
const std::string kStripedPalette =
    "/usr/bin/python3 -c 'from PIL import Image; im = Image.new(\"P\", (40, 30)); "
    "im.putpalette([0, 0, 0, 250, 0, 0, 0, 250, 0, 0, 0, 250]); "
    "im.putdata([(x // 3 + y) % 4 for y in range(30) for x in range(40)]); "
    "im.save(\"'$F'\", transparency=bytes([255, 128, 255, 0]))'";

std::vector<Case> PngCases() {
  const QRgb green = qRgb(10, 200, 30);
  const std::string gradient = "convert -size 40x30 gradient:red-blue";
  const std::string grey = "convert -size 40x30 gradient:black-white";
  const std::string pil = "/usr/bin/python3 -c 'from PIL import Image; im = Image.linear_gradient(\"L\").resize((40, 30)); ";
  const std::string keyedGrey = pil + "im.paste(128, (20, 0, 40, 10)); im.save(\"'$F'\", transparency=128)'";
  const std::string keyedRgb = pil + "im = im.convert(\"RGB\"); im.paste((9, 8, 7), (0, 0, 20, 10)); "
                                     "im.save(\"'$F'\", transparency=(9, 8, 7))'";
  const std::set<std::string> header = {"IHDR"};
  return {
      {"rgb8.png", gradient + " -depth 8 -define png:color-type=2 $F", {3, 4, 10, 6, green}},
      // 16 bits a sample, transparency, an alpha channel with nothing to hide: as they were, to the bit.
      {"rgb16.png", gradient + " -depth 16 $F", {3, 4, 10, 6, green}},
      {"rgba16.png", gradient + " -depth 16 \\( +clone -fx 'j/h' -colorspace gray \\) -compose CopyOpacity -composite $F",
       {3, 4, 10, 6, green}},
      {"rgba8.png", gradient + " -depth 8 \\( +clone -fx 'i/w' -colorspace gray \\) -compose CopyOpacity -composite -define png:color-type=6 $F",
       {3, 4, 10, 6, green}},
      {"rgba8-opaque.png", gradient + " -depth 8 -alpha opaque -define png:color-type=6 $F", {3, 4, 10, 6, green}},
      {"interlaced.png", gradient + " -depth 16 -interlace PNG $F", {3, 4, 10, 6, green}},
      {"rgb-key.png", keyedRgb, {15, 5, 10, 10, green}},
      // Painted in the key's colour, which would vanish: the key goes into an alpha channel.
      {"rgb-key-painted-key.png", keyedRgb, {15, 5, 10, 10, qRgb(9, 8, 7)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "6"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      // Grey at its depth while the grey painted is one of its values, else at the next depth that has it.
      {"grey1.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(255, 255, 255)}},
      {"grey1-to-2.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(85, 85, 85)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:BitDepth", "2"}}, header},
      {"grey1-to-4.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(17, 17, 17)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:BitDepth", "4"}}, header},
      {"grey2-to-8.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(100, 100, 100)},
       "", {}, 0, 1, 0, 1, 0, 0, -1, "", {{"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "bKGD"}},
      {"grey1-interlaced.png", grey + " -monochrome -interlace PNG -define png:bit-depth=1 -define png:color-type=0 $F",
       {3, 4, 10, 6, qRgb(0, 0, 0)}},
      {"grey2.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(170, 170, 170)}},
      {"grey4-to-8.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(100, 100, 100)},
       "", {}, 0, 1, 0, 1, 0, 0, -1, "", {{"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "bKGD"}},
      {"grey8-key.png", keyedGrey, {3, 4, 10, 6, qRgb(200, 200, 200)}},
      {"grey8-key-painted-key.png", keyedGrey, {3, 4, 10, 6, qRgb(128, 128, 128)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "4"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      {"grey16.png", grey + " -depth 16 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(77, 77, 77)}},
      {"grey-alpha-opaque.png", grey + " -depth 8 -alpha opaque -define png:color-type=4 $F", {3, 4, 10, 6, qRgb(77, 77, 77)}},
      {"grey-alpha16.png", grey + " -depth 16 \\( +clone -fx 'i/w' \\) -compose CopyOpacity -composite -define png:color-type=4 $F",
       {3, 4, 10, 6, qRgb(77, 77, 77)}},
      // Colour painted on grey: RGB, or RGBA over an alpha channel; the chunks of grey follow.
      {"grey-in-colour.png", keyedGrey + " && " + AddChunks("header:sBIT:05 before:bKGD:0010"), {3, 4, 10, 6, green}, "",
       {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "2"}, {"PNG:Transparency", "128 128 128"}, {"PNG:SignificantBits", "5 5 5"},
        {"PNG:BackgroundColor", "16 16 16"}},
       {"IHDR", "tRNS", "sBIT", "bKGD"}},
      {"grey2-in-colour.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F && " + AddChunks("header:sBIT:01"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}, {"PNG:SignificantBits", "1 1 1"}, {"PNG:BackgroundColor", "255 255 255"}},
       {"IHDR", "sBIT", "bKGD"}},
      {"grey-alpha-in-colour.png", grey + " -depth 16 \\( +clone -fx 'i/w' \\) -compose CopyOpacity -composite "
                                          "-define png:color-type=4 $F && " + AddChunks("header:sBIT:0c0d"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "6"}, {"PNG:SignificantBits", "12 12 12 13"}, {"PNG:BackgroundColor", "65535 65535 65535"}},
       {"IHDR", "sBIT", "bKGD"}},
      // A palette keeps its entries and every unpainted index while the colours painted are among them.
      {"palette.png", kStripedPalette + " && " + AddChunks("before:hIST:0001000200030004 before:prVt:0102 after:zzZz:00"),
       {3, 4, 10, 6, qRgb(0, 250, 0)}},
      // Black stands twice, transparent first: the painting takes the opaque entry.
      {"palette-twice.png",
       "/usr/bin/python3 -c 'from PIL import Image; im = Image.new(\"P\", (40, 30)); "
       "im.putpalette([0, 0, 0, 250, 0, 0, 0, 250, 0, 0, 0, 0]); "
       "im.putdata([(x // 3 + y) % 4 for y in range(30) for x in range(40)]); "
       "im.save(\"'$F'\", transparency=bytes([0, 255, 255, 255]))'",
       {3, 4, 10, 6, qRgb(0, 0, 0)}},
      // A palette of its own (PIL's quantiser picks other colours from release to release), painted in entry 0.
      {"palette8.png", pil + "im = Image.new(\"P\", (40, 30)); im.putpalette([v for i in range(100) for v in (2 * i, i, 255 - 2 * i)]); "
                             "im.putdata([(x + y) % 100 for y in range(30) for x in range(40)]); im.save(\"'$F'\")'",
       {3, 4, 10, 6, qRgb(0, 0, 255)}},
      {"palette-in-colour.png", kStripedPalette + " && " + AddChunks("header:sBIT:050607 before:bKGD:02 before:hIST:0001000200030004"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "6"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}, {"PNG:SignificantBits", "5 6 7 8"},
        {"PNG:BackgroundColor", "0 250 0"}},
       {"IHDR", "tRNS", "sBIT", "bKGD"}},
      // The colour of a half-transparent entry is not one the palette can paint.
      {"palette-half-entry.png", kStripedPalette, {3, 4, 10, 6, qRgb(250, 0, 0)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "6"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      {"palette-opaque-in-colour.png",
       "/usr/bin/python3 -c 'from PIL import Image; im = Image.new(\"P\", (40, 30)); "
       "im.putpalette([0, 0, 0, 250, 0, 0, 0, 250, 0, 0, 0, 250]); "
       "im.putdata([(x // 3 + y) % 4 for y in range(30) for x in range(40)]); im.save(\"'$F'\", bits=2)'",
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "", {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}}, header},
      // What holds no pixels stays where it was, byte for byte: private chunks, text, time, palettes, EXIF.
      {"bytes-after-end.png", gradient + " -depth 8 -define png:color-type=2 $F && printf 'trailing' >> $F", {3, 4, 10, 6, green}},
      {"chunks.png",
       gradient + " -depth 8 -define png:color-type=2 $F && " +
           AddChunks("before:prVt:0102 header:sBIT:050505 before:sPLT:6e616d650008ff0000ff0001 "
                     "before:eXIf:4d4d002a00000008000000000000 after:tEXt:436f6d6d656e7400686921 "
                     "after:zzZz:00"),
       {3, 4, 10, 6, green}},
      // 16 bits a sample keep them all through a change of model.
      {"grey16-in-colour.png", grey + " -depth 16 -define png:color-type=0 $F", {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "2"}, {"PNG:BackgroundColor", "65535 65535 65535"}}, {"IHDR", "bKGD"}},
      {"rgb16-key.png", gradient + " -depth 16 -define png:color-type=2 $F && " + AddChunks("before:tRNS:ffff00000000"),
       {3, 4, 10, 6, green}},
      {"rgb16-key-painted-key.png",
       gradient + " -depth 16 -define png:color-type=2 $F && " + AddChunks("before:tRNS:ffff00000000"),
       {3, 4, 10, 6, qRgb(255, 0, 0)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "6"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      // A key of fewer than 8 bits follows the depth; a painted pixel of its colour takes the key to alpha.
      {"grey4-key-to-8.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F && " + AddChunks("before:tRNS:0005"),
       {3, 4, 10, 6, qRgb(100, 100, 100)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:BitDepth", "8"}, {"PNG:Transparency", "85"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "tRNS", "bKGD"}},
      {"grey4-painted-key.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F && " + AddChunks("before:tRNS:0005"),
       {3, 4, 10, 6, qRgb(85, 85, 85)}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "4"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}, {"PNG:BackgroundColor", "255"}},
       {"IHDR", "tRNS", "bKGD"}},
      {"grey1-painted-key.png", pil + "im.convert(\"1\").save(\"'$F'\", transparency=0)'", {3, 4, 10, 6, qRgb(0, 0, 0)},
       "", {}, 0, 1, 0, 1, 0, 0, -1, "", {{"PNG:ColorType", "4"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}},
       {"IHDR", "tRNS"}},
      // Interlacing stays through a change of model.
      {"palette-interlaced-in-colour.png",
       "convert -size 40x30 gradient:red-blue -depth 8 -colors 16 -interlace PNG -define png:color-type=3 $F",
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, 0, 0, -1, "",
       {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255 255 255"}}, {"IHDR", "bKGD"}},
      {"grey-alpha-opaque-in-colour.png", grey + " -depth 8 -alpha opaque -define png:color-type=4 $F", {3, 4, 10, 6, green},
       "", {}, 0, 1, 0, 1, 0, 0, -1, "", {{"PNG:ColorType", "6"}, {"PNG:BackgroundColor", "255 255 255"}}, {"IHDR", "bKGD"}},
      // Refused at start, with the reason.
      {"truncated.png", gradient + " -depth 8 $F && head -c $(( $(stat -c %s $F) / 2 )) $F > $F.part && mv $F.part $F", {},
       "truncated"},
      {"bad-crc.png",
       gradient + " -depth 8 $F && /usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], \"rb\").read()); "
                  "i = d.find(b\"IDAT\"); d[i + 9] ^= 1; open(sys.argv[1], \"wb\").write(d)' $F",
       {}, "CRC"},
      {"bad-crc-after.png",
       gradient + " -depth 8 $F && " + AddChunks("after:tEXt:6100620a") +
           " && /usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], \"rb\").read()); "
           "d[d.rfind(b\"a\\0b\")] ^= 1; open(sys.argv[1], \"wb\").write(d)' $F",
       {}, "CRC"},
      {"no-end.png", gradient + " -depth 8 $F && head -c -12 $F > $F.part && mv $F.part $F", {}, "IEND"},
      // The image data cut short inside a sound chunk: libpng's reason, not an abort.
      {"short-data.png",
       gradient + " -depth 8 -define png:color-type=2 $F && /usr/bin/python3 -c 'import sys, struct, zlib; "
                  "d = open(sys.argv[1], \"rb\").read(); i = d.find(b\"IDAT\") - 4; n = struct.unpack(\">I\", d[i:i + 4])[0]; "
                  "data = d[i + 8:i + 8 + n // 2]; chunk = struct.pack(\">I\", len(data)) + b\"IDAT\" + data + "
                  "struct.pack(\">I\", zlib.crc32(b\"IDAT\" + data)); "
                  "open(sys.argv[1], \"wb\").write(d[:i] + chunk + d[i + 12 + n:])' $F",
       {}, "damaged or truncated"},
      // The size claimed is refused before libpng sees it.
      {"huge.png",
       "/usr/bin/python3 -c 'import struct, zlib; h = b\"IHDR\" + struct.pack(\">IIBBBBB\", 100000, 100000, 8, 2, 0, 0, 0); "
       "e = b\"IEND\"; c = lambda t: struct.pack(\">I\", len(t) - 4) + t + struct.pack(\">I\", zlib.crc32(t)); "
       "open(\"'$F'\", \"wb\").write(b\"\\x89PNG\\r\\n\\x1a\\n\" + c(h) + c(e))'",
       {}, "claims 100000 x 100000 pixels"},
      {"animated.png",
       "/usr/bin/python3 -c 'from PIL import Image; a = Image.new(\"RGB\", (8, 8), \"red\"); "
       "a.save(\"'$F'\", save_all=True, append_images=[Image.new(\"RGB\", (8, 8), \"blue\")])'",
       {}, "animated PNG of 2 frames"},
  };
}

std::vector<Case> JpegCases() {
  // A swirl, which no block repeats; 64 x 48, so that every MCU grid (and its turn by 6) is whole.
  const std::string swirl = "convert -size 64x48 gradient:red-blue -swirl 120 ";
  // Two JPEGs after each other with an MPF index in the first, as phones store their gain or depth maps.
  const std::string mpf = swirl + "-quality 85 jpg:$F.1 && convert -size 32x24 gradient:yellow-green jpg:$F.2 && python3 -c '"
      "import struct,sys\n"
      "f=sys.argv[1]; a=open(f+\".1\",\"rb\").read(); b=open(f+\".2\",\"rb\").read()\n"
      "def app2(size1,off2):\n"
      "  t=b\"MM\\0*\"+struct.pack(\">IH\",8,3)+struct.pack(\">HHI4s\",0xB000,7,4,b\"0100\")+struct.pack(\">HHII\",0xB001,4,1,2)\n"
      "  t+=struct.pack(\">HHII\",0xB002,7,32,50)+struct.pack(\">I\",0)\n"
      "  t+=struct.pack(\">IIIHH\",0x20030000,size1,0,0,0)+struct.pack(\">IIIHH\",0,len(b),off2,0,0)\n"
      "  p=b\"MPF\\0\"+t; return b\"\\xff\\xe2\"+struct.pack(\">H\",2+len(p))+p\n"
      "i=4+struct.unpack(\">H\",a[4:6])[0] if a[2:4]==b\"\\xff\\xe0\" else 2\n"
      "size1=len(a)+len(app2(0,0))\n"
      "open(f,\"wb\").write(a[:i]+app2(size1,size1-(i+8))+a[i:]+b)' $F";
  const std::string camera = swirl + "-interlace JPEG -quality 90 $F && convert -size 16x12 xc:orange jpg:$F.thumb && exiftool -q "
      "-overwrite_original -ExifByteOrder=Little-endian -Make=Canon -Model=EOS -DateTimeOriginal='2024:01:02 03:04:05' -GPSLatitude=48.85 "
      "-GPSLatitudeRef=N -GPSLongitude=2.35 -GPSLongitudeRef=E -n -Orientation=6 -XMP-tiff:Orientation=6 "
      "-IPTC:Keywords=test -IPTC:By-line=Ada -Comment='a comment' \"-ThumbnailImage<=$F.thumb\" $F && exiftool -b -ThumbnailImage $F | cmp -s - $F.thumb";
  // No 16 bytes of the old thumbnail's coded data are left in the file.
  const std::string thumbnailGone = "python3 -c 'import sys; d=open(sys.argv[1],\"rb\").read(); t=open(sys.argv[2],\"rb\").read(); "
      "t=t[t.index(b\"\\xff\\xda\"):]; sys.exit(any(t[i:i+16] in d for i in range(0,len(t)-16)))' $F $F.thumb";
  const std::set<std::string> thumbnail = {"IFD1:Compression",     "IFD1:XResolution",     "IFD1:YResolution",
                                           "IFD1:ResolutionUnit",  "IFD1:ThumbnailOffset", "IFD1:ThumbnailLength",
                                           "IFD1:ThumbnailImage"};
  const QRgb green = qRgb(40, 200, 90), grey = qRgb(90, 90, 90);
  // lossy: the stroke's edge blends with the unpainted chroma around it, as in any encoding at the file's
  // quality (ImageMagick's own encoding of the same stroke on 420.jpg puts a sample 93 off).
  return {
      // Sampled 4:2:0: an MCU is 16 pixels a side, and the decoder's upsampling reaches one pixel past it.
      {"420.jpg", swirl + "-sampling-factor 2x2 -quality 85 $F", {18, 14, 12, 8, green}, "", {}, 100, 16, 1},
      {"422.jpg", swirl + "-sampling-factor 2x1 -quality 85 $F", {18, 14, 12, 8, green}, "", {}, 72, 16, 1},
      {"444.jpg", swirl + "-sampling-factor 1x1 -quality 90 $F", {18, 14, 12, 8, green}, "", {}, 24, 8, 0},
      {"grey.jpg", swirl + "-colorspace Gray -quality 90 $F", {19, 13, 10, 7, grey}, "", {}, 8, 8, 0},
      // Colour on grey is asked about, then written as its luma: (90, 96, 90) is 94 grey.
      {"grey-in-colour.jpg", swirl + "-colorspace Gray -quality 90 $F", {19, 13, 10, 7, qRgb(90, 96, 90)}, "", {}, 12, 8, 0},
      {"progressive.jpg", swirl + "-interlace JPEG -quality 85 $F", {18, 14, 12, 8, green}, "", {}, 100, 16, 1},
      {"restarts.jpg", swirl + "ppm:- | cjpeg -restart 1B -quality 80 -outfile $F", {18, 14, 12, 8, green}, "", {}, 96, 16, 1},
      // A quantiser of 0 decodes, but the encoder of a send would divide by it (a fuzzed file found it).
      {"zero-quantiser.jpg", swirl + "ppm:- | cjpeg -quality 80 -outfile $F && printf '\\000' | dd of=$F bs=1 seek=26 "
       "conv=notrunc", {}, "a quantisation table of it holds a zero"},
      {"arithmetic.jpg", swirl + "ppm:- | cjpeg -arithmetic -quality 80 -outfile $F", {18, 14, 12, 8, green}, "", {}, 96, 16, 1},
      // Coded as RGB, told by libjpeg's Adobe segment.
      {"rgb-coded.jpg", swirl + "ppm:- | cjpeg -rgb -quality 90 -outfile $F", {18, 14, 12, 8, green}, "", {}, 16, 8, 0},
      // Each send recodes the same MCUs; the others stay as they were through all ten.
      {"ten-sends.jpg", swirl + "-quality 75 $F", {18, 14, 12, 8, green}, "", {}, 64, 16, 1, 10},
      // Progressive, turned by its (little-endian) EXIF and its XMP orientation, which it keeps: the stroke
      // goes into the stored grid, and only the thumbnail, which shows the old pixels, goes.
      {"camera.jpg", camera, {5, 20, 9, 9, green}, "", thumbnail, 40, 16, 1, 1, 0, 0, -1, thumbnailGone},
      // The orientation as a LONG, as some writers store it, turns the picture as a SHORT does.
      {"orientation-long.jpg", swirl + "$F && exiftool -q -overwrite_original -n -Orientation=8 $F && python3 -c '"
           "import sys; f=sys.argv[1]; d=open(f,\"rb\").read(); "
           "e=b\"\\x01\\x12\\x00\\x03\\x00\\x00\\x00\\x01\\x00\\x08\\x00\\x00\"; assert e in d; "
           "open(f,\"wb\").write(d.replace(e,b\"\\x01\\x12\\x00\\x04\\x00\\x00\\x00\\x01\\x00\\x00\\x00\\x08\"))' $F",
       {5, 20, 9, 9, green}, "", {}, 40, 16, 1},
      // The second picture follows the primary byte for byte, and the index finds it where it now starts.
      {"mpf.jpg", mpf, {18, 14, 12, 8, green}, "", {"MPImage1:MPImageLength", "MPImage2:MPImageStart"}, 100, 16, 1, 1, 0, 0, -1,
       "exiftool -b -MPImage2 $F | cmp -s - $F.2"},
      // Every turn of the stored grid, each stroke near a corner so that a wrong turn paints another.
      {"orientation-2.jpg", swirl + "-quality 85 $F && exiftool -q -overwrite_original -n -Orientation=2 $F", {2, 2, 10, 10, green},
       "", {}, 120, 16, 1},
      {"orientation-3.jpg", swirl + "-quality 85 $F && exiftool -q -overwrite_original -n -Orientation=3 $F", {2, 2, 10, 10, green},
       "", {}, 120, 16, 1},
      {"orientation-4.jpg", swirl + "-quality 85 $F && exiftool -q -overwrite_original -n -Orientation=4 $F", {2, 2, 10, 10, green},
       "", {}, 120, 16, 1},
      {"orientation-5.jpg", swirl + "-quality 85 $F && exiftool -q -overwrite_original -n -Orientation=5 $F", {2, 2, 10, 10, green},
       "", {}, 120, 16, 1},
      {"orientation-7.jpg", swirl + "-quality 85 $F && exiftool -q -overwrite_original -n -Orientation=7 $F", {2, 2, 10, 10, green},
       "", {}, 120, 16, 1},
      // Sampled 4:4:0 and 4:1:1: MCUs of 8 x 16 and 32 x 8 pixels.
      {"440.jpg", swirl + "-sampling-factor 1x2 -quality 85 $F", {18, 14, 12, 8, green}, "", {}, 100, 16, 1},
      {"411.jpg", swirl + "-sampling-factor 4x1 -quality 85 $F", {16, 14, 12, 8, green}, "", {}, 100, 32, 1},
      // Not a whole number of MCUs: the stroke reaches into the part MCUs at the right and bottom edges.
      {"part-mcus.jpg", "convert -size 61x45 gradient:red-blue -swirl 120 -quality 85 $F", {50, 36, 11, 9, green}, "",
       {}, 100, 16, 1},
      {"not-jpeg-data.jpg", "printf '\\377\\330\\377\\340 no segments here' | tee $F", {}, "cannot be decoded"},
      {"cmyk.jpg", "convert -size 16x16 xc:red -colorspace CMYK $F", {}, "is a CMYK JPEG"},
      {"truncated.jpg", swirl + "$F && truncate -s 700 $F", {}, "ends before its end-of-image marker"},
  };
}

// PIL's TIFF writer adds no tag of its own (no resolution, no orientation): what the file holds besides
// its pixels is what the row gives it.
std::string Pil(const std::string& code) {
  return "/usr/bin/python3 -c \"from PIL import Image; g = Image.linear_gradient('L').resize((40, 30)); "
         "rgb = Image.merge('RGB', (g, g.rotate(90), g.transpose(0))); " + code + "\"";
}

std::vector<Case> TiffCases() {
  const std::string rgb = Pil("rgb.save('$F.pil.tif')");
  const std::string lzw = rgb + " && tiffcp -c lzw -r 4 $F.pil.tif $F";
  const std::string tags =
      " && exiftool -q -overwrite_original -Make=Brisa -Model='Mk II' -Software=Tool -Artist=Ada -Copyright='(c) Ada' "
      "-ImageDescription=Sea -ModifyDate='2024:05:06 07:08:09' -ExifIFD:DateTimeOriginal='2024:05:06 07:08:09' "
      "-GPSLatitude=48.1 -GPSLatitudeRef=N -XMP-dc:Title=Sea -IPTC:Keywords=sea $F";
  const std::string palette = "p = Image.new('P', (40, 30)); p.putpalette([0, 0, 0, 250, 10, 10, 10, 250, 10, 0, 0, 255]); "
                              "p.putdata([(x // 5 + y // 5) % 4 for y in range(30) for x in range(40)]); ";
  const std::set<std::string> strips = {"IFD0:StripOffsets", "IFD0:StripByteCounts"};
  const std::set<std::string> toRgb = {"IFD0:StripOffsets", "IFD0:StripByteCounts", "IFD0:BitsPerSample",
                                       "IFD0:SamplesPerPixel", "IFD0:PhotometricInterpretation"};
  std::set<std::string> withoutPalette = toRgb;
  withoutPalette.insert("IFD0:ColorMap");
  // Fax compression holds only black and white: grey goes to LZW.
  const std::set<std::string> fromBilevel = {"IFD0:StripOffsets", "IFD0:StripByteCounts", "IFD0:BitsPerSample",
                                             "IFD0:PhotometricInterpretation", "IFD0:Compression", "IFD0:T6Options"};
  // JPEG's strips, which exiftool calls a preview, become LZW's.
  const std::set<std::string> fromJpeg = {"IFD0:Compression", "IFD0:JPEGTables", "IFD0:PreviewImage",
                                          "IFD0:PreviewImageStart", "IFD0:PreviewImageLength", "IFD0:StripOffsets",
                                          "IFD0:StripByteCounts"};
  std::set<std::string> fromYcbcr = fromJpeg;
  fromYcbcr.insert({"IFD0:PhotometricInterpretation", "IFD0:YCbCrSubSampling", "IFD0:ReferenceBlackWhite"});
  // No 16 bytes of the strips the file had at first ($F.orig) are left in it: a colour model widened writes
  // every strip anew, and the old ones, painted-over pixels and all, must go.
  const std::string oldStripsGone =
      "/usr/bin/python3 -c 'import sys; from PIL import Image; t = Image.open(sys.argv[2]).tag_v2; o = open(sys.argv[2], \"rb\").read(); "
      "d = open(sys.argv[1], \"rb\").read(); s = b\"\".join(o[a:a + n] for a, n in zip(t[273], t[279])); "
      "sys.exit(any(s[i:i + 16] in d for i in range(len(s) - 16)))' $F $F.orig";
  // One uncompressed strip whose byte count claims 16 bytes more, which lie in the directory after it.
  const std::string overstated = rgb + " && tiffcp -c none -r 30 $F.pil.tif $F && python3 -c '"
      "import struct, sys\n"
      "f = sys.argv[1]; d = bytearray(open(f, \"rb\").read()); o = struct.unpack_from(\"<I\", d, 4)[0]\n"
      "for e in range(o + 2, o + 2 + 12 * struct.unpack_from(\"<H\", d, o)[0], 12):\n"
      "  tag, kind = struct.unpack_from(\"<HH\", d, e); n = \"<H\" if kind == 3 else \"<I\"\n"
      "  if tag == 279: assert 8 + struct.unpack_from(n, d, e + 8)[0] == o; struct.pack_into(n, d, e + 8, o + 8)\n"
      "open(f, \"wb\").write(d)' $F";
  const Stroke stroke{3, 5, 10, 6, qRgb(10, 200, 30)};
  std::vector<Case> cases = {
      {"cmyk-big.tif", "convert -size 20x20 xc:red -colorspace cmyk $F.c.tif && tiffcp -8 $F.c.tif $F", {}, "is in CMYK"},
      {"lab.tif", "convert -size 20x20 xc:red -colorspace Lab $F", {}, "is in CIE L*a*b*; Brisel paints in RGB"},
      {"pages.tif", "convert -size 20x20 xc:red xc:blue $F", {}, "holds 2 frames or pages"},
      {"float.tif", Pil("g.convert('F').save('$F')"), {}, "floating-point"},
      {"lzw-big.tif", rgb + " && tiffcp -8 -c lzw -r 4 $F.pil.tif $F", stroke, "", strips},
      // Every tag kept, the EXIF and GPS directories still where their offsets point; no orientation added.
      {"tagged.tif", lzw + tags, stroke, "", strips, 0, 1, 0, 3},
      {"tiled.tif", rgb + " && tiffcp -c zip -t -w 16 -l 16 $F.pil.tif $F", {14, 10, 6, 9, qRgb(200, 0, 90)}, "",
       {"IFD0:TileOffsets", "IFD0:TileByteCounts"}},
      {"planes-apart.tif", rgb + " && tiffcp -c packbits -p separate -r 8 $F.pil.tif $F", stroke, "", strips},
      // A column through every strip: encoded again without the predictor, they would take 6 times the room.
      {"rgb16-predictor.tif",
       "convert -size 32x160 gradient:red-blue -rotate 90 -depth 16 $F.c.tif && tiffcp -c lzw:2 -r 4 $F.c.tif $F",
       {80, 0, 2, 32, qRgb(10, 200, 30)}, "", strips, 0, 1, 0, 1, 0, 2.5},
      {"grey-alpha.tif", Pil("Image.merge('LA', (g, g.rotate(90))).save('$F', compression='tiff_lzw')"),
       {3, 4, 10, 6, qRgb(77, 77, 77)}, "", strips},
      {"associated.tif", "convert -size 40x30 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel "
       "-define tiff:alpha=associated -compress lzw $F", stroke, "", strips},
      {"bilevel-g4.tif", "convert -size 40x30 pattern:checkerboard -monochrome -compress group4 $F",
       {5, 3, 7, 9, qRgb(0, 0, 0)}, "", strips},
      {"turned.tif", lzw + " && tiffset -s 274 6 $F", {2, 3, 8, 4, qRgb(0, 0, 250)}, "", strips},
      {"palette.tif", "convert -size 40x30 gradient:red-blue -type palette -depth 8 -compress lzw $F",
       {3, 4, 10, 6, qRgb(255, 0, 0)}, "", strips},
      // Painted outside the palette, or in colour on grey: RGB at the file's depth, every other tag kept. PIL's
      // palette (8-bit colours as v * 256) goes to 16 bits, where its colours stay exact.
      {"palette-in-colour.tif", Pil(palette + "p.save('$F', compression='tiff_lzw')") + " && cp $F $F.orig", stroke, "",
       withoutPalette, 0, 1, 0, 1, 0, 0, -1, oldStripsGone},
      {"grey16-in-colour.tif", Pil("g.convert('I').point(lambda v: v * 250).convert('I;16').save('$F')"), stroke, "", toRgb},
      {"bilevel-in-grey.tif", "convert -size 40x30 pattern:checkerboard -monochrome -compress group4 $F",
       {5, 3, 7, 9, qRgb(128, 128, 128)}, "", fromBilevel},
      // JPEG-compressed: written whole in LZW, never lossy again; its pixels as libtiff decodes them.
      {"jpeg.tif", "convert -size 40x30 gradient:red-blue -compress jpeg $F", stroke, "", fromJpeg},
      {"ycbcr-jpeg.tif", rgb + " && tiffcp -c jpeg -r 16 $F.pil.tif $F", stroke, "", fromYcbcr},
      {"grey4.tif", "convert -size 40x30 gradient: -depth 4 $F", {}, "4-bit samples"},
      {"signed.tif", "convert -size 20x20 gradient: -depth 16 -define quantum:format=signed $F", {}, "signed samples"},
      {"rgba16.tif", "convert -size 40x30 gradient:red-blue -alpha set -channel A -fx 'i/w' +channel -depth 16 -compress zip $F",
       stroke, "", strips},
      {"grey16-predictor.tif", Pil("g.convert('I').point(lambda v: v * 250).convert('I;16').save('$F.pil.tif')") +
       " && tiffcp -c zip:2 -r 8 $F.pil.tif $F", {3, 4, 10, 6, qRgb(77, 77, 77)}, "", strips},
      {"grey-alpha-in-colour.tif", Pil("Image.merge('LA', (g, g.rotate(90))).save('$F', compression='tiff_lzw')"), stroke,
       "", toRgb},
      {"big-endian-tiles.tif", rgb + " && tiffcp -8 -B -c lzw:2 -t -w 16 -l 16 $F.pil.tif $F", {14, 10, 6, 9, qRgb(200, 0, 90)},
       "", {"IFD0:TileOffsets", "IFD0:TileByteCounts"}},
      {"turned-8.tif", lzw + " && tiffset -s 274 8 $F", {2, 3, 8, 4, qRgb(0, 0, 250)}, "", strips},
      {"turned-3.tif", lzw + " && tiffset -s 274 3 $F", {2, 3, 8, 4, qRgb(0, 0, 250)}, "", strips},
      {"bilevel-packbits.tif", "convert -size 40x30 pattern:checkerboard -monochrome -compress group4 $F.g4.tif && "
       "tiffcp -c packbits $F.g4.tif $F", {5, 3, 7, 9, qRgb(255, 255, 255)}, "", strips},
      // A byte count that overstates into the directory: the strip rewritten in its place, the directory kept.
      {"overstated-count.tif", overstated, stroke, "", strips},
      {"truncated.tif", lzw + " && head -c 500 $F > $F.cut && mv $F.cut $F", {}, "cannot be decoded"},
      {"no-directory.tif", "printf 'II*\\000\\010\\000\\000\\000\\377\\377' | tee $F", {}, "cannot be decoded"},
  };
  // Every picture opened is seen as ImageMagick sees it: palette, alpha (associated or not), black on
  // white, the orientation applied.
  for (Case& c : cases) c.planes = 1;
  return cases;
}

std::vector<Case> OtherCases() {
  const std::string gradient = "convert -size 40x30 gradient:red-blue ";
  // Alpha falling from opaque at the top to clear at the bottom, over the gradient.
  const std::string seeThrough = gradient + "\\( -size 40x30 gradient:white-black \\) -alpha off -compose copy_opacity -composite ";
  const std::string profile = " /usr/share/color/icc/ghostscript/a98.icc";
  // The rows of a bottom-up BMP turned top-down, as its negative height says.
  const std::string topDown = R"py( && python3 -c "import struct,sys; b=bytearray(open(sys.argv[1],'rb').read()); )py"
                              R"py(o=struct.unpack_from('<I',b,10)[0]; w,h=struct.unpack_from('<ii',b,18); )py"
                              R"py(s=(w*struct.unpack_from('<H',b,28)[0]+31)//32*4; )py"
                              R"py(r=[b[o+i*s:o+i*s+s] for i in range(h)]; b[o:o+s*h]=b''.join(r[::-1]); )py"
                              R"py(struct.pack_into('<i',b,22,-h); open(sys.argv[1],'wb').write(b)" $F)py";
  // 16 bytes of no meaning between a BMP's headers and its pixels, where its offset to the pixels points past.
  const std::string gap = R"py( && python3 -c "import struct,sys; b=bytearray(open(sys.argv[1],'rb').read()); )py"
                          R"py(o=struct.unpack_from('<I',b,10)[0]; b[o:o]=b'gap bytes kept!!'; )py"
                          R"py(struct.pack_into('<II',b,2,len(b),0); struct.pack_into('<I',b,10,o+16); )py"
                          R"py(open(sys.argv[1],'wb').write(b)" $F)py";
  // A BMP's bits a pixel made 64.
  const std::string deep = R"py( && python3 -c "import struct,sys; b=bytearray(open(sys.argv[1],'rb').read()); )py"
                           R"py(struct.pack_into('<H',b,28,64); open(sys.argv[1],'wb').write(b)" $F)py";
  const std::string tagged = " && exiftool -q -overwrite_original -Artist=Ada -XMP-dc:Title=Sea '-ICC_Profile<=" +
                             profile.substr(1) + "' $F";
  // A chunk no reader knows, at the end of an extended WebP.
  const std::string unknownChunk = R"py( && python3 -c "import struct,sys; b=open(sys.argv[1],'rb').read()+b'BRSL'+)py"
                                   R"py(struct.pack('<I',5)+b'hello\0'; b=b[:4]+struct.pack('<I',len(b)-8)+b[8:]; )py"
                                   R"py(open(sys.argv[1],'wb').write(b)" $F)py";
  const std::string halves = "convert -size 40x30 xc:red -fill blue -draw 'rectangle 0,0 19,29' -type Palette ";  // two colours
  const std::string png = " $F.png && ";
  const QRgb colour = qRgb(10, 200, 30), grey = qRgb(90, 90, 90), black = qRgb(0, 0, 0);
  const QRgb muted = qRgb(120, 100, 140);
  return {
      // BMP: the pixel rows replaced in place, at the file's depth.
      {"alpha-profile.bmp", seeThrough + "-profile" + profile + " $F", {3, 4, 10, 6, colour}},
      {"rgb24.bmp", gradient + "-type TrueColor BMP3:$F", {3, 4, 10, 6, colour}},
      {"top-down.bmp", gradient + "-type TrueColor BMP3:$F" + topDown, {3, 4, 10, 6, colour}},
      {"top-down-alpha-profile.bmp", seeThrough + "-profile" + profile + " $F" + topDown, {3, 4, 10, 6, colour}},
      {"gap.bmp", gradient + "-type TrueColor BMP3:$F" + gap, {3, 4, 10, 6, colour}},
      {"64-bits.bmp", gradient + "-type TrueColor BMP3:$F" + deep, {}, "64 bits a pixel"},
      {"huge.bmp", R"py(python3 -c "import struct,sys; open(sys.argv[1],'wb').write(b'BM'+struct.pack('<IIIIiiHH',)py"
                   R"py(70,0,54,40,100000,100000,1,24)+bytes(24))" $F)py", {}, "claims 100000 x 100000 pixels"},
      {"rgb565.bmp", gradient + "-define bmp:subtype=RGB565 $F", {3, 4, 10, 6, colour}, "", {}, 5},
      {"rgb555.bmp", gradient + "-define bmp:subtype=RGB555 $F", {3, 4, 10, 6, colour}, "", {}, 5},
      {"palette4.bmp", gradient + "-colors 16 BMP3:$F", {3, 4, 10, 6, colour}, "", {"File:BitDepth", "File:ImageLength",
       "File:NumColors", "File:NumImportantColors"}},
      {"palette.bmp", halves + "BMP3:$F", {15, 4, 10, 6, qRgb(0, 0, 255)}},
      // A colour outside the palette turns the picture to 24 bits a pixel, its other headers and profile kept.
      {"palette-painted-outside.bmp", halves + "BMP3:$F", {15, 4, 10, 6, colour}, "",
       {"File:BitDepth", "File:ImageLength", "File:NumColors", "File:NumImportantColors"}},
      {"palette-profile-painted-outside.bmp", halves + "-profile" + profile + " BMP:$F", {15, 4, 10, 6, colour}, "",
       {"File:BitDepth", "File:ImageLength", "File:NumColors", "File:NumImportantColors", "File:ProfileDataOffset"}},
      {"os2.bmp", halves + "BMP2:$F", {15, 4, 10, 6, qRgb(0, 0, 255)}},
      {"os2-painted-outside.bmp", halves + "BMP2:$F", {15, 4, 10, 6, colour}, "", {"File:BitDepth"}},
      {"bilevel.bmp", "convert -size 40x30 pattern:checkerboard -monochrome BMP3:$F", {3, 4, 10, 6, black}},
      {"rle.bmp", gradient + "-colors 16 -compress RLE BMP3:$F", {}, "run-length compressed"},
      {"truncated.bmp", gradient + "BMP3:$F.bmp && (head -c 2000 $F.bmp > $F)", {}, "ends early"},
      // PNM: the header as it was, each sample at the file's maxval.
      {"grey8.pgm", gradient + "-colorspace gray $F", {3, 4, 10, 6, grey}},
      {"rgb8.ppm", gradient + "$F", {3, 4, 10, 6, colour}},
      {"deep.pgm", "convert -size 148x128 gradient:black-white -depth 16 $F", {3, 4, 10, 6, grey}},
      {"deep.ppm", gradient + "-depth 16 $F", {3, 4, 10, 6, colour}},
      {"fifteen.pgm", gradient + "-colorspace gray -depth 4 $F", {3, 4, 10, 6, grey}, "", {}, 9},
      {"ten-bits.ppm", gradient + "-depth 10 $F", {3, 4, 10, 6, colour}, "", {}, 1},
      {"plain.pgm", gradient + "-colorspace gray -compress none $F", {3, 4, 10, 6, grey}},
      {"plain-deep.ppm", gradient + "-depth 16 -compress none $F", {3, 4, 10, 6, colour}},
      {"plain-fifteen.pgm", gradient + "-colorspace gray -depth 4 -compress none $F", {3, 4, 10, 6, grey}, "", {}, 9},
      // A file of two pictures: the second is kept as it is.
      {"two-pictures.pgm", "convert -size 40x30 gradient:black-white \\( +clone -negate \\) $F", {3, 4, 10, 6, grey}},
      {"plain.ppm", gradient + "-compress none $F", {3, 4, 10, 6, colour}},
      {"raw.pbm", "convert -size 37x30 pattern:checkerboard -monochrome $F", {3, 4, 10, 6, black}},
      {"plain.pbm", "convert -size 37x30 pattern:checkerboard -monochrome -compress none $F", {3, 4, 10, 6, black}},
      {"comments.pgm", R"((printf 'P5\n# by hand\n4 3\n# most\n255\n\001\002\003\004\005\006\007\010\011\012\013\014' > $F))",
       {1, 1, 2, 1, grey}},
      {"truncated.ppm", gradient + "$F.ppm && (head -c 2000 $F.ppm > $F)", {}, "ends early"},
      {"damaged.pgm", R"((printf 'P5\n4 x\n255\n' > $F))", {}, "header is damaged"},
      {"above-maxval.pgm", R"((printf 'P2 2 1 9 3 10' > $F))", {}, "no number up to its maximum"},
      {"huge.pgm", R"((printf 'P5 100000 100000 255\n' > $F))", {}, "claims 100000 x 100000 pixels"},
      {"pam.pam", R"((printf 'P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n\001\002\003' > $F))", {},
       "PAM picture"},
      // WebP: its chunks kept; lossless stays lossless, lossy is encoded anew at quality 95.
      {"lossless-tagged.webp", seeThrough + png + "cwebp -quiet -lossless -exact $F.png -o $F" + tagged + unknownChunk,
       {3, 4, 10, 6, colour}, "", {"RIFF:WebP_Flags"}},
      {"magick-lossless.webp", gradient + "-define webp:lossless=true $F", {3, 4, 10, 6, colour}},
      {"lossless.webp", gradient + png + "cwebp -quiet -lossless $F.png -o $F", {3, 4, 10, 6, colour}},
      {"lossless-opaque-tagged.webp", gradient + png + "cwebp -quiet -lossless $F.png -o $F" + tagged, {3, 4, 10, 6, colour}},
      // Lossy, encoded anew at quality 95: beyond the stroke's chroma pairs (and the reach of their upsampling)
      // pixels move by up to 5 of 255 here (8 after two sends); the stroke's edges blend with their neighbours
      // by up to 51.
      {"lossy-tagged.webp", gradient + png + "cwebp -quiet -q 80 $F.png -o $F" + tagged, {8, 8, 16, 12, muted}, "", {}, 52,
       2, 2, 1, 6},
      {"lossy-alpha.webp", seeThrough + png + "cwebp -quiet -q 80 $F.png -o $F", {8, 8, 16, 12, muted}, "", {}, 52, 2, 2,
       1, 6},
      {"lossy-alpha-profile.webp", seeThrough + png + "cwebp -quiet -q 80 $F.png -o $F.plain && webpmux -set icc" + profile +
       " $F.plain -o $F", {8, 8, 16, 12, muted}, "", {}, 52, 2, 2, 1, 6},
      {"lossy-sent-twice.webp", gradient + png + "cwebp -quiet -q 80 $F.png -o $F", {8, 8, 16, 12, muted}, "", {}, 52, 2, 2,
       2, 8},
      {"truncated.webp", gradient + png + "cwebp -quiet -q 80 $F.png -o $F.whole && (head -c 100 $F.whole > $F)", {},
       "cannot be decoded"},
      {"animated.webp", "convert -size 16x16 xc:red xc:blue xc:lime $F.gif && gif2webp -quiet $F.gif -o $F", {},
       "holds 3 frames or pages"},
      // Through Qt, where its writer gives back the pixels read.
      // Qt lays an XBM's text out anew (15 numbers a line, in lower case): its names are put back.
      {"bilevel.xbm", "convert -size 37x30 pattern:checkerboard -monochrome $F", {3, 4, 10, 6, black}, "",
       {"File:LineCount", "File:WordCount"}},
      {"bilevel.wbmp", "convert -size 37x30 pattern:checkerboard -monochrome $F", {3, 4, 10, 6, black}},
      {"palette.xpm", "convert -size 40x30 xc:red -fill blue -draw 'rectangle 0,0 19,29' $F", {}, "could not write back exactly"},
      {"opaque.ico", gradient + "$F", {3, 4, 10, 6, colour}},
      {"opaque.cur", gradient + "$F", {3, 4, 10, 6, colour}},
      {"see-through.ico", seeThrough + "$F", {}, "with see-through pixels"},
      {"two.ico", gradient + "\\( +clone -resize 16x12 \\) $F", {}, "holds 2 frames or pages"},
      {"still.gif", gradient + "$F", {}, "Brisel has no writer for gif"},
      {"still.tga", gradient + "-compress none $F && (printf '\\0\\0\\0\\0\\0\\0\\0\\0TRUEVISION-XFILE.\\0' >> $F)", {},
       "Brisel has no writer for tga"},
  };
}

// A table a test, so that one format's findings do not hide another's.
TEST_F(RoundTripTest, Png) {
  for (const Case& c : PngCases()) Check(c);
}
TEST_F(RoundTripTest, Jpeg) {
  for (const Case& c : JpegCases()) Check(c);
}
TEST_F(RoundTripTest, Tiff) {
  for (const Case& c : TiffCases()) Check(c);
}
TEST_F(RoundTripTest, Others) {
  for (const Case& c : OtherCases()) Check(c);
}

}  // namespace
}  // namespace brisel::testing
