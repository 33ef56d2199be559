#include "file/picture_io.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "file/file_stamp.h"
#include "file/picture_encoding.h"
#include "file/picture_path.h"
#include "file/picture_traits.h"
#include "platform/qt/picture_planes.h"

namespace brisel::filehost {
namespace {

// Why a picture cannot be painted and written back as it is, from its container: empty when it can.
std::string ContainerProblem(const std::string& path, const QByteArray& format, const PictureTraits& traits) {
  if (format == "jpeg" || format == "jpg") {
    if (!traits.jpegComplete)
      return path + " cannot be decoded (the JPEG data ends before its end-of-image marker); the file is truncated "
                    "or damaged";
    if (traits.jpegComponents == 4)
      return path + " is a CMYK JPEG; Brisel paints in RGB and would change its colours when writing it back: "
                    "convert it to RGB first";
  }
  if (format == "png") {
    const quint32 frames = traits.pngFrames;
    if (frames > 1)
      return path + " is an animated PNG of " + std::to_string(frames) +
             " frames; Brisel writes back one picture and would drop the others: save the frame to paint as a "
             "PNG of its own first";
  }
  // The colour model is the file's own: Qt 6.4 converts a CMYK TIFF to RGB silently on reading.
  if ((format == "tiff" || format == "tif") && traits.tiffPhotometric == 5)
    return path + " is in CMYK; Brisel paints in RGB and would change its colours when writing it back: "
                  "convert it to RGB first";
  return {};
}

QImage::Format FormatForChannels(bool deep, bool grey) {
  if (grey) return deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  return deep ? QImage::Format_RGBX64 : QImage::Format_RGB888;
}

bool IsGrey(const QImage& image) {
  return image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16;
}

// Whether a pixel left unpainted is not opaque in image (ARGB32 or RGBA64, straight alpha): then the
// picture written keeps an alpha channel.
template <typename Painted>
bool KeepsTransparency(const QImage& image, const Painted& painted) {
  const bool deep = image.format() == QImage::Format_RGBA64;
  for (int32_t y = 0; y < image.height(); ++y) {
    const uchar* line = image.constScanLine(y);
    for (int32_t x = 0; x < image.width(); ++x) {
      const bool opaque = deep ? reinterpret_cast<const QRgba64*>(line)[x].isOpaque()
                               : qAlpha(reinterpret_cast<const QRgb*>(line)[x]) == 255;
      if (!opaque && !painted(x, y)) return true;
    }
  }
  return false;
}

// Profile, text entries and resolution of from, onto to. A grey picture's profile may be a grey one,
// which an RGB picture cannot carry: it goes only onto a grey picture.
void CarryMetadata(const QImage& from, QImage& to) {
  if (from.colorSpace().isValid() && (!IsGrey(from) || IsGrey(to))) to.setColorSpace(from.colorSpace());
  for (const QString& key : from.textKeys()) to.setText(key, from.text(key));
  to.setDotsPerMeterX(from.dotsPerMeterX());
  to.setDotsPerMeterY(from.dotsPerMeterY());
}

// The extension as the reader's hint, where it names a format the reader knows. A reader given another
// name ("png " of "a.png ", "xyz") still reads by the content, but then reports that name as the format.
QByteArray ReadHintFor(const std::string& path) {
  const QByteArray suffix = SuffixOf(path);
  return QImageReader::supportedImageFormats().contains(suffix) ? suffix : QByteArray();
}

}  // namespace

std::string WhyNotAPictureFile(const std::string& path) {
  int err = 0;
  const std::optional<FileStamp> stamp = StampOf(path, &err);
  if (!stamp) return path + ": " + std::strerror(err);
  if (stamp->isFolder()) return path + " is a folder, not a picture";
  if (!stamp->isRegular()) return path + " is not a regular file";
  if (stamp->size == 0) return path + " is empty";
  return {};
}

ReadPictureResult ReadPicture(const std::string& path) {
  ReadPictureResult result;
  auto fail = [&](const std::string& why) {
    result.image = QImage();
    result.error = why;
    return result;
  };

  if (const std::string why = WhyNotAPictureFile(path); !why.empty()) return fail(why);

  QFile file;
  if (const std::string why = OpenForReading(path, file); !why.empty()) return fail(path + " cannot be opened: " + why);
  // The extension is only a hint (formats without a signature need it): a picture whose extension
  // lies is read by its content.
  auto reader = std::make_unique<QImageReader>(&file, ReadHintFor(path));
  if (!reader->canRead()) {
    file.seek(0);
    reader = std::make_unique<QImageReader>(&file);
  }
  if (!reader->canRead()) return fail(path + " is not a picture in a format Brisel can read");
  reader->setAutoTransform(true);
  // Counted before the size is asked: Qt 6.4's TIFF plug-in counts one page once it has read a header.
  const int frames = reader->imageCount();  // 0: the plug-in cannot tell

  const QSize size = reader->size();  // from the header, before anything is decoded
  platform::DecodingAllowance allowance;
  if (size.isValid()) {
    const qint64 w = size.width(), h = size.height();
    if (w <= 0 || h <= 0) return fail(path + " claims an empty picture size");
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels)
      return fail(path + " claims " + std::to_string(w) + " x " + std::to_string(h) +
                  " pixels; Brisel opens pictures of at most " + std::to_string(kMaxPictureSide) +
                  " pixels a side and " + std::to_string(kMaxPicturePixels) + " pixels in all");
    allowance.Allow(w, h);
  }
  // A plug-in that cannot tell the size up front is held to Qt's own allocation limit instead.

