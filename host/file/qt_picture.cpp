#include "file/qt_picture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "file/picture_io.h"
#include "file/picture_traits.h"

namespace brisel::filehost {
namespace {

class QtSource final : public PictureSource {
 public:
  QtSource(QImage original, QByteArray readFormat, QByteArray writeFormat, PictureTraits traits)
      : original_(std::move(original)), readFormat_(std::move(readFormat)), writeFormat_(std::move(writeFormat)),
        traits_(std::move(traits)) {}

  std::string Write(const Painting& painting, QByteArray& bytes) const override {
    const QImage image = ComposeForWrite(original_, painting);
    if (image.isNull()) return "not enough memory";
    return EncodePicture(image, writeFormat_, readFormat_, traits_, bytes);
  }
  std::string WhatItCannotHold(const Painting& painting) const override {
    return WhatFormatHolds(writeFormat_, painting.r, painting.g, painting.b);
  }
  QByteArray format() const override { return writeFormat_; }

 private:
  QImage original_;  // as read, at its own depth, with its metadata
  QByteArray readFormat_, writeFormat_;
  PictureTraits traits_;
};

// Whether Qt's writer gives back image, pixels and model, through format.
bool RoundTripsExactly(const QImage& image, const QByteArray& format) {
  QByteArray bytes;
  if (!EncodePicture(image, format, format, {}, bytes).empty()) return false;
  const QImage back = QImage::fromData(bytes, format.constData());
  if (back.isNull() || back.size() != image.size() || back.format() != image.format()) return false;
  if (back.format() == QImage::Format_Indexed8 && back.colorTable() != image.colorTable()) return false;
  return back.convertToFormat(QImage::Format_RGBA64) == image.convertToFormat(QImage::Format_RGBA64);
}

}  // namespace

DecodedPicture ReadThroughQt(const std::string& path, const QByteArray& bytes, QtRoundTrip roundTrip) {
  ReadPictureResult read = ReadPicture(path);
  if (!read.error.empty()) return Refused(read.error);
  const QByteArray writeFormat = WriteFormatFor(path, read.format);
  if (writeFormat.isEmpty())
    return Refused(path + " can be read but not written back (Brisel has no writer for " + read.format.toStdString() +
                   " pictures); convert it to PNG first");
  if (roundTrip == QtRoundTrip::kMustBeExact && !RoundTripsExactly(read.image, writeFormat))
    return Refused(path + " is a " + read.format.toStdString() +
                   " picture that Brisel could not write back exactly as it is; convert it to PNG first");
  (void)bytes;  // Qt reads the file itself, by its path
  PicturePlanes planes = SplitPlanes(read.image);
  DecodedPicture decoded;
  decoded.r = std::move(planes.r), decoded.g = std::move(planes.g), decoded.b = std::move(planes.b);
  decoded.source =
      std::make_shared<QtSource>(std::move(read.image), read.format.toLower(), writeFormat, std::move(read.traits));
  return decoded;
}

}  // namespace brisel::filehost
