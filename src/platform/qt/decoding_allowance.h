#pragma once
// Qt caps the bytes it decodes a picture into at a process-wide limit (128 MiB by default in Qt 6.4), which
// a picture of 6000 x 6000 already passes. Readers of pictures known to be within the program's own bounds
// lift it for one read.

#include <QImageReader>

namespace brisel::platform {

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