  result.format = reader->format();
  if (frames > 1 || (frames == 0 && reader->supportsAnimation()))
    return fail(path + " holds " + (frames > 1 ? std::to_string(frames) : std::string("several")) +
                " frames or pages; Brisel writes back one picture and would drop the others: save the one to "
                "paint on as a picture of its own first");
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  if (reader->imageFormat() == QImage::Format_CMYK8888)
    return fail(path + " is in CMYK; Brisel paints in RGB and would change its colours when writing it back: "
                       "convert it to RGB first");
#endif
  const QByteArray kind = result.format.toLower();  // the plug-in's key as asked for: "jpg" and "jpeg" alike
  if (kind == "jpeg" || kind == "jpg" || kind == "png" || kind == "tiff" || kind == "tif") {
    // Read apart from the decoder's device: the checks need the file's bytes, the decoder its position.
    QFile raw;
    if (const std::string why = OpenForReading(path, raw); !why.empty())
      return fail(path + " cannot be opened: " + why);
    result.traits = ReadPictureTraits(kind, raw.readAll());
    const std::string problem = ContainerProblem(path, kind, result.traits);
    if (!problem.empty()) return fail(problem);
  }
  if (!reader->read(&result.image) || result.image.isNull())
    return fail(path + " cannot be decoded (" + reader->errorString().toStdString() +
                "); the file may be damaged or truncated");
  if (result.image.width() > kMaxPictureSide || result.image.height() > kMaxPictureSide)
    return fail(path + " is larger than " + std::to_string(kMaxPictureSide) + " pixels a side");
  return result;
}

PicturePlanes SplitPlanes(const QImage& source) {
  const QImage image = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const int32_t w = image.width(), h = image.height();
  PicturePlanes planes{BytePlane(w, h), BytePlane(w, h), BytePlane(w, h), {}};
  for (int32_t y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uint8_t *r = planes.r.row(y), *g = planes.g.row(y), *b = planes.b.row(y);
    for (int32_t x = 0; x < w; ++x) {
      const QRgb p = line[x];
      const int a = qAlpha(p);  // 255 throughout an RGB32 image
      if (a == 255) {
        r[x] = uint8_t(qRed(p)), g[x] = uint8_t(qGreen(p)), b[x] = uint8_t(qBlue(p));
      } else {
        // Straight alpha over white, rounded: c * a / 255 + 255 * (255 - a) / 255.
        const int white = 255 * (255 - a) + 127;
        r[x] = uint8_t((qRed(p) * a + white) / 255);
        g[x] = uint8_t((qGreen(p) * a + white) / 255);
        b[x] = uint8_t((qBlue(p) * a + white) / 255);
      }
    }
  }
  return planes;
}

