#pragma once
// Writing a picture back in its own format with what its file held besides the pixels, where Qt's writers
// do not keep it:
//   JPEG  through libjpeg: the EXIF segment (made upright: orientation 1, thumbnail unlinked), XMP, the
//         ICC profile, IPTC and comments, byte for byte; the JFIF density, or no JFIF segment where the
//         file had none; progressive scans; the chroma sampling; quality 95.
//   PNG   the pHYs chunk as it was, or none where the file had none (Qt's writer adds 96 dpi); a grey
//         picture with alpha stays grey with alpha while every pixel is grey.
//   TIFF  LZW stays LZW; Deflate and JPEG compression, which Qt's writer lacks, become LZW: lossless,
//         never lossy.

#include <QByteArray>
#include <QImage>

#include <string>

#include "file/picture_traits.h"

namespace brisel::filehost {

// image (RGB888 or Grayscale8; any other is converted to RGB888) as a JPEG keeping original's segments,
// density, scan mode and sampling. Empty on success, else libjpeg's reason.
std::string EncodeJpegLike(const QImage& image, const PictureTraits& original, QByteArray& bytes);

// png (a whole PNG file) with its pHYs chunks replaced by phys (a whole chunk), or removed where phys is
// empty.
void ReplacePngPhys(QByteArray& png, const QByteArray& phys);

// png (Qt's encoding of image, ARGB32 or RGBA64) rewritten as grey with alpha at depth bits (8 or 16),
// its other chunks kept; false (png untouched) where some pixel of image is not grey.
bool RewritePngAsGreyAlpha(QByteArray& png, const QImage& image, int depth);

// The TIFF compression to ask of Qt's writer (0 none, 1 LZW) for a file that had compression (its tag).
inline int QtTiffCompressionFor(int compression) { return compression > 1 ? 1 : 0; }

}  // namespace brisel::filehost
