#pragma once
// Jpeg pictures through libjpeg-turbo: see picture_codec.h for what reading and writing back promise.
//
// Writing back replaces only the blocks the painting touched: the file's coefficients are read as they are,
// the MCUs holding a painted pixel get new ones (encoded from the pixels read with the painted ones in
// place, with the file's own quantisation tables and sampling), and the whole is written again from the
// coefficients, so every other block decodes to the very pixels it did. The picture keeps its stored
// orientation (a painting on a turned picture is turned back into the stored grid), its marker segments in
// order, byte for byte, but the EXIF thumbnail, which is cleared (it would show the picture as it was), and
// everything after the primary picture's end (MPF pictures, whose index is mended to their new offsets).

#include <QByteArray>

#include <string>

#include "file/picture_codec.h"

namespace brisel::filehost {

// The picture at path, whose whole content is bytes (a Jpeg file by its signature).
DecodedPicture ReadJpeg(const std::string& path, const QByteArray& bytes);

}  // namespace brisel::filehost
