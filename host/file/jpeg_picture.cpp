#include "file/jpeg_picture.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "file/jpeg_blocks.h"
#include "file/jpeg_failure.h"
#include "file/jpeg_turn.h"
#include "file/picture_traits.h"

namespace brisel::filehost {
namespace {

const QByteArray kExifHeader("Exif\0\0", 6);

class JpegSource final : public PictureSource {
 public:
  JpegSource(QByteArray bytes, JpegTurn turn, bool grey) : bytes_(std::move(bytes)), turn_(turn), grey_(grey) {}

  std::string Write(const Painting& painting, QByteArray& bytes) const override {
    return WriteTouchedBlocks(bytes_, turn_, painting, bytes);
  }
  // A grey JPEG stays grey: colour painted on it is written as its luma, after the painter agreed.
  std::string WhatItCannotHold(const Painting& painting) const override {
    return grey_ && !painting.PaintedGrey() ? "grey" : std::string();
  }
  QByteArray format() const override { return "jpeg"; }

 private:
  QByteArray bytes_;  // the file as read
  JpegTurn turn_;     // from the stored grid to the upright picture
  bool grey_;
};

// What the header says, before any pixel is decoded.
struct Header {
  int64_t width = 0, height = 0;
  int components = 0;
  J_COLOR_SPACE model = JCS_UNKNOWN;
  int orientation = 1;
  std::vector<int> quantTables;  // the quantisation table each component uses
};

bool ReadHeader(jpeg_decompress_struct& info, JpegFailure& failure, const QByteArray& bytes, Header& header) {
  if (setjmp(failure.back)) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  header.width = info.image_width, header.height = info.image_height;
  header.components = info.num_components, header.model = info.jpeg_color_space;
  for (int c = 0; c < info.num_components; ++c) header.quantTables.push_back(info.comp_info[c].quant_tbl_no);
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    const QByteArray payload = QByteArray::fromRawData(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length));
    if (m->marker != JPEG_APP0 + 1 || !payload.startsWith(kExifHeader)) continue;
    const int orientation = ExifOrientation(payload);  // a SHORT or a LONG alike
    header.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    break;
  }
  return true;
}

// Decodes the stored rows into the upright planes through row (one stored row of RGB).
bool ReadPixels(jpeg_decompress_struct& info, JpegFailure& failure, const JpegTurn& turn, uint8_t* row, BytePlane* rgb) {
  if (setjmp(failure.back)) return false;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    const int64_t y = info.output_scanline;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);
    for (int64_t x = 0; x < int64_t(info.output_width); ++x) {
      const int64_t u = turn.U(x, y), v = turn.V(x, y);
      for (int c = 0; c < 3; ++c) rgb[c](int32_t(u), int32_t(v)) = row[3 * x + c];
    }
  }
  jpeg_finish_decompress(&info);
  return true;
}

// Whether a quantisation table a component uses holds a zero, as the tables stand after the last scan: a
// decoder multiplies by it, but the encoder of a send would divide by it. The tables outlive the
// decompression's end; the components do not, hence the header's note of which table each uses.
bool QuantisesByZero(const jpeg_decompress_struct& info, const Header& header) {
  for (const int table : header.quantTables) {
    const JQUANT_TBL* quant = table >= 0 && table < NUM_QUANT_TBLS ? info.quant_tbl_ptrs[table] : nullptr;
    if (quant && std::find(std::begin(quant->quantval), std::end(quant->quantval), 0) != std::end(quant->quantval))
      return true;
  }
  return false;
}

}  // namespace

DecodedPicture ReadJpeg(const std::string& path, const QByteArray& bytes) {
  jpeg_decompress_struct info{};
  JpegFailure failure;
  info.err = failure.Manager();
  Header header;
  auto failed = [&] {
    jpeg_destroy_decompress(&info);
    if (failure.endedEarly)
      return Refused(path + " cannot be decoded (the JPEG data ends before its end-of-image marker); the file is "
                            "truncated or damaged");
    return Refused(path + " cannot be decoded (" + failure.text + "); the file may be damaged or truncated");
  };
  if (!ReadHeader(info, failure, bytes, header)) return failed();
  if (header.components == 4 || header.model == JCS_CMYK || header.model == JCS_YCCK) {
    jpeg_destroy_decompress(&info);
    return Refused(path + " is a CMYK JPEG; Brisel paints in RGB and would change its colours when writing it back: "
                          "convert it to RGB first");
  }
  if (const std::string why = SizeProblem(path, header.width, header.height); !why.empty()) {
    jpeg_destroy_decompress(&info);
    return Refused(why);
  }
  const JpegTurn turn = JpegTurn::For(header.orientation, header.width, header.height);
  const int32_t w = int32_t(turn.swapsSides() ? header.height : header.width);
  const int32_t h = int32_t(turn.swapsSides() ? header.width : header.height);
  DecodedPicture decoded;
  BytePlane rgb[3] = {BytePlane(w, h), BytePlane(w, h), BytePlane(w, h)};
  std::vector<uint8_t> row(size_t(header.width) * 3);
  if (!ReadPixels(info, failure, turn, row.data(), rgb) || failure.endedEarly) return failed();
  const bool byZero = QuantisesByZero(info, header);
  jpeg_destroy_decompress(&info);
  if (byZero)
    return Refused(path + " cannot be written back: a quantisation table of it holds a zero, which no JPEG encoder "
                          "takes; the file is damaged");
  decoded.r = std::move(rgb[0]), decoded.g = std::move(rgb[1]), decoded.b = std::move(rgb[2]);
  decoded.source = std::make_shared<JpegSource>(bytes, turn, header.components == 1);
  return decoded;
}

}  // namespace brisel::filehost
