// A send to the picture file after a 100 x 100 stroke: the file's bytes made with only the painted pixels
// replaced (its format's own source), beside the whole picture composed and encoded again through Qt's
// plug-ins, as the file host wrote every picture before. Items are the picture's pixels, so the summary's
// ratio is how many times faster the send is.
//   send/brisel/jpeg_8000x6000   the touched blocks re-encoded, the other coefficients written as they were
//   send/qt/jpeg_8000x6000       the whole picture encoded again at quality 95
//   send/brisel/png_4000x3000    and the same for a PNG and an LZW TIFF
//   send/brisel/tiff_4000x3000

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "file/picture_codec.h"
#include "file/qt_picture.h"

namespace {

using namespace brisel;

// A photo-like picture: smooth gradients with some texture, which JPEG, PNG and LZW all meet in practice.
QImage Photo(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < w; ++x) {
      const int texture = ((x * 7919) ^ (y * 104729)) & 15;
      line[3 * x] = uchar((x * 255 / w + texture) & 255);
      line[3 * x + 1] = uchar((y * 255 / h + texture) & 255);
      line[3 * x + 2] = uchar(((x + y) * 127 / (w + h) + 64 + texture) & 255);
    }
  }
  return image;
}

struct Sent {
  std::string path;
  QByteArray bytes;
  filehost::DecodedPicture read;
  BytePlane r, g, b;  // read's planes with the stroke
};

// The picture in format written to a file, read back through source (its own, or Qt's), a stroke painted.
std::unique_ptr<Sent> Prepare(const char* format, int w, int h, bool throughQt) {
  auto sent = std::make_unique<Sent>();
  sent->path = std::string("/tmp/brisel-send-bench-") + format + "." + format;
  QBuffer buffer(&sent->bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (std::string(format) == "jpg") writer.setQuality(90);
  if (std::string(format) == "tif") writer.setCompression(1);  // LZW
  if (!writer.write(Photo(w, h))) return nullptr;
  std::ofstream(sent->path, std::ios::binary).write(sent->bytes.constData(), sent->bytes.size());
  sent->read = throughQt ? filehost::ReadThroughQt(sent->path, sent->bytes, filehost::QtRoundTrip::kAsBefore)
                         : filehost::DecodePictureBytes(sent->path, sent->bytes);
  if (!sent->read.source) return nullptr;
  sent->r = sent->read.r, sent->g = sent->read.g, sent->b = sent->read.b;
  for (int y = h / 3; y < h / 3 + 100; ++y)
    for (int x = w / 3; x < w / 3 + 100; ++x) sent->r(x, y) = 250, sent->g(x, y) = 20, sent->b(x, y) = 60;
  return sent;
}

void Send(benchmark::State& state, const char* format, int w, int h, bool throughQt) {
  const std::unique_ptr<Sent> sent = Prepare(format, w, h, throughQt);
  if (!sent) {
    state.SkipWithError("the picture could not be made or read");
    return;
  }
  const filehost::Painting painting(sent->r, sent->g, sent->b, sent->read.r, sent->read.g, sent->read.b);
  QByteArray bytes;
  for (auto _ : state) {
    const std::string why = sent->read.source->Write(painting, bytes);
    if (!why.empty()) state.SkipWithError(why.c_str());
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(w) * h);
  state.counters["file_MiB"] = double(sent->bytes.size()) / (1 << 20);
  state.counters["written_MiB"] = double(bytes.size()) / (1 << 20);
  std::remove(sent->path.c_str());
}

BENCHMARK_CAPTURE(Send, send/brisel/jpeg_8000x6000, "jpg", 8000, 6000, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Send, send/qt/jpeg_8000x6000, "jpg", 8000, 6000, true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Send, send/brisel/png_4000x3000, "png", 4000, 3000, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Send, send/qt/png_4000x3000, "png", 4000, 3000, true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Send, send/brisel/tiff_4000x3000, "tif", 4000, 3000, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Send, send/qt/tiff_4000x3000, "tif", 4000, 3000, true)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
