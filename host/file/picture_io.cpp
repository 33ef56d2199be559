#include "file/picture_io.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstring>
#include <memory>

#include "file/file_stamp.h"

namespace brisel::filehost {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QByteArray SuffixOf(const std::string& path) { return QFileInfo(q(path)).suffix().toLower().toLatin1(); }

// Lets Qt decode a picture of width x height while it lives: Qt caps decoded bytes at a process-wide
// limit (128 MiB by default), put back afterwards so that other readers keep their cap. Eight bytes a
// pixel covers every format Qt decodes into (16-bit RGBA is the widest).
class DecodingAllowance {
 public:
  DecodingAllowance() : previous_(QImageReader::allocationLimit()) {}
  ~DecodingAllowance() { QImageReader::setAllocationLimit(previous_); }
  DecodingAllowance(const DecodingAllowance&) = delete;
  DecodingAllowance& operator=(const DecodingAllowance&) = delete;

  void Allow(qint64 width, qint64 height) {
    const qint64 mib = (width * height * 8 + (1 << 20) - 1) / (1 << 20) + 1;
    if (mib > previous_) QImageReader::setAllocationLimit(int(mib));
  }

 private:
  int previous_;
};

}  // namespace

ReadPictureResult ReadPicture(const std::string& path) {
  ReadPictureResult result;
  auto fail = [&](const std::string& why) {
    result.image = QImage();
    result.error = why;
    return result;
  };

  int err = 0;
  const std::optional<FileStamp> stamp = StampOf(path, &err);
  if (!stamp) return fail(path + ": " + std::strerror(err));
  if (stamp->isFolder()) return fail(path + " is a folder, not a picture");
  if (!stamp->isRegular()) return fail(path + " is not a regular file");
  if (stamp->size == 0) return fail(path + " is empty");

  QFile file(q(path));
  if (!file.open(QIODevice::ReadOnly)) return fail(path + " cannot be opened: " + file.errorString().toStdString());
  // The extension is only a hint (formats without a signature need it): a picture whose extension
  // lies is read by its content.
  auto reader = std::make_unique<QImageReader>(&file, SuffixOf(path));
  if (!reader->canRead()) {
    file.seek(0);
    reader = std::make_unique<QImageReader>(&file);
  }
  if (!reader->canRead()) return fail(path + " is not a picture in a format Brisel can read");
  reader->setAutoTransform(true);

  const QSize size = reader->size();  // from the header, before anything is decoded
  DecodingAllowance allowance;
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

QImage JoinPlanes(const BytePlane& r, const BytePlane& g, const BytePlane& b) {
  const int32_t w = std::min({r.width(), g.width(), b.width()});
  const int32_t h = std::min({r.height(), g.height(), b.height()});
  QImage image(w, h, QImage::Format_RGB888);
  for (int32_t y = 0; y < h; ++y) {
    uchar* line = image.scanLine(y);
    const uint8_t *pr = r.row(y), *pg = g.row(y), *pb = b.row(y);
    for (int32_t x = 0; x < w; ++x) {
      line[3 * x] = pr[x];
      line[3 * x + 1] = pg[x];
      line[3 * x + 2] = pb[x];
    }
  }
  return image;
}

QByteArray WriteFormatFor(const std::string& path, const QByteArray& readFormat) {
  const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
  const QByteArray suffix = SuffixOf(path);
  if (!suffix.isEmpty() && writable.contains(suffix)) return suffix;
  if (!readFormat.isEmpty() && writable.contains(readFormat.toLower())) return readFormat.toLower();
  return {};
}

std::string EncodePicture(const QImage& image, const QByteArray& format, QByteArray& bytes) {
  bytes.clear();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (format == "jpeg" || format == "jpg") writer.setQuality(95);
  if (format == "webp") writer.setQuality(100);  // Qt's WebP writer is lossless at 100
  if (!writer.write(image)) return writer.errorString().toStdString();
  return {};
}

}  // namespace brisel::filehost
