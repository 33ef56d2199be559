#pragma once
// What a picture file holds besides its pixels, read from its bytes by Brisel itself: the things Qt's
// decoders do not report, or report only after conversion, and that writing the picture back must keep or
// refuse. Pure byte parsing, safe on any input (a fuzz target feeds it random bytes): a field that cannot
// be read keeps its default.

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>

namespace brisel::filehost {

struct JpegSegment {
  uint8_t marker = 0;  // FF xx: E1..EF (APP1..APP15) or FE (COM)
  QByteArray payload;  // after the length
};

struct PictureTraits {
  // JPEG: the frame's colour components (3 YCbCr, 1 grey, 4 CMYK or YCCK) and their sampling factors
  // (H << 4 | V, one a component); whether the end-of-image marker follows the last scan; progressive
  // scans (SOF2); the JFIF density (unit 0 none, 1 dpi, 2 dots a cm) when an APP0 JFIF segment is there.
  int jpegComponents = 0;
  QByteArray jpegSampling;
  bool jpegComplete = false;
  bool jpegProgressive = false;
  struct Density {
    int unit = 0, x = 1, y = 1;
  };
  std::optional<Density> jfifDensity;
  // APP1..APP15 but the Adobe APP14, and comments, in file order: EXIF, XMP, the ICC profile, IPTC...
  QList<JpegSegment> jpegSegments;

  // PNG: the frames an animated PNG claims (its acTL chunk), else 1; the header's colour type (0 grey,
  // 2 RGB, 3 palette, 4 grey with alpha, 6 RGBA; -1 unknown) and bits a sample; the pHYs chunk whole
  // (length, type, data, CRC), empty when there is none.
  quint32 pngFrames = 1;
  int pngColourType = -1;
  int pngBitDepth = 0;
  QByteArray pngPhys;

  // TIFF, from the first directory: the compression (1 none, 5 LZW, 7 JPEG, 8 or 32946 Deflate, ...) and
  // the photometric interpretation (1 grey, 2 RGB, 3 palette, 5 separated: CMYK, 6 YCbCr, ...); 0 and -1
  // when not found.
  int tiffCompression = 0;
  int tiffPhotometric = -1;
};

// The traits of a picture in format ("png", "jpeg" or "jpg", "tiff" or "tif"; others give the defaults).
PictureTraits ReadPictureTraits(const QByteArray& format, const QByteArray& bytes);

// The EXIF segment (APP1 payload, "Exif\0\0" and a TIFF structure) of a picture now written upright at
// width x height: the orientation set to 1, the pixel dimensions set to the new ones, the thumbnail's
// directory unlinked (its bytes stay, unreferenced). Every other byte is kept. A segment it cannot follow
// is returned unchanged where it has no orientation to fix, else empty (dropped rather than wrong).
QByteArray UprightExif(const QByteArray& app1, int width, int height);

// The orientation an EXIF segment gives (1..8), 0 when there is none.
int ExifOrientation(const QByteArray& app1);

}  // namespace brisel::filehost