QImage ComposeForWrite(const QImage& source, const Painting& painting) {
  const int32_t w = painting.width(), h = painting.height();
  const BytePlane &r = painting.r, &g = painting.g, &b = painting.b;
  QImage original = source;
  const bool grey = painting.AllGrey();
  auto painted = [&](int32_t x, int32_t y) { return painting.Painted(x, y); };

  QImage image;
  const QImage::Format format = original.format();
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8) {
    // Kept in its palette while every colour painted is one of the palette's opaque ones; unpainted
    // pixels keep their index (a palette may hold a colour twice), and so their transparency.
    {
      original = original.convertToFormat(QImage::Format_Indexed8);
      std::unordered_map<QRgb, int> index;
      const QList<QRgb> table = original.colorTable();
      for (int i = int(table.size()) - 1; i >= 0; --i)
        if (qAlpha(table[i]) == 255) index[table[i]] = i;
      image = original;
      for (int32_t y = 0; y < h && !image.isNull(); ++y) {
        uchar* line = image.scanLine(y);
        for (int32_t x = 0; x < w; ++x) {
          if (!painted(x, y)) continue;
          const auto found = index.find(qRgb(r(x, y), g(x, y), b(x, y)));
          if (found == index.end()) {
            image = QImage();  // a colour outside the palette: written as RGB below
            break;
          }
          line[x] = uchar(found->second);
        }
      }
    }
  } else if (IsGrey(original) && (grey || format == QImage::Format_Grayscale16)) {
    // Stays grey while every pixel is; 16-bit grey turned colour goes to 16-bit RGB, 8-bit to RGB888 below.
    const bool deep = format == QImage::Format_Grayscale16;
    image = QImage(w, h, FormatForChannels(deep, grey));
    for (int32_t y = 0; y < h; ++y) {
      const uchar* from = original.constScanLine(y);
      uchar* to = image.scanLine(y);
      for (int32_t x = 0; x < w; ++x) {
        const bool keep = !painted(x, y);
        if (grey && !deep) {
          to[x] = keep ? from[x] : r(x, y);
        } else if (grey) {
          reinterpret_cast<quint16*>(to)[x] = keep ? reinterpret_cast<const quint16*>(from)[x] : quint16(r(x, y) * 257);
        } else {
          const quint16 v = deep ? reinterpret_cast<const quint16*>(from)[x] : quint16(from[x] * 257);
          reinterpret_cast<QRgba64*>(to)[x] =
              keep ? QRgba64::fromRgba64(v, v, v, 0xffff) : QRgba64::fromRgba64(r(x, y) * 257, g(x, y) * 257, b(x, y) * 257, 0xffff);
        }
      }
    }
  } else if (original.depth() >= 64 || original.pixelFormat().redSize() > 8) {
    // Deeper than 8 bits a channel: unpainted pixels keep all their bits, their transparency included.
    original = original.convertToFormat(QImage::Format_RGBA64);
    const bool keepAlpha = KeepsTransparency(original, painted);
    image = QImage(w, h, keepAlpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    for (int32_t y = 0; y < h; ++y) {
      const QRgba64* from = reinterpret_cast<const QRgba64*>(original.constScanLine(y));
      QRgba64* to = reinterpret_cast<QRgba64*>(image.scanLine(y));
      for (int32_t x = 0; x < w; ++x)
        to[x] = painted(x, y) ? QRgba64::fromRgba64(r(x, y) * 257, g(x, y) * 257, b(x, y) * 257, 0xffff) : from[x];
    }
  }
  if (image.isNull() && original.hasAlphaChannel() && original.depth() <= 32) {
    // 8 bits a channel with transparency (a palette too, once painted outside it): unpainted pixels keep
    // theirs; painted ones are opaque, as they were seen.
    original = original.convertToFormat(QImage::Format_ARGB32);
    if (KeepsTransparency(original, painted)) {
      image = original;
      for (int32_t y = 0; y < h; ++y) {
        QRgb* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int32_t x = 0; x < w; ++x)
          if (painted(x, y)) to[x] = qRgb(r(x, y), g(x, y), b(x, y));
      }
    }
  }
  if (image.isNull()) image = platform::JoinPlanes(r, g, b);  // 8 bits a channel: the planes are the pixels
  CarryMetadata(source, image);
  return image;
}

QByteArray WriteFormatFor(const std::string& path, const QByteArray& readFormat) {
  const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
  const QByteArray suffix = SuffixOf(path);
  if (!suffix.isEmpty() && writable.contains(suffix)) return suffix;
  if (!readFormat.isEmpty() && writable.contains(readFormat.toLower())) return readFormat.toLower();
  return {};
}

std::string WhatFormatHolds(const QByteArray& format, const BytePlane& r, const BytePlane& g, const BytePlane& b) {
  const QByteArray kind = format.toLower();
  const bool greyOnly = kind == "pgm", twoColours = kind == "pbm" || kind == "xbm" || kind == "wbmp";
  if (!greyOnly && !twoColours) return {};
  for (int32_t y = 0; y < r.height(); ++y) {
    const uint8_t *pr = r.row(y), *pg = g.row(y), *pb = b.row(y);
    for (int32_t x = 0; x < r.width(); ++x) {
      if (pr[x] != pg[x] || pg[x] != pb[x]) return greyOnly ? "grey" : "black and white";
      if (twoColours && pr[x] != 0 && pr[x] != 255) return "black and white";
    }
  }
  return {};
}

std::string EncodePicture(const QImage& image, const QByteArray& format, const QByteArray& readFormat,
                          const PictureTraits& traits, QByteArray& bytes) {
  bytes.clear();
  // What the file held is kept where it is written in its own format again.
  auto family = [](const QByteArray& f) { return f == "jpg" ? "jpeg" : f == "tif" ? "tiff" : f; };
  const QByteArray kind = family(format.toLower());
  const bool isNew = readFormat.isEmpty();
  const bool same = !isNew && family(readFormat.toLower()) == kind;
  if (kind == "jpeg" && same) return EncodeJpegLike(image, traits, bytes);

  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (kind == "jpeg") writer.setQuality(95);
  if (kind == "webp") writer.setQuality(100);  // Qt's WebP writer is lossless at 100
  if (kind == "tiff" && same) writer.setCompression(QtTiffCompressionFor(traits.tiffCompression));
  if (!writer.write(image)) return writer.errorString().toStdString();
  buffer.close();
  if (kind == "png") {
    // Qt writes a resolution always (96 dpi where the picture has none of its own).
    if (isNew || same) ReplacePngPhys(bytes, same ? traits.pngPhys : QByteArray());
    const int depth = same ? traits.pngBitDepth : 0;
    if (same && traits.pngColourType == 4 && image.hasAlphaChannel() && (depth == 8 || depth == 16))
      RewritePngAsGreyAlpha(bytes, image, depth);  // stays RGBA where colour was painted
  }
  return {};
}

}  // namespace brisel::filehost
