#include "file/picture_codec.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include "file/bmp_picture.h"
#include "file/file_stamp.h"
#include "file/jpeg_picture.h"
#include "file/picture_io.h"
#include "file/picture_path.h"
#include "file/png_picture.h"
#include "file/pnm_picture.h"
#include "file/qt_picture.h"
#include "file/tiff_picture.h"
#include "file/webp_picture.h"

namespace brisel::filehost {

Painting::Painting(const BytePlane& r, const BytePlane& g, const BytePlane& b, const BytePlane& readR,
                   const BytePlane& readG, const BytePlane& readB)
    : r(r), g(g), b(b), readR(readR), readG(readG), readB(readB) {
  int32_t x0 = width(), y0 = height(), x1 = 0, y1 = 0;
  for (int32_t y = 0; y < height(); ++y) {
    const uint8_t *pr = r.row(y), *pg = g.row(y), *pb = b.row(y);
    const uint8_t *qr = readR.row(y), *qg = readG.row(y), *qb = readB.row(y);
    int32_t first = -1, last = -1;
    for (int32_t x = 0; x < width(); ++x)
      if (pr[x] != qr[x] || pg[x] != qg[x] || pb[x] != qb[x]) {
        if (first < 0) first = x;
        last = x;
      }
    if (first < 0) continue;
    x0 = std::min(x0, first), x1 = std::max(x1, last + 1);
    y0 = std::min(y0, y), y1 = y + 1;
  }
  if (x1 > x0) box_ = {x0, y0, x1, y1};
}

bool Painting::AnyPaintedIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
  x0 = std::max(x0, box_.x0), y0 = std::max(y0, box_.y0);
  x1 = std::min(x1, box_.x1), y1 = std::min(y1, box_.y1);
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x)
      if (Painted(x, y)) return true;
  return false;
}

bool Painting::AllGrey() const {
  for (int32_t y = 0; y < height(); ++y) {
    const uint8_t *pr = r.row(y), *pg = g.row(y), *pb = b.row(y);
    for (int32_t x = 0; x < width(); ++x)
      if (pr[x] != pg[x] || pg[x] != pb[x]) return false;
  }
  return true;
}

bool Painting::PaintedGrey() const {
  for (int32_t y = box_.y0; y < box_.y1; ++y)
    for (int32_t x = box_.x0; x < box_.x1; ++x)
      if (Painted(x, y) && (r(x, y) != g(x, y) || g(x, y) != b(x, y))) return false;
  return true;
}

DecodedPicture Refused(std::string why) {
  DecodedPicture refused;
  refused.error = std::move(why);
  return refused;
}

std::string SizeProblem(const std::string& path, int64_t w, int64_t h) {
  if (w <= 0 || h <= 0) return path + " claims an empty picture size";
  if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels)
    return path + " claims " + std::to_string(w) + " x " + std::to_string(h) + " pixels; Brisel opens pictures of at most " +
           std::to_string(kMaxPictureSide) + " pixels a side and " + std::to_string(kMaxPicturePixels) + " pixels in all";
  return {};
}

DecodedPicture DecodePictureFile(const std::string& path, QByteArray& bytes) {
  bytes.clear();
  int err = 0;
  const std::optional<FileStamp> stamp = StampOf(path, &err);
  if (!stamp) return Refused(path + ": " + std::strerror(err));
  if (stamp->isFolder()) return Refused(path + " is a folder, not a picture");
  if (!stamp->isRegular()) return Refused(path + " is not a regular file");
  if (stamp->size == 0) return Refused(path + " is empty");
  QFile file;
  if (const std::string why = OpenForReading(path, file); !why.empty()) return Refused(path + " cannot be opened: " + why);
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return Refused(path + " cannot be read: " + file.errorString().toStdString());
  return DecodePictureBytes(path, bytes);
}

DecodedPicture DecodePictureBytes(const std::string& path, const QByteArray& bytes) {
  auto starts = [&](const char* signature, qsizetype length, qsizetype at = 0) {
    return bytes.size() >= at + length && bytes.mid(at, length) == QByteArray(signature, length);
  };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return ReadPng(path, bytes);
  if (starts("\xff\xd8\xff", 3)) return ReadJpeg(path, bytes);
  if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4)) return ReadTiff(path, bytes);
  if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return ReadWebp(path, bytes);
  if (starts("BM", 2)) return ReadBmp(path, bytes);
  if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7' &&
      (bytes[2] == ' ' || bytes[2] == '\t' || bytes[2] == '\n' || bytes[2] == '\r' || bytes[2] == '#'))
    return ReadPnm(path, bytes);
  return ReadThroughQt(path, bytes, QtRoundTrip::kMustBeExact);
}

}  // namespace brisel::filehost
