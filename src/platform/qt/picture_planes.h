#pragma once
// Pictures as Qt holds them and the program's byte planes, shared by the picture-file host and the
// recovery copies.

#include <QImage>
#include <QImageReader>

#include <algorithm>

#include "platform/byte_plane.h"

namespace brisel::platform {

// The planes as one RGB888 picture, of the size all three cover; null where there is no memory for it.
inline QImage JoinPlanes(const BytePlane& r, const BytePlane& g, const BytePlane& b) {
  const int32_t w = std::min({r.width(), g.width(), b.width()});
  const int32_t h = std::min({r.height(), g.height(), b.height()});
  QImage image(w, h, QImage::Format_RGB888);
  if (image.isNull()) return image;
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

// An RGB888 picture as three planes.
inline void SplitRgb888(const QImage& image, BytePlane& red, BytePlane& green, BytePlane& blue) {
  const int32_t w = image.width(), h = image.height();
  BytePlane r(w, h), g(w, h), b(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const uchar* in = image.constScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      r(x, y) = in[3 * x];
      g(x, y) = in[3 * x + 1];
      b(x, y) = in[3 * x + 2];
    }
  }
  red = std::move(r), green = std::move(g), blue = std::move(b);
}

// Qt caps the bytes it decodes a picture into at a process-wide limit (128 MiB by default in Qt 6.4), which
// a picture of 6000 x 6000 already passes. Readers of pictures known to be within the program's own bounds
// lift it for one read.

// Lets Qt decode a picture of width x height while it lives; the limit is put back afterwards so that
// other readers keep their cap. Eight bytes a pixel covers every format Qt decodes into (16-bit RGBA is
// the widest).
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

}  // namespace brisel::platform
