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
  Stroke stroke;
  std::string refused = {};  // a piece of the reason, where the picture is refused at start
  // The exiftool tags (Group:Name) the write may change, besides the file system's own.
  std::set<std::string> changes = {};
  int lossy = 0;   // how far (of 255) a painted pixel may come back from its colour
  int block = 1;   // pixels change only inside the stroke's box widened to this grid (JPEG: its MCU)
  int reach = 0;   // and this many pixels around that (the decoder's chroma upsampling)
  int sends = 1;   // the stroke sent this many times (each send paints it once more)
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

// What the file holds besides its pixels, in order: a PNG's chunks but its image data (one entry) and what
// follows its end, a JPEG's
// segments before its first scan but its Huffman tables, and what follows its end; empty for other formats
// (their exiftool listing says it).
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
      if (marker != 0xC4) parts.push_back(QByteArray::number(marker, 16).toStdString() + " " + Digest(file.mid(i + 4, length - 2)).toStdString());
      i += 2 + length;
    }
    const qsizetype end = file.indexOf("\xff\xd9", i);
    parts.push_back("after " + Digest(end < 0 ? QByteArray() : file.mid(end + 2)).toStdString());
  }
  return parts;
}

// The picture as ImageMagick decodes it, upright: 16 bits a channel, RGBA.
struct Decoded {
  int w = 0, h = 0;
  std::vector<quint16> rgba;
  quint16 at(int x, int y, int c) const { return rgba[(size_t(y) * w + x) * 4 + c]; }
};
Decoded Decode(const std::string& path) {
  Decoded d;
  const std::string size = Shell("identify -format '%w %h\\n' " + Quoted(path + "[0]"));
  if (std::sscanf(size.c_str(), "%d %d", &d.w, &d.h) != 2) return {};
  const std::string raw = Shell("convert " + Quoted(path + "[0]") + " -auto-orient -depth 16 rgba:-");
  if (raw.size() != size_t(d.w) * d.h * 8) return {};
  d.rgba.resize(size_t(d.w) * d.h * 4);
  for (size_t i = 0; i < d.rgba.size(); ++i) d.rgba[i] = quint16(uchar(raw[2 * i]) << 8 | uchar(raw[2 * i + 1]));
  if (Shell("identify -format '%[orientation]' " + Quoted(path + "[0]")).find("Right") != std::string::npos ||
      Shell("identify -format '%[orientation]' " + Quoted(path + "[0]")).find("Left") != std::string::npos)
    std::swap(d.w, d.h);
  return d;
}

