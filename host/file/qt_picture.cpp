#include "file/qt_picture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cstring>

#include "file/picture_io.h"
#include "file/picture_traits.h"

namespace brisel::filehost {
namespace {

class QtSource final : public PictureSource {
 public:
  QtSource(QImage original, QByteArray readFormat, QByteArray writeFormat, PictureTraits traits, QByteArray xbmName)
      : original_(std::move(original)), readFormat_(std::move(readFormat)), writeFormat_(std::move(writeFormat)),
        traits_(std::move(traits)), xbmName_(std::move(xbmName)) {}

  std::string Write(const Painting& painting, QByteArray& bytes) const override {
    const QImage image = ComposeForWrite(original_, painting);
    if (image.isNull()) return "not enough memory";
    std::string why = EncodePicture(image, writeFormat_, readFormat_, traits_, bytes);
    if (why.empty() && !xbmName_.isEmpty())
      for (const char* part : {" _width", " _height", " _bits"})
        if (const qsizetype at = bytes.indexOf(part); at >= 0)
          bytes.replace(at, qsizetype(std::strlen(part)), " " + xbmName_ + (part + 1));
    return why;
  }
  std::string WhatItCannotHold(const Painting& painting) const override {
    return WhatFormatHolds(writeFormat_, painting.r, painting.g, painting.b);
  }
  QByteArray format() const override { return writeFormat_; }

 private:
  QImage original_;  // as read, at its own depth, with its metadata
  QByteArray readFormat_, writeFormat_;
  PictureTraits traits_;
  QByteArray xbmName_;  // an XBM's name for its picture, put back into what Qt writes
};

// Why Qt's writer would not give back image (pixels, model, palette) through format; empty where it does.
std::string RoundTripProblem(const std::string& path, const QImage& image, const QByteArray& format) {
  const std::string kind = format.toUpper().toStdString();
  const std::string article = kind.find_first_of("AEFHILMNORSX") == 0 ? "an " : "a ";
  // A plug-in that hands over premultiplied pixels (ICO) has lost the colours of the see-through ones
  // already; writing them back would change them.
  if (image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied) {
    const QImage straight = image.convertToFormat(QImage::Format_RGBA64);
    for (int y = 0; y < straight.height(); ++y)
      for (int x = 0; x < straight.width(); ++x)
        if (!reinterpret_cast<const QRgba64*>(straight.constScanLine(y))[x].isOpaque())
          return path + " is " + article + kind + " picture with see-through pixels, whose colours Brisel could not " +
                 "write back exactly; convert it to PNG first";
  }
  QByteArray bytes;
  bool same = EncodePicture(image, format, format, {}, bytes).empty();
  const QImage back = same ? QImage::fromData(bytes, format.constData()) : QImage();
  same = !back.isNull() && back.size() == image.size() && back.format() == image.format() &&
         (back.format() != QImage::Format_Indexed8 || back.colorTable() == image.colorTable()) &&
         back.convertToFormat(QImage::Format_RGBA64) == image.convertToFormat(QImage::Format_RGBA64);
  if (same) return {};
  return path + " is " + article + kind + " picture that Brisel could not write back exactly as it is (its pixels, " +
         "colour model or palette would change); convert it to PNG first";
}

// The name an XBM file gives its picture ("#define NAME_width"), which Qt's writer takes from the file it
// writes to, and so leaves empty when writing into memory.
QByteArray XbmNameOf(const QByteArray& bytes) {
  const qsizetype define = bytes.indexOf("#define "), width = bytes.indexOf("_width", define);
  if (define < 0 || width < 0) return {};
  const QByteArray name = bytes.mid(define + 8, width - define - 8).trimmed();
  return name.contains(' ') || name.contains('\n') ? QByteArray() : name;
}

}  // namespace

DecodedPicture ReadThroughQt(const std::string& path, const QByteArray& bytes, QtRoundTrip roundTrip) {
  ReadPictureResult read = ReadPicture(path);
  if (!read.error.empty()) return Refused(read.error);
  const QByteArray writeFormat = WriteFormatFor(path, read.format);
  if (writeFormat.isEmpty())
    return Refused(path + " can be read but not written back (Brisel has no writer for " + read.format.toStdString() +
                   " pictures); convert it to PNG first");
  if (roundTrip == QtRoundTrip::kMustBeExact)
    if (const std::string why = RoundTripProblem(path, read.image, writeFormat); !why.empty()) return Refused(why);
  PicturePlanes planes = SplitPlanes(read.image);
  DecodedPicture decoded;
  decoded.r = std::move(planes.r), decoded.g = std::move(planes.g), decoded.b = std::move(planes.b);
  decoded.source =
      std::make_shared<QtSource>(std::move(read.image), read.format.toLower(), writeFormat, std::move(read.traits),
                                 writeFormat == "xbm" ? XbmNameOf(bytes) : QByteArray());
  return decoded;
}

}  // namespace brisel::filehost
