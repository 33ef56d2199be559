#include "file/jpeg_blocks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file/jpeg_failure.h"
#include "file/jpeg_segments.h"

namespace brisel::filehost {
namespace {

const QByteArray kExifHeader("Exif\0\0", 6);

struct Segment {
  int marker = 0;  // JPEG_APP0 + n or JPEG_COM
  QByteArray payload;
};

// The MCUs to encode anew: the cells [cx0, cx1) x [cy0, cy1) of the MCU grid, those touched marked, and the
// stored pixels they cover (clipped to the picture) as RGB rows.
struct Region {
  int64_t cellW = 8, cellH = 8;
  int64_t cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
  std::vector<uint8_t> touched;  // one a cell, row by row
  int64_t x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<uint8_t> rgb;
  bool Touched(int64_t cx, int64_t cy) const { return touched[size_t((cy - cy0) * (cx1 - cx0) + (cx - cx0))] != 0; }
};

// Reads original's coefficients, keeping every APPn and COM segment; end receives where the primary
// picture's end-of-image marker ends.
bool ReadCoefficients(jpeg_decompress_struct& src, JpegFailure& failure, const QByteArray& original,
                      jvirt_barray_ptr*& coefficients, qsizetype& end) {
  if (setjmp(failure.back)) return false;
  jpeg_create_decompress(&src);
  jpeg_mem_src(&src, reinterpret_cast<const unsigned char*>(original.constData()), static_cast<unsigned long>(original.size()));
  jpeg_save_markers(&src, JPEG_COM, 0xFFFF);
  for (int n = 0; n < 16; ++n) jpeg_save_markers(&src, JPEG_APP0 + n, 0xFFFF);
  jpeg_read_header(&src, TRUE);
  coefficients = jpeg_read_coefficients(&src);
  end = original.size() - qsizetype(src.src->bytes_in_buffer);
  return true;
}

// The touched MCUs of painting in the stored grid of src, and the pixels they cover as painted.
Region TouchedRegion(const jpeg_decompress_struct& src, const JpegTurn& turn, const Painting& painting) {
  Region region;
  const bool one = src.num_components == 1;  // a single component is coded a block at a time
  region.cellW = 8 * (one ? 1 : src.max_h_samp_factor), region.cellH = 8 * (one ? 1 : src.max_v_samp_factor);
  const int64_t w = src.image_width, h = src.image_height;
  const Painting::Box& box = painting.box();
  const int64_t xa = turn.X(box.x0, box.y0), xb = turn.X(box.x1 - 1, box.y1 - 1);
  const int64_t ya = turn.Y(box.x0, box.y0), yb = turn.Y(box.x1 - 1, box.y1 - 1);
  region.cx0 = std::min(xa, xb) / region.cellW, region.cx1 = std::max(xa, xb) / region.cellW + 1;
  region.cy0 = std::min(ya, yb) / region.cellH, region.cy1 = std::max(ya, yb) / region.cellH + 1;
  region.touched.assign(size_t((region.cx1 - region.cx0) * (region.cy1 - region.cy0)), 0);
  for (int64_t cy = region.cy0; cy < region.cy1; ++cy)
    for (int64_t cx = region.cx0; cx < region.cx1; ++cx) {
      const int64_t x0 = cx * region.cellW, x1 = std::min(w, x0 + region.cellW) - 1;
      const int64_t y0 = cy * region.cellH, y1 = std::min(h, y0 + region.cellH) - 1;
      const int64_t ua = turn.U(x0, y0), ub = turn.U(x1, y1), va = turn.V(x0, y0), vb = turn.V(x1, y1);
      region.touched[size_t((cy - region.cy0) * (region.cx1 - region.cx0) + (cx - region.cx0))] = painting.AnyPaintedIn(
          int32_t(std::min(ua, ub)), int32_t(std::min(va, vb)), int32_t(std::max(ua, ub) + 1), int32_t(std::max(va, vb) + 1));
    }
  region.x0 = region.cx0 * region.cellW, region.y0 = region.cy0 * region.cellH;
  region.w = std::min(w, region.cx1 * region.cellW) - region.x0, region.h = std::min(h, region.cy1 * region.cellH) - region.y0;
  region.rgb.resize(size_t(region.w * region.h * 3));
  uint8_t* out = region.rgb.data();
  for (int64_t y = region.y0; y < region.y0 + region.h; ++y)
    for (int64_t x = region.x0; x < region.x0 + region.w; ++x) {
      const int32_t u = int32_t(turn.U(x, y)), v = int32_t(turn.V(x, y));
      *out++ = painting.r(u, v), *out++ = painting.g(u, v), *out++ = painting.b(u, v);
    }
  return region;
}

// The segments to write back, in order: the EXIF thumbnail cleared, as it shows the picture as it was.
std::vector<Segment> SegmentsOf(const jpeg_decompress_struct& src) {
  std::vector<Segment> segments;
  for (jpeg_saved_marker_ptr m = src.marker_list; m; m = m->next) {
    Segment segment{m->marker, QByteArray(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length))};
    if (segment.marker == JPEG_APP0 + 1 && segment.payload.startsWith(kExifHeader))
      segment.payload = ExifWithoutThumbnail(segment.payload);
    segments.push_back(std::move(segment));
  }
  return segments;
}

// Encodes region's pixels as a JPEG of src's model, sampling and quantisation tables, into fresh.
void EncodeRegion(jpeg_decompress_struct& src, jpeg_compress_struct& enc, const Region& region, unsigned char** fresh,
                  unsigned long* size) {
  jpeg_create_compress(&enc);
  jpeg_mem_dest(&enc, fresh, size);
  jpeg_copy_critical_parameters(&src, &enc);
  enc.image_width = JDIMENSION(region.w), enc.image_height = JDIMENSION(region.h);
  enc.in_color_space = JCS_RGB, enc.input_components = 3;  // the model's conversion is libjpeg's, as on decoding
  enc.dct_method = JDCT_ISLOW;
  enc.write_JFIF_header = FALSE;
  jpeg_start_compress(&enc, TRUE);
  while (enc.next_scanline < enc.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(region.rgb.data() + size_t(enc.next_scanline) * size_t(region.w) * 3);
    jpeg_write_scanlines(&enc, &row, 1);
  }
  jpeg_finish_compress(&enc);
}

// Copies the touched MCUs' blocks of fresh (the region encoded) into src's coefficients.
bool CopyTouchedBlocks(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients, jpeg_decompress_struct& fresh,
                       jvirt_barray_ptr* freshCoefficients, const Region& region) {
  if (fresh.num_components != src.num_components) return false;
  const bool one = src.num_components == 1;
  for (int c = 0; c < src.num_components; ++c) {
    const jpeg_component_info &to = src.comp_info[c], &from = fresh.comp_info[c];
    const int64_t hb = one ? 1 : to.h_samp_factor, vb = one ? 1 : to.v_samp_factor;  // blocks an MCU
    if (from.h_samp_factor != to.h_samp_factor || from.v_samp_factor != to.v_samp_factor) return false;
    for (int64_t by = region.cy0 * vb; by < std::min<int64_t>(region.cy1 * vb, to.height_in_blocks); ++by) {
      const int64_t fy = by - region.cy0 * vb;
      if (fy >= int64_t(from.height_in_blocks)) return false;
      JBLOCKARRAY toRow = src.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&src), coefficients[c], JDIMENSION(by), 1, TRUE);
      JBLOCKARRAY fromRow = fresh.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&fresh), freshCoefficients[c], JDIMENSION(fy), 1, FALSE);
      for (int64_t cx = region.cx0; cx < region.cx1; ++cx) {
        if (!region.Touched(cx, by / vb)) continue;
        for (int64_t bx = cx * hb; bx < std::min<int64_t>((cx + 1) * hb, to.width_in_blocks); ++bx) {
          const int64_t fx = bx - region.cx0 * hb;
          if (fx >= int64_t(from.width_in_blocks)) return false;
          std::memcpy(toRow[0][bx], fromRow[0][fx], sizeof(JBLOCK));
        }
      }
    }
  }
  return true;
}

