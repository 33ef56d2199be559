#pragma once
// Writing a painting into a JPEG by its blocks: only the MCUs (the blocks of all components that cover the
// same pixels) that hold a painted pixel are encoded anew; every other keeps its coefficients, so it decodes
// to the very same pixels. The new MCUs are encoded from the pixels as read, the painted ones in place, with
// the file's own quantisation tables, sampling and colour model.

#include <QByteArray>

#include <string>

#include "file/jpeg_turn.h"
#include "file/picture_codec.h"

namespace brisel::filehost {

// original (a whole JPEG file) with painting's touched MCUs replaced, into written: its marker segments in
// order, byte for byte, but the EXIF thumbnail cleared; progressive, arithmetic coding and the restart
// interval as they were, Huffman tables optimised; what followed the primary picture's end kept, with an MPF
// index mended. painting is upright, turn takes the stored grid to it. Empty, or libjpeg's reason.
std::string WriteTouchedBlocks(const QByteArray& original, const JpegTurn& turn, const Painting& painting,
                               QByteArray& written);

}  // namespace brisel::filehost
