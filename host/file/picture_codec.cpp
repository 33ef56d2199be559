#include "file/picture_codec.h"

#include <algorithm>

#include "common/picture_limits.h"

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

namespace {
int64_t gMostPixels = host::kMaxPicturePixels;
}  // namespace

void LimitPicturePixels(int64_t pixels) { gMostPixels = std::min(pixels, host::kMaxPicturePixels); }

std::string SizeProblem(const std::string& path, int64_t w, int64_t h) {
  if (w <= 0 || h <= 0) return path + " claims an empty picture size";
  if (w > host::kMaxPictureSide || h > host::kMaxPictureSide || w * h > gMostPixels)
    return path + " claims " + std::to_string(w) + " x " + std::to_string(h) + " pixels; Brisel opens pictures of at most " +
           std::to_string(host::kMaxPictureSide) + " pixels a side and " + std::to_string(host::kMaxPicturePixels) + " pixels in all";
  return {};
}

}  // namespace brisel::filehost