// The new coefficients in place, writes the whole from src's coefficients with its segments into out.
bool ReplaceAndWrite(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients, jpeg_compress_struct& enc,
                     jpeg_decompress_struct& fresh, jpeg_compress_struct& dst, JpegFailure& failure,
                     const Region& region, const std::vector<Segment>& segments, unsigned char** encoded,
                     unsigned long* encodedSize, unsigned char** out, unsigned long* outSize) {
  if (setjmp(failure.back)) return false;
  EncodeRegion(src, enc, region, encoded, encodedSize);
  jpeg_create_decompress(&fresh);
  jpeg_mem_src(&fresh, *encoded, *encodedSize);
  jpeg_read_header(&fresh, TRUE);
  jvirt_barray_ptr* freshCoefficients = jpeg_read_coefficients(&fresh);
  if (!CopyTouchedBlocks(src, coefficients, fresh, freshCoefficients, region)) {
    std::snprintf(failure.text, sizeof failure.text, "the blocks encoded anew do not fit the picture's");
    return false;
  }

  jpeg_create_compress(&dst);
  jpeg_mem_dest(&dst, out, outSize);
  jpeg_copy_critical_parameters(&src, &dst);
  dst.write_JFIF_header = FALSE;  // the file's own APP0, if any, is among the segments
  dst.restart_interval = src.restart_interval;
  dst.arith_code = src.arith_code;
  dst.optimize_coding = !src.arith_code;
  if (src.progressive_mode) jpeg_simple_progression(&dst);
  jpeg_write_coefficients(&dst, coefficients);
  for (const Segment& segment : segments) {
    // libjpeg writes its own Adobe segment where the model needs one (RGB coded as RGB).
    if (dst.write_Adobe_marker && segment.marker == JPEG_APP0 + 14 && segment.payload.startsWith("Adobe")) continue;
    jpeg_write_marker(&dst, segment.marker, reinterpret_cast<const JOCTET*>(segment.payload.constData()),
                      unsigned(segment.payload.size()));
  }
  jpeg_finish_compress(&dst);
  return true;
}

}  // namespace

