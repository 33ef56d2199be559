#include "file/picture_encoding.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <zlib.h>

namespace brisel::filehost {
namespace {

constexpr int kJpegQuality = 95;
const QByteArray kExifHeader("Exif\0\0", 6);

struct JpegFailure {
  jpeg_error_mgr manager;  // first: libjpeg hands back its address as the error manager's
  std::jmp_buf back;
  char text[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* failure = reinterpret_cast<JpegFailure*>(info->err);
  info->err->format_message(info, failure->text);
  std::longjmp(failure->back, 1);
}

// The part of the encoding that may fail: libjpeg leaves it by longjmp, so nothing here owns anything
// with a destructor. Fills buffer and size; false with failure.text on failure.
bool Compress(jpeg_compress_struct& info, JpegFailure& failure, const QImage& image, const PictureTraits& original,
              const QList<JpegSegment>& segments, unsigned char** buffer, unsigned long* size) {
  if (setjmp(failure.back)) return false;
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  const bool grey = image.format() == QImage::Format_Grayscale8;
  info.image_width = JDIMENSION(image.width());
  info.image_height = JDIMENSION(image.height());
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  info.optimize_coding = TRUE;
  if (original.jpegSampling.size() == info.num_components) {
    for (int c = 0; c < info.num_components; ++c) {
      const int h = uint8_t(original.jpegSampling[c]) >> 4, v = uint8_t(original.jpegSampling[c]) & 15;
      if (h < 1 || h > 4 || v < 1 || v > 4) break;  // not a frame libjpeg could write: its defaults stay
      info.comp_info[c].h_samp_factor = h, info.comp_info[c].v_samp_factor = v;
    }
  }
  info.write_JFIF_header = original.jfifDensity ? TRUE : FALSE;
  if (original.jfifDensity) {
    info.density_unit = UINT8(original.jfifDensity->unit);
    info.X_density = UINT16(original.jfifDensity->x);
    info.Y_density = UINT16(original.jfifDensity->y);
  }
  if (original.jpegProgressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  for (const JpegSegment& segment : segments)
    jpeg_write_marker(&info, segment.marker, reinterpret_cast<const JOCTET*>(segment.payload.constData()),
                      unsigned(segment.payload.size()));
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

QByteArray BigEndian32(quint32 v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  return QByteArray(b, 4);
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data) {
  const QByteArray body = type + data;
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
  return BigEndian32(quint32(data.size())) + body + BigEndian32(quint32(crc));
}

// The chunks of a PNG after its signature, as (type, whole chunk); stops at anything malformed.
QList<std::pair<QByteArray, QByteArray>> PngChunks(const QByteArray& png) {
  QList<std::pair<QByteArray, QByteArray>> chunks;
  for (qsizetype i = 8; i + 12 <= png.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(png.constData() + i);
    const quint32 length = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    if (length > quint32(png.size() - i - 12)) break;
    chunks.append({png.mid(i + 4, 4), png.mid(i, 12 + length)});
    i += 12 + qsizetype(length);
  }
  return chunks;
}

}  // namespace

std::string EncodeJpegLike(const QImage& source, const PictureTraits& original, QByteArray& bytes) {
  bytes.clear();
  const QImage image = source.format() == QImage::Format_Grayscale8 || source.format() == QImage::Format_RGB888
                           ? source
                           : source.convertToFormat(QImage::Format_RGB888);
  QList<JpegSegment> segments;
  for (const JpegSegment& segment : original.jpegSegments) {
    if (segment.marker != 0xE1 || !segment.payload.startsWith(kExifHeader)) {
      segments.append(segment);
      continue;
    }
    // The pixels are written upright: an orientation other than 1 would turn them again.
    const QByteArray upright = UprightExif(segment.payload, image.width(), image.height());
    if (!upright.isEmpty()) segments.append({segment.marker, upright});
  }
  jpeg_compress_struct info{};
  JpegFailure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = OnJpegError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool done = Compress(info, failure, image, original, segments, &buffer, &size);
  jpeg_destroy_compress(&info);
  if (done) bytes = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
  std::free(buffer);
  return done ? std::string() : std::string(failure.text);
}

void ReplacePngPhys(QByteArray& png, const QByteArray& phys) {
  QByteArray out = png.left(8);
  for (const auto& [type, chunk] : PngChunks(png)) {
    if (type == "pHYs") continue;
    out += chunk;
    if (type == "IHDR") out += phys;  // before IDAT, as the format asks
  }
  png = out;
}

bool RewritePngAsGreyAlpha(QByteArray& png, const QImage& source, int depth) {
  const QImage image = source.convertToFormat(QImage::Format_RGBA64);
  const int w = image.width(), samples = depth == 16 ? 4 : 2;  // bytes a pixel: grey and alpha
  QByteArray raw(qsizetype(image.height()) * (1 + qsizetype(w) * samples), '\0');
  char* out = raw.data();
  for (int y = 0; y < image.height(); ++y) {
    const QRgba64* line = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
    *out++ = 0;  // filter: none
    for (int x = 0; x < w; ++x) {
      const QRgba64 p = line[x];
      if (p.red() != p.green() || p.green() != p.blue()) return false;
      if (depth == 16) {
        *out++ = char(p.red() >> 8), *out++ = char(p.red()), *out++ = char(p.alpha() >> 8), *out++ = char(p.alpha());
      } else {
        *out++ = char(p.red8()), *out++ = char(p.alpha8());
      }
    }
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  QByteArray packed(qsizetype(packedSize), '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.constData()),
                uLong(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
    return false;
  packed.resize(qsizetype(packedSize));

  QByteArray rewritten = png.left(8);
  bool pixelsWritten = false;
  for (const auto& [type, chunk] : PngChunks(png)) {
    if (type == "IHDR" && chunk.size() == 25) {
      QByteArray header = chunk.mid(8, 13);
      header[8] = char(depth), header[9] = 4;  // bit depth, colour type: grey with alpha
      rewritten += PngChunk("IHDR", header);
    } else if (type == "IDAT") {
      if (!pixelsWritten) rewritten += PngChunk("IDAT", packed);
      pixelsWritten = true;
    } else if (type != "sBIT" && type != "bKGD") {  // these two describe the colour type they were written for
      rewritten += chunk;
    }
  }
  if (!pixelsWritten) return false;
  png = rewritten;
  return true;
}

}  // namespace brisel::filehost
