// Writes the fuzz target's first inputs into a folder: small pictures of the kinds the tests make (PNG with
// and without a resolution, grey, 16-bit, palette, animated; JPEG baseline and progressive, with a camera's
// EXIF segment in either byte order; TIFF plain, LZW and CMYK; BMP, WebP, PPM and PGM, 16-bit too), an EXIF segment alone, and the names and text of a recovery
// copy. Made here rather than kept as binaries.
//
//   brisel_fuzz_seeds FOLDER

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

namespace {

QByteArray BigEndian(quint32 v, int bytes) {
  QByteArray out;
  for (int k = bytes - 1; k >= 0; --k) out += char((v >> (8 * k)) & 0xff);
  return out;
}

QByteArray LittleEndian(quint32 v, int bytes) {
  QByteArray out;
  for (int k = 0; k < bytes; ++k) out += char((v >> (8 * k)) & 0xff);
  return out;
}

// A PNG chunk; the CRC is left 0, which Brisel's own reading does not check.
QByteArray Chunk(const QByteArray& type, const QByteArray& data) {
  return BigEndian(quint32(data.size()), 4) + type + data + QByteArray(4, '\0');
}

QImage Pattern(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb((x * 7 + y) & 255, (y * 5 + x * 3) & 255, (x ^ y) & 255));
  return image;
}

QByteArray Encoded(const QImage& image, const char* format, int compression = -1, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (compression >= 0) writer.setCompression(compression);
  writer.setProgressiveScanWrite(progressive);
  writer.write(image);
  return bytes;
}

// The EXIF segment a camera writes, in either byte order: make, model and orientation 6 in the first
// directory, the date and pixel size in the EXIF one, and a linked thumbnail directory.
QByteArray CameraExif(bool little, int w, int h) {
  auto n = [little](quint32 v, int bytes) { return little ? LittleEndian(v, bytes) : BigEndian(v, bytes); };
  auto entry = [&](quint32 tag, quint32 type, quint32 count, quint32 value) {
    // A SHORT held in the entry sits in its first two bytes, whatever the byte order.
    const QByteArray held = type == 3 && count == 1 ? n(value, 2) + QByteArray(2, '\0') : n(value, 4);
    return n(tag, 2) + n(type, 2) + n(count, 4) + held;
  };
  QByteArray tiff = (little ? "II" : "MM") + n(42, 2) + n(8, 4);
  tiff += n(4, 2) + entry(0x010F, 2, 6, 62) + entry(0x0110, 2, 6, 68) + entry(0x0112, 3, 1, 6) + entry(0x8769, 4, 1, 74) +
          n(136, 4);
  tiff += QByteArray("Brisa\0Mk II\0", 12);
  tiff += n(3, 2) + entry(0x9003, 2, 20, 116) + entry(0xA002, 3, 1, quint32(w)) + entry(0xA003, 3, 1, quint32(h)) + n(0, 4);
  tiff += QByteArray("2024:05:06 07:08:09\0", 20);
  tiff += n(2, 2) + entry(0x0201, 4, 1, 166) + entry(0x0202, 4, 1, 4) + n(0, 4) + "\xff\xd8\xff\xd9";
  return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray WithExif(const QByteArray& jpeg, const QByteArray& exif) {
  return jpeg.left(2) + "\xff\xe1" + BigEndian(quint32(exif.size() + 2), 2) + exif + jpeg.mid(2);
}

// One page of 2 x 2 pixels, uncompressed, 4 samples a pixel, separated (CMYK).
QByteArray CmykTiff() {
  const quint32 entries[][3] = {{256, 3, 2}, {257, 3, 2}, {258, 3, 8}, {259, 3, 1}, {262, 3, 5},
                                {273, 4, 0}, {277, 3, 4}, {278, 3, 2}, {279, 4, 16}};
  const quint32 count = sizeof entries / sizeof entries[0], pixels = 8 + 2 + 12 * count + 4;
  QByteArray tiff = "II" + LittleEndian(42, 2) + LittleEndian(8, 4) + LittleEndian(count, 2);
  for (const auto& [tag, type, value] : entries)
    tiff += LittleEndian(tag, 2) + LittleEndian(type, 2) + LittleEndian(1, 4) + LittleEndian(tag == 273 ? pixels : value, 4);
  return tiff + LittleEndian(0, 4) + QByteArray(16, char(0x40));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
    return 1;
  }
  const QImage image = Pattern(16, 12);
  const QByteArray png = Encoded(image, "png");
  const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
  const QByteArray ihdr = png.mid(8, 25);
  const QByteArray idat = Chunk("IDAT", QByteArray("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10));
  const QList<std::pair<const char*, QByteArray>> seeds = {
      {"plain.png", png},
      {"grey.png", Encoded(image.convertToFormat(QImage::Format_Grayscale8), "png")},
      {"no-resolution.png", signature + ihdr + idat + Chunk("IEND", {})},
      {"animated.png", signature + ihdr + Chunk("acTL", BigEndian(2, 4) + BigEndian(0, 4)) +
                           Chunk("pHYs", BigEndian(2835, 4) + BigEndian(2835, 4) + char(1)) + idat + Chunk("IEND", {})},
      {"baseline.jpg", Encoded(image, "jpeg")},
      {"camera.jpg", WithExif(Encoded(image, "jpeg", -1, true), CameraExif(true, 16, 12))},
      {"camera-big-endian.jpg", WithExif(Encoded(image.convertToFormat(QImage::Format_Grayscale8), "jpeg"),
                                         CameraExif(false, 16, 12))},
      {"exif-segment", CameraExif(true, 16, 12)},
      {"plain.tif", Encoded(image, "tiff", 0)},
      {"lzw.tif", Encoded(image, "tiff", 1)},
      {"cmyk.tif", CmykTiff()},
      {"deep.png", Encoded(image.convertToFormat(QImage::Format_RGBA64), "png")},
      {"palette.png", Encoded(image.convertToFormat(QImage::Format_Indexed8), "png")},
      {"plain.bmp", Encoded(image, "bmp")},
      {"alpha.bmp", Encoded(image.convertToFormat(QImage::Format_ARGB32), "bmp")},
      {"lossless.webp", Encoded(image, "webp", -1)},
      {"plain.ppm", Encoded(image, "ppm")},
      {"plain.pgm", Encoded(image.convertToFormat(QImage::Format_Grayscale8), "pgm")},
      {"deep.pgm", QByteArray("P5\n# deep\n4 2\n65535\n") + QByteArray(16, char(0x9c))},
      {"copy-name", "sample.png-20240131-154502-4711.png"},
      {"copy-text", "%2Fpictures%2Fodd%20%FF%FE%01%09.png"},
      {"picture-name", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa8.png"},
      {"krita-header", "brisel-krita 1\nsize 640 480\norigin 0 0\ndepth 16\ndocument /home/p/a b.kra\n"
                       "layer Paint Layer 1\nwindow 18874375\n"},
  };
  for (const auto& [name, bytes] : seeds) {
    QFile file(folder + "/" + name);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      std::fprintf(stderr, "%s: cannot write the seed %s\n", argv[1], name);
      return 1;
    }
  }
  return 0;
}
