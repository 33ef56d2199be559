// Opening pictures: bad files give one line that names the file; sensible large ones load.

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <array>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "file/file_host.h"
#include "file/picture_codec.h"
#include "file/picture_io.h"
#include "host/picture_fixture.h"
#include "platform/window.h"

namespace brisel::testing {
namespace {

using PictureIoTest = PictureFolderTest;

uint32_t Crc32(const QByteArray& bytes) {
  uint32_t crc = 0xffffffffu;
  for (char c : bytes) {
    crc ^= uint8_t(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

QByteArray BigEndian(uint32_t v) {
  uchar be[4];
  qToBigEndian(v, be);
  return QByteArray(reinterpret_cast<const char*>(be), 4);
}

QByteArray Chunk(const QByteArray& type, const QByteArray& data) {
  return BigEndian(uint32_t(data.size())) + type + data + BigEndian(Crc32(type + data));
}

// A well-formed RGB PNG whose header claims width x height. With rows, its pixel data is that many
// rows of black (the rest missing); without, one tiny compressed block.
QByteArray PngHeaderClaiming(uint32_t width, uint32_t height, uint32_t rows = 0) {
  const QByteArray ihdr = BigEndian(width) + BigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
  const QByteArray idat = rows ? qCompress(QByteArray(qsizetype(rows) * (1 + 3 * width), '\0'), 1).mid(4)
                               : QByteArray("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", idat) + Chunk("IEND", {});
}

// A TIFF by Qt's writer with compression (0 none, 1 LZW).
QByteArray EncodedTiff(const QImage& image, int compression) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "tiff");
  writer.setCompression(compression);
  writer.write(image);
  return bytes;
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

TEST_F(PictureIoTest, BadPicturesAreRefusedWithOneLineNamingTheFile) {
  const QByteArray png = Encoded(Pattern(32, 32), "png");
  const QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                       "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 43);
  QDir(dir_.path()).mkdir("folder.png");
  struct Case {
    std::string name;
    std::optional<QByteArray> bytes;  // nullopt: no file of that name is written
    std::string expected;             // a piece of the message; empty: opens fine
  };
  const std::vector<Case> cases = {
      {"missing.png", std::nullopt, "No such file"},
      {"folder.png", std::nullopt, "is a folder"},
      {"empty.png", QByteArray(), "is empty"},
      {"text.png", QByteArray("just some words\n"), "not a picture"},
      {"truncated.png", png.left(png.size() / 2), "cannot be decoded"},
      {"huge.png", PngHeaderClaiming(100000, 100000), "claims 100000 x 100000 pixels"},
      {"tall.png", PngHeaderClaiming(1, 40000), "claims 1 x 40000 pixels"},
      {"readonly-format.gif", gif, "not written back"},
      {"tiny.png", Encoded(Pattern(1, 1), "png"), ""},
      {"jpeg-named.png", Encoded(Pattern(5, 5), "jpeg"), ""},
  };
  for (const Case& c : cases) {
    if (c.bytes) WriteBytes(c.name, *c.bytes);
    const std::string path = Path(c.name);
    const std::optional<std::string> error = filehost::CheckPicture(path);
    if (c.expected.empty()) {
      EXPECT_FALSE(error) << c.name << ": " << *error;
      continue;
    }
    ASSERT_TRUE(error) << c.name;
    EXPECT_NE(error->find(c.expected), std::string::npos) << c.name << ": " << *error;
    EXPECT_EQ(error->rfind(path, 0), 0u) << c.name << ": " << *error;
    EXPECT_EQ(error->find('\n'), std::string::npos) << c.name;
  }

  // The host answers a picture that went bad with the same reason, as a failed call.
  auto host = filehost::MakeFileHost({Path("truncated.png"), "", "", "."});
  try {
    std::vector<platform::Variant> none;
    host->Invoke("Tarn_GetRBuffer", none);
    ADD_FAILURE() << "a truncated picture was read";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kHostCallFailed);
    EXPECT_EQ(e.text(), *filehost::CheckPicture(Path("truncated.png")));
  }
}

// A JPEG whose EXIF data says its pixels are to be turned a quarter turn (orientation 6) before showing.
QByteArray TurnedJpeg(const QImage& image) {
  const QByteArray jpeg = Encoded(image, "jpeg");
  const QByteArray exif = QByteArray("Exif\0\0MM\0\x2a\0\0\0\x08", 14) +                    // big-endian TIFF header
                          QByteArray("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 14) +  // one entry: orientation 6
                          QByteArray(4, '\0');                                                       // no further entries
  return jpeg.left(2) + QByteArray("\xff\xe1", 2) + QByteArray(1, '\0') + char(exif.size() + 2) + exif + jpeg.mid(2);
}

// The picture's size as the host hands it over: upright, whatever the name says.
TEST_F(PictureIoTest, PicturesReadAtTheirUprightSize) {
  const std::vector<std::tuple<std::string, QByteArray, QSize>> pictures = {
      {"plain.png", Encoded(Pattern(30, 20), "png"), {30, 20}},
      {"plain.bmp", Encoded(Pattern(7, 3), "bmp"), {7, 3}},
      {"turned.jpg", TurnedJpeg(Pattern(30, 20)), {20, 30}},  // EXIF orientation 6
      {"jpeg-named.png", Encoded(Pattern(5, 9), "jpeg"), {5, 9}},
  };
  for (const auto& [name, bytes, size] : pictures) {
    QByteArray read;
    const filehost::DecodedPicture picture = filehost::DecodePictureFile(WriteBytes(name, bytes), read);
    ASSERT_TRUE(picture.error.empty()) << name << ": " << picture.error;
    EXPECT_EQ(QSize(picture.r.width(), picture.r.height()), size) << name;
  }
}

// Qt caps the bytes it decodes a picture into (its default differs between versions); a picture within
// Brisel's own bounds loads whatever that cap, which is raised for this picture only.
TEST_F(PictureIoTest, LargePictureBeyondQtsCapLoads) {
  const int cap = QImageReader::allocationLimit();
  QImageReader::setAllocationLimit(8);  // MiB; 2000 x 2000 decodes to 15 MiB
  const std::string path = WriteBytes("big.png", PngHeaderClaiming(2000, 2000, 2000));
  const filehost::ReadPictureResult read = filehost::ReadPicture(path);
  const int after = QImageReader::allocationLimit();
  QImageReader::setAllocationLimit(cap);
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.image.size(), QSize(2000, 2000));
  EXPECT_EQ(read.image.pixel(1999, 1999), qRgb(0, 0, 0));
  EXPECT_EQ(after, 8);
}

QByteArray LittleEndian(quint32 v, int bytes) {
  QByteArray out;
  for (int k = 0; k < bytes; ++k) out += char((v >> (8 * k)) & 0xff);
  return out;
}

// An uncompressed TIFF of pages 2 x 2 grey pages, each IFD followed by its four pixels; with cmyk, one
// page of 4 samples a pixel, separated (CMYK).
QByteArray MultiPageTiff(int pages, bool cmyk = false) {
  const quint32 samples = cmyk ? 4 : 1;
  const std::vector<std::array<quint32, 3>> entries = {  // tag, type (3 short, 4 long), value
      {256, 3, 2}, {257, 3, 2}, {258, 3, 8}, {259, 3, 1}, {262, 3, cmyk ? 5u : 1u}, {273, 4, 0}, {277, 3, samples},
      {278, 3, 2}, {279, 4, 4 * samples}};
  const quint32 ifdSize = 2 + 12 * quint32(entries.size()) + 4;
  QByteArray tiff = "II" + LittleEndian(42, 2) + LittleEndian(8, 4);
  for (int page = 0; page < pages; ++page) {
    const quint32 ifd = quint32(tiff.size()), pixels = ifd + ifdSize;
    tiff += LittleEndian(quint32(entries.size()), 2);
    for (auto [tag, type, value] : entries)
      tiff += LittleEndian(tag, 2) + LittleEndian(type, 2) + LittleEndian(1, 4) +
              LittleEndian(tag == 273 ? pixels : value, 4);
    tiff += LittleEndian(page + 1 < pages ? pixels + 4 * samples : 0, 4) + QByteArray(4 * samples, char(page * 90));
  }
  return tiff;
}

// The WebP of image, as two frames of an animation (VP8X, ANIM, then ANMF chunks).
QByteArray AnimatedWebp(const QImage& image) {
  const QByteArray still = Encoded(image, "webp");
  const QByteArray frame = still.mid(12);  // its one chunk, after the RIFF header
  auto le24 = [](int v) { return LittleEndian(quint32(v), 3); };
  const int w = image.width() - 1, h = image.height() - 1;
  QByteArray body = "WEBP" + ("VP8X" + LittleEndian(10, 4) + char(0x02) + QByteArray(3, 0) + le24(w) + le24(h)) +
                    ("ANIM" + LittleEndian(6, 4) + QByteArray(6, 0));
  for (int k = 0; k < 2; ++k) {
    const QByteArray anmf = le24(0) + le24(0) + le24(w) + le24(h) + le24(100) + char(0) + frame;
    body += "ANMF" + LittleEndian(quint32(anmf.size()), 4) + anmf + (anmf.size() % 2 ? QByteArray(1, 0) : QByteArray());
  }
  return "RIFF" + LittleEndian(quint32(body.size()), 4) + body;
}

// A JPEG whose frame claims four components, as CMYK ones do: Qt's 3-component baseline frame plus one.
QByteArray FourComponentJpeg(const QImage& image) {
  QByteArray jpeg = Encoded(image, "jpeg");
  const qsizetype sof = jpeg.indexOf("\xff\xc0");
  jpeg[sof + 3] = char(jpeg[sof + 3] + 3);  // segment length
  jpeg[sof + 9] = 4;                         // components
  jpeg.insert(sof + 10 + 9, QByteArray("\x04\x11\x00", 3));
  return jpeg;
}

// png without its chunks of type.
QByteArray WithoutChunk(const QByteArray& png, const QByteArray& type) {
  QByteArray out = png.left(8);
  for (qsizetype i = 8; i + 12 <= png.size();) {
    const qsizetype length = qFromBigEndian<quint32>(png.constData() + i);
    if (png.mid(i + 4, 4) != type) out += png.mid(i, 12 + length);
    i += 12 + length;
  }
  return out;
}

// A PNG of grey with alpha (colour type 4) at depth 8 or 16, which Qt's writer cannot make: grey and alpha
// patterned, with some pixels fully and some half transparent.
QByteArray GreyAlphaPng(int w, int h, int depth) {
  QByteArray raw;
  for (int y = 0; y < h; ++y) {
    raw += char(0);  // filter: none
    for (int x = 0; x < w; ++x) {
      const quint16 grey = quint16(x * 9001 + y * 4099 + 7), alpha = quint16((x + y) % 3 * 32767);
      for (quint16 v : {grey, alpha}) raw += depth == 16 ? QByteArray(1, char(v >> 8)) + char(v) : QByteArray(1, char(v));
    }
  }
  const QByteArray ihdr = BigEndian(w) + BigEndian(h) + char(depth) + QByteArray("\x04\x00\x00\x00", 4);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", qCompress(raw).mid(4)) + Chunk("IEND", {});
}

// The PNG's pHYs chunk whole, empty where it has none; its colour type (-1 for another format).
QByteArray PhysOf(const QByteArray& png) {
  const qsizetype at = png.indexOf("pHYs");
  return png.startsWith("\x89PNG") && at >= 4 ? png.mid(at - 4, 12 + qFromBigEndian<quint32>(png.constData() + at - 4)) : QByteArray();
}
int PngColourType(const QByteArray& png) { return png.startsWith("\x89PNG") ? uchar(png[25]) : -1; }

// The payload of a JPEG's first segment with this marker (0xE0 JFIF, 0xE1 EXIF), empty when it has none.
QByteArray JpegSegmentOf(const QByteArray& jpeg, uchar marker) {
  for (qsizetype i = 2; i + 4 <= jpeg.size() && uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) != 0xDA;) {
    const qsizetype length = qFromBigEndian<quint16>(jpeg.constData() + i + 2);
    if (uchar(jpeg[i + 1]) == marker) return jpeg.mid(i + 4, length - 2);
    i += 2 + length;
  }
  return {};
}

QRgba64 At(const QImage& deep, int x, int y) { return reinterpret_cast<const QRgba64*>(deep.constScanLine(y))[x]; }

// Each kind of picture is opened, one pixel painted and sent back, and the file read again: pixels not
// painted keep every bit and the file keeps its depth, palette, profile, text and resolution; or the
// picture is refused at start with a reason, before anything is written.
TEST_F(PictureIoTest, PicturesKeepWhatWasNotPaintedOrAreRefusedAtStart) {
  QImage rgb16(6, 5, QImage::Format_RGBX64), grey16(6, 5, QImage::Format_Grayscale16);
  QImage grey8(6, 5, QImage::Format_Grayscale8), palette(6, 5, QImage::Format_Indexed8);
  palette.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 0), qRgb(0, 0, 255), qRgb(10, 20, 30)});
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const quint16 v = quint16(x * 9001 + y * 4099 + 7);  // low bytes that an 8-bit round trip loses
      reinterpret_cast<QRgba64*>(rgb16.scanLine(y))[x] = QRgba64::fromRgba64(v, quint16(v * 3), quint16(v ^ 0x5a5a), 0xffff);
      reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = v;
      grey8.scanLine(y)[x] = uchar(v);
      palette.scanLine(y)[x] = uchar((x + y) % 4);
    }
  QImage meta = Pattern(6, 5);
  meta.setColorSpace(QColorSpace::DisplayP3);
  meta.setText("Author", "Ada");
  meta.setDotsPerMeterX(11811);  // 300 dpi
  meta.setDotsPerMeterY(5906);
  const QByteArray png = Encoded(Pattern(6, 5), "png"), jpeg = Encoded(Pattern(64, 48), "jpeg");
  const QByteArray apng = png.left(33) + Chunk("acTL", BigEndian(2) + BigEndian(0)) + png.mid(33);
  const QByteArray aspectOnly = png.left(33) + Chunk("pHYs", BigEndian(2) + BigEndian(3) + char(0)) + WithoutChunk(png, "pHYs").mid(33);
  QImage seeThrough = palette;  // index 3 transparent, index 1 half
  seeThrough.setColorTable({qRgb(10, 20, 30), qRgba(200, 100, 0, 128), qRgb(0, 0, 255), qRgba(10, 20, 30, 0)});

  struct Kind {
    std::string name;
    QByteArray bytes;
    QRgb paint = 0;            // the colour laid on pixel (0, 0)
    QImage::Format kept{};     // the file's format when read again
    std::string refused = "";  // a piece of the reason; empty: opens
    int pngColourType = -1;    // the PNG's colour type when written again; -1: as it was
    int lossy = 0;             // JPEG: how far (of 255) a channel may move in the new encoding, away from
                               // the painted pixel's 16 x 16 block, which the painting changes as a whole
  };
  const QRgb grey = qRgb(77, 77, 77);
  const std::vector<Kind> kinds = {
      {"rgb16.png", Encoded(rgb16, "png"), qRgb(1, 2, 3), QImage::Format_RGBX64},
      {"grey16.png", Encoded(grey16, "png"), grey, QImage::Format_Grayscale16},
      {"grey16-in-colour.png", Encoded(grey16, "png"), qRgb(255, 0, 0), QImage::Format_RGBX64, "", 2},
      {"grey8.png", Encoded(grey8, "png"), grey, QImage::Format_Grayscale8},
      {"palette.png", Encoded(palette, "png"), qRgb(0, 0, 255), QImage::Format_Indexed8},
      {"palette-in-colour.png", Encoded(palette, "png"), qRgb(1, 1, 1), QImage::Format_RGB32, "", 2},
      {"profile-text-dpi.png", Encoded(meta, "png"), qRgb(1, 2, 3), QImage::Format_RGB32},
      {"no-dpi.png", WithoutChunk(png, "pHYs"), qRgb(1, 2, 3), QImage::Format_RGB32},
      {"aspect-only.png", aspectOnly, qRgb(1, 2, 3), QImage::Format_RGB32},
      {"grey-alpha.png", GreyAlphaPng(6, 5, 8), grey, QImage::Format_ARGB32},
      {"grey-alpha16.png", GreyAlphaPng(6, 5, 16), grey, QImage::Format_RGBA64},
      {"grey-alpha-in-colour.png", GreyAlphaPng(6, 5, 8), qRgb(255, 0, 0), QImage::Format_ARGB32, "", 6},
      {"palette-see-through.png", Encoded(seeThrough, "png"), qRgb(0, 0, 255), QImage::Format_Indexed8},
      {"palette-see-through-in-colour.png", Encoded(seeThrough, "png"), qRgb(1, 1, 1), QImage::Format_ARGB32, "", 6},
      {"cmyk.tif", MultiPageTiff(1, true), 0, {}, "is in CMYK"},
      {"lzw.tif", EncodedTiff(Pattern(40, 30), 1), qRgb(1, 2, 3), QImage::Format_RGB32},
      {"pages.tif", MultiPageTiff(3), 0, {}, "holds 3 frames or pages"},
      {"animated.webp", AnimatedWebp(Pattern(6, 5)), 0, {}, "holds 2 frames or pages"},
      {"animated.png", apng, 0, {}, "animated PNG of 2 frames"},
      {"cmyk.jpg", FourComponentJpeg(Pattern(16, 16)), 0, {}, "CMYK"},

      {"truncated.jpg", jpeg.left(jpeg.size() * 2 / 3), 0, {}, "end-of-image marker"},
  };
  ASSERT_FALSE(filehost::CheckPicture(WriteBytes("one-page.tif", MultiPageTiff(1))));  // the TIFF maker is sound
  for (const Kind& kind : kinds) {
    const std::string path = WriteBytes(kind.name, kind.bytes);
    const std::optional<std::string> refusal = filehost::CheckPicture(path);
    if (!kind.refused.empty()) {
      ASSERT_TRUE(refusal) << kind.name;
      EXPECT_NE(refusal->find(kind.refused), std::string::npos) << *refusal;
      EXPECT_EQ(refusal->find('\n'), std::string::npos) << *refusal;
      continue;
    }
    ASSERT_FALSE(refusal) << *refusal;
    QImageReader upright(QString::fromStdString(path));  // as the host reads it, EXIF orientation applied
    upright.setAutoTransform(true);
    const QImage before = upright.read();
    auto host = filehost::MakeFileHost({path, "", "", "."});
    std::vector<platform::Variant> none;
    BytePlane planes[3] = {platform::ToByteArray(host->Invoke("Tarn_GetRBuffer", none)),
                           platform::ToByteArray(host->Invoke("Tarn_GetGBuffer", none)),
                           platform::ToByteArray(host->Invoke("Tarn_GetBBuffer", none))};
    planes[0](0, 0) = uint8_t(qRed(kind.paint)), planes[1](0, 0) = uint8_t(qGreen(kind.paint));
    planes[2](0, 0) = uint8_t(qBlue(kind.paint));
    for (const char* call : {"Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer"}) {
      std::vector<platform::Variant> plane{&planes[call[8] == 'R' ? 0 : call[8] == 'G' ? 1 : 2]};
      host->Invoke(call, plane);
    }
    host->Invoke("tarn_Refresh", none);

    const QImage after = Load(path);
    EXPECT_EQ(after.format(), kind.kept) << kind.name;
    const QByteArray bytes = ReadBytes(path);
    EXPECT_EQ(PhysOf(bytes), PhysOf(kind.bytes)) << kind.name;  // as it was, or none
    EXPECT_EQ(PngColourType(bytes), kind.pngColourType < 0 ? PngColourType(kind.bytes) : kind.pngColourType) << kind.name;
    // JPEG: the density as it was; progressive still.
    EXPECT_EQ(JpegSegmentOf(bytes, 0xE0), JpegSegmentOf(kind.bytes, 0xE0)) << kind.name;
    EXPECT_EQ(bytes.contains("\xff\xc2"), kind.bytes.contains("\xff\xc2")) << kind.name;
    // TIFF: the compression tag (259) of the first directory, as it was.
    if (kind.bytes.startsWith("II*")) {
      EXPECT_EQ(bytes.mid(bytes.indexOf(LittleEndian(259, 2) + LittleEndian(3, 2)), 12),
                kind.bytes.mid(kind.bytes.indexOf(LittleEndian(259, 2) + LittleEndian(3, 2)), 12)) << kind.name;
    }
    if (kind.kept == QImage::Format_Indexed8) {
      EXPECT_EQ(after.colorTable(), before.colorTable()) << kind.name;
    }
    EXPECT_EQ(after.colorSpace(), before.colorSpace()) << kind.name;
    EXPECT_EQ(after.text("Author"), before.text("Author")) << kind.name;
    EXPECT_EQ(after.dotsPerMeterX(), before.dotsPerMeterX()) << kind.name;
    EXPECT_EQ(after.dotsPerMeterY(), before.dotsPerMeterY()) << kind.name;
    const QImage was = before.convertToFormat(QImage::Format_RGBA64), is = after.convertToFormat(QImage::Format_RGBA64);
    auto near = [&](QRgba64 a, QRgba64 b) {
      const int most = kind.lossy * 257;
      return std::abs(a.red() - b.red()) <= most && std::abs(a.green() - b.green()) <= most &&
             std::abs(a.blue() - b.blue()) <= most && a.alpha() == b.alpha();
    };
    EXPECT_TRUE(near(At(is, 0, 0), QRgba64::fromArgb32(kind.paint))) << kind.name;  // painted: at the file's depth
    ASSERT_EQ(is.size(), was.size()) << kind.name;
    int differing = 0;
    for (int y = 0; y < was.height(); ++y)
      for (int x = 0; x < was.width(); ++x) differing += (x || y) && (!kind.lossy || x >= 16 || y >= 16) && !near(At(was, x, y), At(is, x, y));
    EXPECT_EQ(differing, 0) << kind.name;
  }
}

}  // namespace
}  // namespace brisel::testing
