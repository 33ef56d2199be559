#pragma once
// A picture file read and written back by its own format's library, so that writing it changes its pixels
// and nothing else: the file's container (chunks, markers, tags, directories, their order and bytes) is
// kept, and only the pixels the painter changed are replaced, at the file's own colour model and depth.
//
// Reading gives the host's planes (8-bit red, green and blue, transparency laid on white) and a
// PictureSource that keeps what writing back needs (the file's bytes, what its library decoded). Each
// format has its reader (png_picture.h, jpeg_picture.h, tiff_picture.h, webp_picture.h, bmp_picture.h,
// pnm_picture.h); a format none of them reads goes through Qt's plug-ins, and only where a round trip
// through them is exact (qt_picture.h). A file that cannot be written back as it is, is refused at
// reading, with the reason, before any work is done.
//
// Every reader is safe on any bytes (the fuzz target feeds them random ones): the size in the header is
// checked against the limits before any pixel is decoded, and a failure is one line that names the file.

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <string>

#include "common/over_white.h"
#include "platform/byte_plane.h"

namespace brisel::filehost {

// The pixels a send changed. The planes sent and the planes read (as the host handed them over) have the
// picture's size; a pixel is painted where any of its three planes differs from the one read. Coordinates
// are the upright picture's, as the host hands it over (a reader that turns the stored pixels upright, an
// EXIF orientation, turns them back when writing).
class Painting {
 public:
  Painting(const BytePlane& r, const BytePlane& g, const BytePlane& b, const BytePlane& readR, const BytePlane& readG,
           const BytePlane& readB);

  int32_t width() const { return r.width(); }
  int32_t height() const { return r.height(); }
  bool Painted(int32_t x, int32_t y) const {
    return r(x, y) != readR(x, y) || g(x, y) != readG(x, y) || b(x, y) != readB(x, y);
  }
  // The smallest box that holds every painted pixel, the far corner exclusive; empty (x0 == x1) when no
  // pixel was painted.
  struct Box {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
  };
  const Box& box() const { return box_; }
  // Whether a painted pixel inside rows [y0, y1) and columns [x0, x1) (clipped to the picture).
  bool AnyPaintedIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const;
  // Whether every pixel of the picture, painted or not, is grey (r == g == b) once painted.
  bool AllGrey() const;
  // Whether every painted pixel is grey.
  bool PaintedGrey() const;

  const BytePlane &r, &g, &b;              // as sent
  const BytePlane &readR, &readG, &readB;  // as read

 private:
  Box box_;
};

// One picture file as its format's library read it: what writing it back needs.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // The file's bytes with the painting's pixels in place of the ones read: every byte that does not hold
  // pixels is kept, and so is every pixel not painted, to the bit. Called only with a painting of the
  // picture's size that painted something. Empty on success, else the reason, one line.
  virtual std::string Write(const Painting& painting, QByteArray& bytes) const = 0;
  // What the format cannot hold of the painting ("grey" for colour on a grey-only format, "black and white"
  // for anything else on a two-colour one), asked about before writing; empty where it holds it. After a
  // yes, Write puts the painting in what the format holds.
  virtual std::string WhatItCannotHold(const Painting&) const { return {}; }
  // The name of the format, lower case, as messages and the writer of another size's picture use it
  // ("png", "jpeg", "tiff", "webp", "bmp", "pgm", ...).
  virtual QByteArray format() const = 0;
};

// A picture read: the planes and their source, or why it was refused.
struct DecodedPicture {
  BytePlane r, g, b;                            // the upright picture, 8 bits a channel, laid on white
  std::shared_ptr<const PictureSource> source;  // what writing back needs; null where refused
  std::string error;                            // empty on success, else one line naming the file
};

// Reads the picture file at path (bytes, see picture_path.h), by its content's signature (the extension is
// only a hint, for the formats that have none); bytes receives the file's content as read.
DecodedPicture DecodePictureFile(const std::string& path, QByteArray& bytes);
// The same for a file at path whose whole content is bytes.
DecodedPicture DecodePictureBytes(const std::string& path, const QByteArray& bytes);

// --- For the readers ---

// A refusal of the picture at path: error = why, the rest empty.
DecodedPicture Refused(std::string why);
// Why a picture of w x h pixels (as its header claims) is not opened, naming path; empty where it may be.
std::string SizeProblem(const std::string& path, int64_t w, int64_t h);
// Holds SizeProblem to at most pixels in all, below the hosts' limit: the fuzz target's inputs may claim
// any size, and a run must not spend its memory on one picture.
void LimitPicturePixels(int64_t pixels);

// One channel of a straight-alpha pixel laid on white, rounded, as every host shows alpha.
using host::OnWhite;
// A 16-bit sample to 8 bits, rounded (v / 257); and back, exactly (an 8-bit value v is 257 v in 16 bits).
inline uint8_t EightBits(uint32_t v) { return uint8_t((v * 255 + 32767) / 65535); }
inline uint16_t SixteenBits(uint8_t v) { return uint16_t(v * 257); }

}  // namespace brisel::filehost
