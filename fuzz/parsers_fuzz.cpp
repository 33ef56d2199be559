// The fuzz target (libFuzzer) for what Brisel reads from bytes itself, without Qt's decoders: every picture
// format's own reader (PNG, JPEG, TIFF, WebP, BMP, PNM) and its writing back of a painted pixel, a picture's
// traits (JPEG segments and frame, PNG chunks, the first TIFF directory), the EXIF orientation and its
// upright rewrite, the pHYs chunk carried into a written PNG, and the names around a recovery copy (the
// picture's name in its text, the process in its file name, a name made plain), and the header of the Krita
// plug-in's exchange folder.
//
// Each input goes through every one of them: a crash, a sanitizer report or a broken promise below is a
// finding, and its input becomes a test case in tests/host/ or tests/platform/.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "file/bmp_picture.h"
#include "file/jpeg_picture.h"
#include "file/picture_encoding.h"
#include "file/picture_traits.h"
#include "file/png_picture.h"
#include "file/pnm_picture.h"
#include "file/tiff_picture.h"
#include "file/webp_picture.h"
#include "krita/exchange.h"
#include "platform/journal.h"
#include "platform/recovery_copies.h"

namespace {

using namespace brisel;

void Broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

// The upright EXIF segment keeps every byte's place, and what it leaves says orientation 1 (or none).
void CheckUpright(const QByteArray& app1) {
  filehost::ExifOrientation(app1);
  const QByteArray upright = filehost::UprightExif(app1, 7, 5);
  if (upright.isEmpty()) return;
  if (upright.size() != app1.size()) Broken("UprightExif keeps the segment's size");
  const int orientation = filehost::ExifOrientation(upright);
  if (orientation != 0 && orientation != 1) Broken("UprightExif leaves orientation 1 or none");
}

// Whole UTF-8, as Qt reads it back (a copy's name goes through QString when copies are listed), without
// control characters.
bool IsPlainUtf8(const std::string& s) {
  for (const char c : s)
    if (uint8_t(c) < 0x20 || c == 0x7F) return false;
  return QString::fromUtf8(s.data(), qsizetype(s.size())).toStdString() == s;
}

// A reader takes the bytes or says why not; a picture it takes, written back with its first pixel painted,
// is one it reads again, at the same size.
void CheckReader(filehost::DecodedPicture (*read)(const std::string&, const QByteArray&), const QByteArray& bytes) {
  const filehost::DecodedPicture picture = read("input", bytes);
  if (!picture.source) {
    if (picture.error.empty()) Broken("a picture reader says why it refuses a picture");
    return;
  }
  const int32_t w = picture.r.width(), h = picture.r.height();
  if (w < 1 || h < 1 || picture.g.width() != w || picture.b.width() != w || picture.g.height() != h || picture.b.height() != h)
    Broken("a picture reader gives three planes of one size");
  BytePlane r = picture.r;
  r(0, 0) = uint8_t(r(0, 0) ^ 0x80);
  const filehost::Painting painting(r, picture.g, picture.b, picture.r, picture.g, picture.b);
  QByteArray written;
  picture.source->WhatItCannotHold(painting);
  if (!picture.source->Write(painting, written).empty()) return;  // a write may fail, saying why
  const filehost::DecodedPicture again = read("written", written);
  if (!again.source) Broken("what a picture's source writes, its reader reads again");
  if (again.r.width() != w || again.r.height() != h) Broken("a picture written back keeps its size");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  filehost::LimitPicturePixels(int64_t(1) << 20);  // an input that claims more is refused before decoding
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Not copied: a read past the end lands outside the fuzzer's own buffer, where AddressSanitizer sees it.
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

  const filehost::PictureTraits jpeg = filehost::ReadPictureTraits("jpeg", bytes);
  for (const filehost::JpegSegment& segment : jpeg.jpegSegments)
    if (segment.marker == 0xE1) CheckUpright(segment.payload);
  CheckUpright(bytes);

  const filehost::PictureTraits png = filehost::ReadPictureTraits("png", bytes);
  QByteArray written(bytes.constData(), bytes.size());
  filehost::ReplacePngPhys(written, png.pngPhys);
  const QByteArray once = written;
  filehost::ReplacePngPhys(written, png.pngPhys);
  if (written != once) Broken("ReplacePngPhys gives the same file when done twice");
  const QByteArray carried = filehost::ReadPictureTraits("png", once).pngPhys;
  if (!carried.isEmpty() && carried != png.pngPhys) Broken("ReplacePngPhys writes the pHYs chunk it is given");

  filehost::ReadPictureTraits("tiff", bytes);

  for (auto* read : {filehost::ReadPng, filehost::ReadJpeg, filehost::ReadTiff, filehost::ReadWebp, filehost::ReadBmp,
                     filehost::ReadPnm})
    CheckReader(read, bytes);

  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::PictureFromCopyText(text, text);
  if (platform::WriterOf(text) < 0) Broken("WriterOf gives no negative process");
  const std::string plain = platform::PlainName(text);
  if (!IsPlainUtf8(plain)) Broken("PlainName leaves whole UTF-8 without control characters");
  if (platform::PlainName(plain) != plain) Broken("PlainName keeps a plain name as it is");
  const std::string shown = platform::ShownName(text);
  if (!IsPlainUtf8(shown)) Broken("ShownName leaves whole UTF-8 without control characters");

  // A journal read over small planes: its records land inside them or not at all.
  const platform::JournalReplay replay = platform::ReplayJournal(text, 0);
  if (replay.headerRead && replay.header.width > 0 && replay.header.height > 0 &&
      int64_t(replay.header.width) * replay.header.height <= 4096) {
    BytePlane r(replay.header.width, replay.header.height), g = r, b = r, painted = r;
    const platform::JournalReplay applied = platform::ReplayJournal(text, 0, &r, &g, &b, &painted);
    if (applied.last != replay.last || applied.goodBytes > text.size()) Broken("ReplayJournal reads the same records");
    for (size_t i = 0; i < painted.size(); ++i)
      if (painted.data()[i] > 1) Broken("ReplayJournal's painted mask is 0 or 1");
  }

  std::string why;
  if (const auto header = kritahost::ParseHeader(text, why)) {
    if (header->width < 1 || header->height < 1 || header->width > 32767 || header->height > 32767 ||
        int64_t(header->width) * header->height > (int64_t(1) << 27) || (header->depth != 8 && header->depth != 16))
      Broken("ParseHeader gives a layer Brisel can paint on, or none");
  } else if (why.empty()) {
    Broken("ParseHeader says why it refuses a header");
  }
  return 0;
}
