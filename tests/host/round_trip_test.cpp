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
  Stroke stroke;
  std::string refused;  // a piece of the reason, where the picture is refused at start
  // The exiftool tags (Group:Name) the write may change, besides the file system's own.
  std::set<std::string> changes = {};
  int lossy = 0;   // how far (of 255) a painted pixel may come back from its colour
  int block = 1;   // pixels change only inside the stroke's box widened to this grid (JPEG: its MCU)
  int reach = 0;   // and this many pixels around that (the decoder's chroma upsampling)
  int sends = 1;   // the stroke sent this many times (each send paints it once more)
  std::string after = "";  // a shell command on $F that must succeed after the sends
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

// What the file holds besides its pixels, in order: a PNG's chunks but its image data (one entry), a JPEG's
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
  // Orientations 5 to 8 (LeftTop, RightTop, RightBottom, LeftBottom) swap the sides; TopRight and
  // BottomLeft only mirror.
  const std::string orientation = Shell("identify -format '%[orientation]' " + Quoted(path + "[0]"));
  if (orientation.rfind("Left", 0) == 0 || orientation.rfind("Right", 0) == 0) std::swap(d.w, d.h);
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

    for (int send = 0; send < c.sends; ++send) Paint(path, c.stroke);

    auto tagsAfter = Tags(path);
    for (const auto& [tag, value] : tagsBefore) {
      if (c.changes.count(tag)) continue;
      EXPECT_EQ(tagsAfter.count(tag) ? tagsAfter[tag] : "(gone)", value) << tag;
    }
    for (const auto& [tag, value] : tagsAfter)
      if (!tagsBefore.count(tag) && !c.changes.count(tag)) ADD_FAILURE() << tag << " appeared: " << value;
    EXPECT_EQ(Structure(ReadBytes(path)), partsBefore);
    if (!c.after.empty()) EXPECT_FALSE(Shell("F=" + Quoted(path) + "; " + c.after + " && echo held").empty()) << c.after;

    const Decoded after = Decode(path);
    ASSERT_EQ(after.w, before.w);
    ASSERT_EQ(after.h, before.h);
    ASSERT_EQ(after.rgba.size(), before.rgba.size());
    // The stroke's box, widened to the grid and by the reach: pixels may change only inside it.
    const Stroke& s = c.stroke;
    const int x0 = s.x / c.block * c.block - c.reach, y0 = s.y / c.block * c.block - c.reach;
    const int x1 = (s.x + s.w + c.block - 1) / c.block * c.block + c.reach;
    const int y1 = (s.y + s.h + c.block - 1) / c.block * c.block + c.reach;
    int changed = 0, offColour = 0, farthest = 0;
    const quint16 want[3] = {SixteenOf(qRed(s.colour)), SixteenOf(qGreen(s.colour)), SixteenOf(qBlue(s.colour))};
    for (int y = 0; y < before.h; ++y)
      for (int x = 0; x < before.w; ++x) {
        const bool painted = x >= s.x && x < s.x + s.w && y >= s.y && y < s.y + s.h;
        if (painted) {
          for (int ch = 0; ch < 3; ++ch) {
            const int off = std::abs(after.at(x, y, ch) - want[ch]);
            offColour += off > c.lossy * 257, farthest = std::max(farthest, off);
          }
          offColour += after.at(x, y, 3) != 0xffff;
        } else if (x < x0 || x >= x1 || y < y0 || y >= y1) {
          for (int ch = 0; ch < 4; ++ch) changed += after.at(x, y, ch) != before.at(x, y, ch);
        }
      }
    EXPECT_EQ(changed, 0) << "samples changed outside the stroke";
    EXPECT_EQ(offColour, 0) << "samples of the stroke not in its colour, the farthest " << farthest / 257 << " off";
  }

  static quint16 SixteenOf(int v) { return quint16(v * 257); }
};

// --- The cases, a table a format. ---

std::vector<Case> PngCases() {
  return {
      {"rgb8.png", "convert -size 40x30 gradient:red-blue $F", {3, 4, 10, 6, qRgb(10, 200, 30)}},
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
      {"arithmetic.jpg", swirl + "ppm:- | cjpeg -arithmetic -quality 80 -outfile $F", {18, 14, 12, 8, green}, "", {}, 96, 16, 1},
      // Coded as RGB, told by libjpeg's Adobe segment.
      {"rgb-coded.jpg", swirl + "ppm:- | cjpeg -rgb -quality 90 -outfile $F", {18, 14, 12, 8, green}, "", {}, 16, 8, 0},
      // Each send recodes the same MCUs; the others stay as they were through all ten.
      {"ten-sends.jpg", swirl + "-quality 75 $F", {18, 14, 12, 8, green}, "", {}, 64, 16, 1, 10},
      // Progressive, turned by its (little-endian) EXIF and its XMP orientation, which it keeps: the stroke
      // goes into the stored grid, and only the thumbnail, which shows the old pixels, goes.
      {"camera.jpg", camera, {5, 20, 9, 9, green}, "", thumbnail, 40, 16, 1, 1, thumbnailGone},
      // The orientation as a LONG, as some writers store it, turns the picture as a SHORT does.
      {"orientation-long.jpg", swirl + "$F && exiftool -q -overwrite_original -n -Orientation=8 $F && python3 -c '"
           "import sys; f=sys.argv[1]; d=open(f,\"rb\").read(); "
           "e=b\"\\x01\\x12\\x00\\x03\\x00\\x00\\x00\\x01\\x00\\x08\\x00\\x00\"; assert e in d; "
           "open(f,\"wb\").write(d.replace(e,b\"\\x01\\x12\\x00\\x04\\x00\\x00\\x00\\x01\\x00\\x00\\x00\\x08\"))' $F",
       {5, 20, 9, 9, green}, "", {}, 40, 16, 1},
      // The second picture follows the primary byte for byte, and the index finds it where it now starts.
      {"mpf.jpg", mpf, {18, 14, 12, 8, green}, "", {"MPImage1:MPImageLength", "MPImage2:MPImageStart"}, 100, 16, 1, 1,
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
