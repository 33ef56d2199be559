#include "platform/native/smoothblit_taps.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace brisel::native::smoothblit {

namespace {

// Bitmap index where image coordinate c starts: floor(c * zoom), capped at limit (so huge products never
// overflow the conversion). Exact in double: c (below 2^29 for any image) times a 24-bit float fits 53 bits.
int32_t ZoomedIndex(int32_t c, double zoom, int32_t limit) {
  const double p = std::floor(static_cast<double>(c) * zoom);
  return p >= static_cast<double>(limit) ? limit : static_cast<int32_t>(p);
}

// One output's taps while they are worked out: the first source index, and each source pixel's share of
// the output (summing to 1), appended to a shared list.
struct Shares {
  std::vector<int32_t> first, count;
  std::vector<double> share;
  void add(int32_t firstIndex, std::initializer_list<double> values) {
    first.push_back(firstIndex);
    count.push_back(static_cast<int32_t>(values.size()));
    share.insert(share.end(), values);
  }
};

// Bilinear sample of source position (i + 0.5) / zoom - 0.5, clamped to the first and last pixel centres.
void AddBilinear(int32_t i, double zoom, int32_t length, Shares& out) {
  const double s = std::clamp((i + 0.5) / zoom - 0.5, 0.0, static_cast<double>(length - 1));
  const double x0 = std::floor(s);
  if (x0 >= length - 1)
    out.add(length - 1, {1.0});
  else
    out.add(static_cast<int32_t>(x0), {1.0 - (s - x0), s - x0});
}

// Mean of the source interval [i / zoom, (i + 1) / zoom), clipped to the source; a pixel half inside
// counts half.
void AddArea(int32_t i, double zoom, int32_t length, double extent, Shares& out) {
  const double end = extent > 0.0 ? std::min(extent, static_cast<double>(length)) : static_cast<double>(length);
  const double lo = std::clamp(i / zoom, 0.0, end), hi = std::clamp((i + 1) / zoom, 0.0, end);
  if (!(hi > lo)) {  // wholly outside the source: show its nearest pixel
    out.add(std::min(static_cast<int32_t>(lo), length - 1), {1.0});
    return;
  }
  const int32_t first = std::min(static_cast<int32_t>(std::floor(lo)), length - 1);
  const int32_t last = std::clamp(static_cast<int32_t>(std::ceil(hi)) - 1, first, length - 1);
  out.first.push_back(first);
  out.count.push_back(last - first + 1);
  for (int32_t x = first; x <= last; ++x)
    out.share.push_back((std::min(hi, x + 1.0) - std::max(lo, static_cast<double>(x))) / (hi - lo));
}

}  // namespace

bool FindBlitSpan(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight,
                  int32_t zoomedWidth, int32_t zoomedHeight, int32_t dibWidth, float zoom, BlitSpan& span) {
  if (!(zoom > 0.0f) || !std::isfinite(zoom) || planeWidth < 2 || planeHeight < 2) return false;
  span.planeWidth = planeWidth - 1;
  span.planeHeight = planeHeight - 1;
  // Never read outside the planes, whatever the caller clamped.
  x1 = std::max(x1, 0), y1 = std::max(y1, 0);
  x2 = std::min(x2, span.planeWidth), y2 = std::min(y2, span.planeHeight);
  if (x2 <= x1 || y2 <= y1) return false;

  const double z = zoom;
  const int32_t width = std::min(zoomedWidth, dibWidth);  // a row holds dibWidth pixels at most
  span.u0 = ZoomedIndex(x1, z, width);
  span.u1 = ZoomedIndex(x2, z, width);
  span.v0 = ZoomedIndex(y1, z, zoomedHeight);
  span.v1 = ZoomedIndex(y2, z, zoomedHeight);
  return span.u1 > span.u0 && span.v1 > span.v0;
}

AxisTaps MakeAxisTaps(int32_t begin, int32_t end, double zoom, int32_t sourceLength, int32_t scale, double extent) {
  const int32_t n = std::max(end - begin, 0);
  Shares shares;
  shares.first.reserve(n);
  shares.count.reserve(n);
  int32_t widest = 1;
  for (int32_t i = begin; i < begin + n; ++i) {
    if (zoom > 1.0)
      AddBilinear(i, zoom, sourceLength, shares);
    else
      AddArea(i, zoom, sourceLength, extent, shares);
    widest = std::max(widest, shares.count.back());
  }

  AxisTaps taps;
  taps.begin = begin;
  taps.end = begin + n;
  taps.stride = (widest + 1) / 2 * 2;
  taps.weights.assign(static_cast<size_t>(n) * taps.stride, 0);
  const double* share = shares.share.data();
  for (int32_t k = 0; k < n; ++k) {
    const int32_t count = shares.count[k];
    taps.sourceEnd = std::max(taps.sourceEnd, shares.first[k] + count);
    // Round the running sum rather than each share, so the weights add up to exactly `scale` (a flat
    // plane stays flat) and each is within one step of its share.
    uint16_t* w = taps.weights.data() + static_cast<size_t>(k) * taps.stride;
    double running = 0.0;
    int32_t given = 0;
    for (int32_t t = 0; t < count; ++t) {
      running += *share++;
      const int32_t upTo = t + 1 == count ? scale : static_cast<int32_t>(std::lrint(running * scale));
      const int32_t next = std::clamp(upTo, given, scale);
      w[t] = static_cast<uint16_t>(next - given);
      given = next;
    }
  }
  taps.first = std::move(shares.first);
  taps.count = std::move(shares.count);
  return taps;
}

}  // namespace brisel::native::smoothblit
