#include "file/webp_picture.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>
#include <vector>

namespace brisel::filehost {
namespace {

// The picture as libwebp decodes it: straight-alpha RGBA, 4 bytes a pixel, rows packed. Empty where it
// cannot be decoded.
std::vector<uint8_t> DecodeRgba(const QByteArray& bytes, int w, int h) {
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  if (!WebPDecodeRGBAInto(data, size_t(bytes.size()), rgba.data(), rgba.size(), w * 4)) rgba.clear();
  return rgba;
}

struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};
using MuxPointer = std::unique_ptr<WebPMux, MuxDeleter>;

// A WebP file holds its picture in one VP8 (lossy) or VP8L (lossless) chunk, with an ALPH chunk beside a
// lossy one that has transparency; an extended file's VP8X chunk comes first, and its ICCP, EXIF, XMP and
// any unknown chunks stand around the picture's. Writing back replaces the picture's chunks through libwebp's
// mux, which keeps the others (it puts them in the order the format lays down: ICCP before the picture,
// EXIF, XMP, then unknown chunks after it). A lossless file is encoded losslessly again, exact even under
// transparent pixels; a lossy one is encoded lossy again, at quality 95, so its unpainted pixels move by
// the new encoding's loss.
class WebpSource final : public PictureSource {
 public:
  WebpSource(QByteArray bytes, int w, int h, bool lossy) : bytes_(std::move(bytes)), w_(w), h_(h), lossy_(lossy) {}

  std::string Write(const Painting& painting, QByteArray& out) const override {
    std::vector<uint8_t> rgba = DecodeRgba(bytes_, w_, h_);
    if (rgba.empty()) return "its picture cannot be decoded again";
    const Painting::Box& box = painting.box();
    for (int32_t y = box.y0; y < box.y1; ++y)
      for (int32_t x = box.x0; x < box.x1; ++x)
        if (painting.Painted(x, y)) {
          uint8_t* p = &rgba[(size_t(y) * w_ + x) * 4];
          p[0] = painting.r(x, y), p[1] = painting.g(x, y), p[2] = painting.b(x, y), p[3] = 255;
        }

    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) return "libwebp is not the version Brisel was built with";
    config.lossless = lossy_ ? 0 : 1;
    config.exact = lossy_ ? 0 : 1;  // the colour under a transparent pixel is a pixel's value too
    config.quality = lossy_ ? 95 : 75;  // lossless: the effort, libwebp's default
    config.use_sharp_yuv = lossy_ ? 1 : 0;  // a painted colour's edges kept sharper against chroma subsampling
    picture.use_argb = lossy_ ? 0 : 1;
    picture.width = w_, picture.height = h_;
    WebPMemoryWriter written;
    WebPMemoryWriterInit(&written);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &written;
    const bool encoded = WebPPictureImportRGBA(&picture, rgba.data(), w_ * 4) && WebPEncode(&config, &picture);
    const int failure = picture.error_code;
    WebPPictureFree(&picture);
    if (!encoded) {
      WebPMemoryWriterClear(&written);
      return failure == VP8_ENC_ERROR_OUT_OF_MEMORY ? "not enough memory" : "libwebp could not encode it";
    }

    const WebPData file{reinterpret_cast<const uint8_t*>(bytes_.constData()), size_t(bytes_.size())};
    const WebPData image{written.mem, written.size};
    MuxPointer mux(WebPMuxCreate(&file, 1));
    WebPData assembled{nullptr, 0};
    const bool muxed = mux && WebPMuxSetImage(mux.get(), &image, 1) == WEBP_MUX_OK &&
                       WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
    WebPMemoryWriterClear(&written);
    if (!muxed) return "libwebp could not put the picture back into the file's chunks";
    out = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return {};
  }

  QByteArray format() const override { return "webp"; }

 private:
  QByteArray bytes_;  // the file as read
  int w_, h_;
  bool lossy_;
};

// How many frames an animated WebP holds; 0 where its chunks cannot be read.
uint32_t FrameCount(const QByteArray& bytes) {
  const WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
  WebPDemuxer* demux = WebPDemux(&data);
  const uint32_t frames = demux ? WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT) : 0;
  WebPDemuxDelete(demux);
  return frames;
}

bool CanMux(const QByteArray& bytes) {
  const WebPData file{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
  return MuxPointer(WebPMuxCreate(&file, 0)) != nullptr;
}

}  // namespace

DecodedPicture ReadWebp(const std::string& path, const QByteArray& bytes) {
  WebPBitstreamFeatures features;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  if (WebPGetFeatures(data, size_t(bytes.size()), &features) != VP8_STATUS_OK)
    return Refused(path + " cannot be decoded (its WebP header is damaged); the file may be damaged or truncated");
  if (features.has_animation) {
    const uint32_t frames = FrameCount(bytes);
    return Refused(path + " holds " + (frames > 1 ? std::to_string(frames) : std::string("several")) +
                   " frames or pages; Brisel writes back one picture and would drop the others: save the one to "
                   "paint on as a picture of its own first");
  }
  if (std::string why = SizeProblem(path, features.width, features.height); !why.empty()) return Refused(why);
  const int w = features.width, h = features.height;
  const std::vector<uint8_t> rgba = DecodeRgba(bytes, w, h);
  if (rgba.empty())
    return Refused(path + " cannot be decoded (libwebp cannot decode its picture); the file may be damaged or truncated");
  // The container must be one the mux can write back, checked now rather than at the first send. Some
  // writers (exiftool, adding metadata to a simple lossless file) leave the VP8X chunk's alpha flag unset
  // over a picture with transparency, which decoders ignore and the mux refuses: the flag is set.
  QByteArray container = bytes;
  if (!CanMux(container) && features.has_alpha && container.mid(12, 4) == "VP8X" && container.size() > 20) {
    container[20] = char(container[20] | ALPHA_FLAG);
    if (!CanMux(container)) container = bytes;
  }
  if (!CanMux(container))
    return Refused(path + " cannot be written back (its WebP chunks are damaged); the file may be damaged or truncated");
  DecodedPicture decoded;
  decoded.r = BytePlane(w, h), decoded.g = BytePlane(w, h), decoded.b = BytePlane(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
      decoded.r(x, y) = OnWhite(p[0], p[3]), decoded.g(x, y) = OnWhite(p[1], p[3]), decoded.b(x, y) = OnWhite(p[2], p[3]);
    }
  // VP8L is lossless; VP8 (format 1) lossy, its alpha (ALPH) lossless or not.
  decoded.source = std::make_shared<WebpSource>(std::move(container), w, h, features.format != 2);
  return decoded;
}

}  // namespace brisel::filehost
