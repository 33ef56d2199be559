#pragma once
// Picture files through Qt's image plug-ins (PNG, JPEG, BMP, TIFF, WebP and whatever else is installed).
//
// Reading is bounded: the header's size is checked before any pixel is decoded, so a file that claims
// 100,000 x 100,000 pixels is refused without allocating. Every failure is one line of text that names
// the file. Writing encodes into memory; atomic_write.h then replaces the file.

#include <QByteArray>
#include <QImage>

#include <memory>
#include <string>

#include "common/picture_limits.h"
#include "file/picture_codec.h"
#include "file/picture_traits.h"
#include "platform/byte_plane.h"

namespace brisel::filehost {

// The largest picture read, as for every host (common/picture_limits.h). Decoding one that large takes up to
// 1 GiB (16-bit RGBA).
inline constexpr int kMaxPictureSide = host::kMaxPictureSide;
inline constexpr qint64 kMaxPicturePixels = host::kMaxPicturePixels;

struct ReadPictureResult {
  QImage image;        // null on failure
  QByteArray format;   // the plug-in that read it ("png", "jpeg", ...)
  std::string error;   // empty on success
  PictureTraits traits;  // what the file holds besides its pixels (JPEG, PNG and TIFF)
};

// Reads the picture at path (bytes, see picture_path.h), with its EXIF orientation applied. Refused,
// besides files that cannot be decoded: pictures that could not be written back as they are, being more
// than one frame or page (multi-page TIFF, animated WebP or PNG) or in CMYK; and a JPEG cut short (no
// end-of-image marker after its last scan), which the decoder would otherwise fill with grey.
ReadPictureResult ReadPicture(const std::string& path);

// Why the entry at path cannot be a picture to read (missing, a folder, not a regular file, empty), one line
// naming it; empty where it may be.
std::string WhyNotAPictureFile(const std::string& path);

// A picture as the host exchanges it: three planes of equal size, red, green and blue. A picture with
// transparency is flattened onto white, since the planes carry no alpha.
struct PicturePlanes {
  BytePlane r, g, b;
  std::shared_ptr<const PictureSource> source;  // what writing the file back needs; null for a new picture
  int32_t width() const { return r.width(); }
  int32_t height() const { return r.height(); }
};
PicturePlanes SplitPlanes(const QImage& image);

// The picture to write over original (the picture as Qt read it, of the painting's size) for painting:
// - an unpainted pixel keeps the original's own value, every bit of it; a painted pixel is written at the
//   original's depth (16 bits: v * 257);
// - a grey picture stays grey while every pixel is grey, a palette picture keeps its palette while every
//   colour painted is one of its opaque ones; painting in another colour turns either into RGB;
// - an unpainted pixel keeps its transparency (the planes show it laid on white, as SplitPlanes does); a
//   painted one is opaque; a picture left with no transparent pixel unpainted is written without alpha;
// - the colour profile, the text entries and the resolution are carried over.
// Null where there is no memory for it.
QImage ComposeForWrite(const QImage& original, const Painting& painting);

// The format in which a picture at path is written: the one its extension names when a plug-in can
// write it, else the format it was read in (readFormat) when writable; empty when neither.
QByteArray WriteFormatFor(const std::string& path, const QByteArray& readFormat);

// What format can hold where the planes hold more: "grey" for a grey-only format (PGM) where some pixel is
// a colour, "black and white" for a two-colour one (PBM, XBM, WBMP) where some pixel is neither; empty
// where the format holds them.
std::string WhatFormatHolds(const QByteArray& format, const BytePlane& r, const BytePlane& g, const BytePlane& b);

// Encodes image in format into bytes: JPEG at quality 95, WebP losslessly. What a file read in readFormat
// (empty for a new picture) held besides its pixels (traits) is kept where the format is the same
// (picture_encoding.h says what). Empty on success, else the writer's reason.
std::string EncodePicture(const QImage& image, const QByteArray& format, const QByteArray& readFormat,
                          const PictureTraits& traits, QByteArray& bytes);

}  // namespace brisel::filehost