// Paints the stroke through the file host as the program sends: fetch the planes, paint, send.
void Paint(const std::string& path, const Stroke& stroke) {
  auto host = filehost::MakeFileHost({path, "", "", "."});
  std::vector<platform::Variant> none;
  host->Invoke("Tarn_BufferWidth", none);
  BytePlane planes[3] = {platform::ToByteArray(host->Invoke("Tarn_GetRBuffer", none)),
                         platform::ToByteArray(host->Invoke("Tarn_GetGBuffer", none)),
                         platform::ToByteArray(host->Invoke("Tarn_GetBBuffer", none))};
  const uint8_t colour[3] = {uint8_t(qRed(stroke.colour)), uint8_t(qGreen(stroke.colour)), uint8_t(qBlue(stroke.colour))};
  for (int c = 0; c < 3; ++c)
    for (int y = stroke.y; y < stroke.y + stroke.h; ++y)
      for (int x = stroke.x; x < stroke.x + stroke.w; ++x) planes[c](x, y) = colour[c];
  for (const char* call : {"Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer"}) {
    std::vector<platform::Variant> plane{&planes[call[8] == 'R' ? 0 : call[8] == 'G' ? 1 : 2]};
    host->Invoke(call, plane);
  }
  host->Invoke("tarn_Refresh", none);
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

    for (int send = 0; send < c.sends; ++send) Paint(path, c.stroke);

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

    const Decoded after = Decode(path);
    ASSERT_EQ(after.w, before.w);
    ASSERT_EQ(after.h, before.h);
    ASSERT_EQ(after.rgba.size(), before.rgba.size());
    // The stroke's box, widened to the grid and by the reach: pixels may change only inside it.
    const Stroke& s = c.stroke;
    const int x0 = s.x / c.block * c.block - c.reach, y0 = s.y / c.block * c.block - c.reach;
    const int x1 = (s.x + s.w + c.block - 1) / c.block * c.block + c.reach;
    const int y1 = (s.y + s.h + c.block - 1) / c.block * c.block + c.reach;
    int changed = 0, offColour = 0;
    const quint16 want[3] = {SixteenOf(qRed(s.colour)), SixteenOf(qGreen(s.colour)), SixteenOf(qBlue(s.colour))};
    for (int y = 0; y < before.h; ++y)
      for (int x = 0; x < before.w; ++x) {
        const bool painted = x >= s.x && x < s.x + s.w && y >= s.y && y < s.y + s.h;
        if (painted) {
          for (int ch = 0; ch < 3; ++ch) offColour += std::abs(after.at(x, y, ch) - want[ch]) > c.lossy * 257;
          offColour += after.at(x, y, 3) != 0xffff;
        } else if (x < x0 || x >= x1 || y < y0 || y >= y1) {
          for (int ch = 0; ch < 4; ++ch) changed += after.at(x, y, ch) != before.at(x, y, ch);
        }
      }
    EXPECT_EQ(changed, 0) << "samples changed outside the stroke";
    EXPECT_EQ(offColour, 0) << "samples of the stroke not in its colour";
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
      {"rgb-key-painted-key.png", keyedRgb, {15, 5, 10, 10, qRgb(9, 8, 7)}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "6"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      // Grey at its depth while the grey painted is one of its values, else at the next depth that has it.
      {"grey1.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(255, 255, 255)}},
      {"grey1-to-2.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(85, 85, 85)}, "", {}, 0, 1, 0, 1,
       {{"PNG:BitDepth", "2"}}, header},
      {"grey1-to-4.png", pil + "im.convert(\"1\").save(\"'$F'\")'", {3, 4, 10, 6, qRgb(17, 17, 17)}, "", {}, 0, 1, 0, 1,
       {{"PNG:BitDepth", "4"}}, header},
      {"grey2-to-8.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(100, 100, 100)},
       "", {}, 0, 1, 0, 1, {{"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "bKGD"}},
      {"grey1-interlaced.png", grey + " -monochrome -interlace PNG -define png:bit-depth=1 -define png:color-type=0 $F",
       {3, 4, 10, 6, qRgb(0, 0, 0)}},
      {"grey2.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(170, 170, 170)}},
      {"grey4-to-8.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(100, 100, 100)},
       "", {}, 0, 1, 0, 1, {{"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "bKGD"}},
      {"grey8-key.png", keyedGrey, {3, 4, 10, 6, qRgb(200, 200, 200)}},
      {"grey8-key-painted-key.png", keyedGrey, {3, 4, 10, 6, qRgb(128, 128, 128)}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "4"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      {"grey16.png", grey + " -depth 16 -define png:color-type=0 $F", {3, 4, 10, 6, qRgb(77, 77, 77)}},
      {"grey-alpha-opaque.png", grey + " -depth 8 -alpha opaque -define png:color-type=4 $F", {3, 4, 10, 6, qRgb(77, 77, 77)}},
      {"grey-alpha16.png", grey + " -depth 16 \\( +clone -fx 'i/w' \\) -compose CopyOpacity -composite -define png:color-type=4 $F",
       {3, 4, 10, 6, qRgb(77, 77, 77)}},
      // Colour painted on grey: RGB, or RGBA over an alpha channel; the chunks of grey follow.
      {"grey-in-colour.png", keyedGrey + " && " + AddChunks("header:sBIT:05 before:bKGD:0010"), {3, 4, 10, 6, green}, "",
       {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "2"}, {"PNG:Transparency", "128 128 128"}, {"PNG:SignificantBits", "5 5 5"},
        {"PNG:BackgroundColor", "16 16 16"}},
       {"IHDR", "tRNS", "sBIT", "bKGD"}},
      {"grey2-in-colour.png", grey + " -define png:bit-depth=2 -define png:color-type=0 $F && " + AddChunks("header:sBIT:01"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}, {"PNG:SignificantBits", "1 1 1"}, {"PNG:BackgroundColor", "255 255 255"}},
       {"IHDR", "sBIT", "bKGD"}},
      {"grey-alpha-in-colour.png", grey + " -depth 16 \\( +clone -fx 'i/w' \\) -compose CopyOpacity -composite "
                                          "-define png:color-type=4 $F && " + AddChunks("header:sBIT:0c0d"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1,
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
      {"palette8.png", pil + "im.quantize(100).save(\"'$F'\")'", {3, 4, 10, 6, qRgb(0, 0, 0)}},
      {"palette-in-colour.png", kStripedPalette + " && " + AddChunks("header:sBIT:050607 before:bKGD:02 before:hIST:0001000200030004"),
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "6"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}, {"PNG:SignificantBits", "5 6 7 8"},
        {"PNG:BackgroundColor", "0 250 0"}},
       {"IHDR", "tRNS", "sBIT", "bKGD"}},
      // The colour of a half-transparent entry is not one the palette can paint.
      {"palette-half-entry.png", kStripedPalette, {3, 4, 10, 6, qRgb(250, 0, 0)}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "6"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      {"palette-opaque-in-colour.png",
       "/usr/bin/python3 -c 'from PIL import Image; im = Image.new(\"P\", (40, 30)); "
       "im.putpalette([0, 0, 0, 250, 0, 0, 0, 250, 0, 0, 0, 250]); "
       "im.putdata([(x // 3 + y) % 4 for y in range(30) for x in range(40)]); im.save(\"'$F'\", bits=2)'",
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1, {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}}, header},
      // What holds no pixels stays where it was, byte for byte: private chunks, text, time, palettes, EXIF.
      {"bytes-after-end.png", gradient + " -depth 8 -define png:color-type=2 $F && printf 'trailing' >> $F", {3, 4, 10, 6, green}},
      {"chunks.png",
       gradient + " -depth 8 -define png:color-type=2 $F && " +
           AddChunks("before:prVt:0102 header:sBIT:050505 before:sPLT:6e616d650008ff0000ff0001 "
                     "before:eXIf:4d4d002a00000008000000000000 after:tEXt:436f6d6d656e7400686921 "
                     "after:zzZz:00"),
       {3, 4, 10, 6, green}},
      // 16 bits a sample keep them all through a change of model.
      {"grey16-in-colour.png", grey + " -depth 16 -define png:color-type=0 $F", {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "2"}, {"PNG:BackgroundColor", "65535 65535 65535"}}, {"IHDR", "bKGD"}},
      {"rgb16-key.png", gradient + " -depth 16 -define png:color-type=2 $F && " + AddChunks("before:tRNS:ffff00000000"),
       {3, 4, 10, 6, green}},
      {"rgb16-key-painted-key.png",
       gradient + " -depth 16 -define png:color-type=2 $F && " + AddChunks("before:tRNS:ffff00000000"),
       {3, 4, 10, 6, qRgb(255, 0, 0)}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "6"}, {"PNG:Transparency", "(gone)"}}, {"IHDR", "tRNS"}},
      // A key of fewer than 8 bits follows the depth; a painted pixel of its colour takes the key to alpha.
      {"grey4-key-to-8.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F && " + AddChunks("before:tRNS:0005"),
       {3, 4, 10, 6, qRgb(100, 100, 100)}, "", {}, 0, 1, 0, 1,
       {{"PNG:BitDepth", "8"}, {"PNG:Transparency", "85"}, {"PNG:BackgroundColor", "255"}}, {"IHDR", "tRNS", "bKGD"}},
      {"grey4-painted-key.png", grey + " -define png:bit-depth=4 -define png:color-type=0 $F && " + AddChunks("before:tRNS:0005"),
       {3, 4, 10, 6, qRgb(85, 85, 85)}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "4"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}, {"PNG:BackgroundColor", "255"}},
       {"IHDR", "tRNS", "bKGD"}},
      {"grey1-painted-key.png", pil + "im.convert(\"1\").save(\"'$F'\", transparency=0)'", {3, 4, 10, 6, qRgb(0, 0, 0)},
       "", {}, 0, 1, 0, 1, {{"PNG:ColorType", "4"}, {"PNG:BitDepth", "8"}, {"PNG:Transparency", "(gone)"}},
       {"IHDR", "tRNS"}},
      // Interlacing stays through a change of model.
      {"palette-interlaced-in-colour.png",
       "convert -size 40x30 gradient:red-blue -depth 8 -colors 16 -interlace PNG -define png:color-type=3 $F",
       {3, 4, 10, 6, green}, "", {}, 0, 1, 0, 1,
       {{"PNG:ColorType", "2"}, {"PNG:BitDepth", "8"}, {"PNG:BackgroundColor", "255 255 255"}}, {"IHDR", "bKGD"}},
      {"grey-alpha-opaque-in-colour.png", grey + " -depth 8 -alpha opaque -define png:color-type=4 $F", {3, 4, 10, 6, green},
       "", {}, 0, 1, 0, 1, {{"PNG:ColorType", "6"}, {"PNG:BackgroundColor", "255 255 255"}}, {"IHDR", "bKGD"}},
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
  return {};
}

std::vector<Case> TiffCases() {
  return {};
}

std::vector<Case> OtherCases() {
  return {};
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