std::string WriteTouchedBlocks(const QByteArray& original, const JpegTurn& turn, const Painting& painting,
                               QByteArray& written) {
  written.clear();
  jpeg_decompress_struct src{}, fresh{};
  jpeg_compress_struct enc{}, dst{};
  JpegFailure failure;
  src.err = fresh.err = enc.err = dst.err = failure.Manager();
  unsigned char *encoded = nullptr, *out = nullptr;
  unsigned long encodedSize = 0, outSize = 0;
  jvirt_barray_ptr* coefficients = nullptr;
  qsizetype end = 0;
  bool done = ReadCoefficients(src, failure, original, coefficients, end);
  if (done) {
    const Region region = TouchedRegion(src, turn, painting);
    const std::vector<Segment> segments = SegmentsOf(src);
    done = ReplaceAndWrite(src, coefficients, enc, fresh, dst, failure, region, segments, &encoded, &encodedSize, &out,
                           &outSize);
  }
  jpeg_destroy_compress(&dst);
  jpeg_destroy_decompress(&fresh);
  jpeg_destroy_compress(&enc);
  jpeg_destroy_decompress(&src);
  if (done) {
    written = QByteArray(reinterpret_cast<const char*>(out), qsizetype(outSize)) + original.mid(end);
    MendMpfEntries(original, end, written, qsizetype(outSize));
  }
  std::free(encoded);
  std::free(out);
  return done ? std::string() : std::string(failure.text);
}

}  // namespace brisel::filehost
