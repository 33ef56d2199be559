#pragma once
// The parts of a JPEG's marker segments that a write which replaces some of its blocks must mend: the EXIF
// thumbnail, which holds the pixels as they were, and the MPF index, which counts in bytes from itself to
// the pictures that follow the primary one. Pure byte editing, bounds-checked, safe on any input.

#include <QByteArray>

namespace brisel::filehost {

// The EXIF segment (APP1 payload, "Exif\0\0" and a TIFF structure) without its thumbnail: the second
// directory (IFD1) unlinked, and its entries and the thumbnail's bytes overwritten with zeros, so that no
// program finds the old pixels in it; the segment keeps its size, so every other offset stays valid.
// Unchanged where there is no thumbnail directory.
QByteArray ExifWithoutThumbnail(const QByteArray& app1);

// The offset in file of the MPF index (the TIFF structure after "MPF\0" in an APP2 segment before the first
// scan); -1 where there is none.
qsizetype MpfIndexAt(const QByteArray& file);

// written, the primary picture of original rewritten (its first newEnd bytes) followed by what came after
// original's primary (from oldEnd on, byte for byte): its MPF entries mended so that the first gives the
// primary's new size and the others point where their pictures now lie. Nothing is done where either has
// no MPF index.
void MendMpfEntries(const QByteArray& original, qsizetype oldEnd, QByteArray& written, qsizetype newEnd);

}  // namespace brisel::filehost
