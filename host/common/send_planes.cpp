#include "common/send_planes.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/error.h"

namespace brisel::host {
namespace {

std::string SizeText(int32_t w, int32_t h) { return std::to_string(w) + " x " + std::to_string(h); }

}  // namespace

Box Intersect(const Box& a, const Box& b) {
  const int32_t x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const int32_t x1 = std::min(a.x + a.width, b.x + b.width), y1 = std::min(a.y + a.height, b.y + b.height);
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

std::vector<uint8_t> PaintedSince(StagedPlanes planes, StagedPlanes base) {
  const int32_t width = planes.r.width(), height = planes.r.height();
  std::vector<uint8_t> painted(size_t(width) * size_t(height));
  uint8_t* out = painted.data();
  for (int32_t y = 0; y < height; ++y) {
    const int32_t baseY = planes.y + y - base.y;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t baseX = planes.x + x - base.x;
      *out++ = planes.r(x, y) != base.r(baseX, baseY) || planes.g(x, y) != base.g(baseX, baseY) ||
               planes.b(x, y) != base.b(baseX, baseY);
    }
  }
  return painted;
}

BytePlane SendPlanes::Fetch(Channel channel, const std::function<Reading()>& read) {
  if (channel == Channel::kRed || !fetched_[int(channel)]) {
    Reading planes = read();
    for (int c = 0; c < 3; ++c) {
      base_[c] = planes[c];
      fetched_[c] = std::move(planes[c]);
    }
  }
  BytePlane plane = std::move(*fetched_[int(channel)]);
  fetched_[int(channel)].reset();
  return plane;
}

void SendPlanes::Stage(Channel channel, const BytePlane& plane) {
  const Box whole{0, 0, plane.width(), plane.height()};
  const Box part = changedSinceSend_ ? Intersect(*changedSinceSend_, whole) : whole;
  Staged staged{BytePlane(part.width, part.height), plane.width(), plane.height(), part.x, part.y};
  for (int32_t y = 0; y < part.height; ++y)
    std::copy_n(plane.row(part.y + y) + part.x, part.width, staged.part.row(y));
  staged_[int(channel)] = std::move(staged);
}

Send SendPlanes::Take(int32_t width, int32_t height, std::string_view layerName) {
  auto staged = std::exchange(staged_, {});
  Send send;
  send.width = width;
  send.height = height;
  send.changedSinceSend = std::exchange(changedSinceSend_, std::nullopt);
  for (Channel c : {Channel::kRed, Channel::kGreen, Channel::kBlue}) {
    const auto& plane = staged[int(c)];
    if (!plane)
      throw Error(errors::kHostCallFailed,
                  std::string("No ") + ChannelName(c) + " plane was sent; " + std::string(layerName) + " is left as it was");
    if (plane->width != width || plane->height != height)
      throw Error(errors::kHostCallFailed, std::string("The ") + ChannelName(c) + " plane sent is " +
                                               SizeText(plane->width, plane->height) + ", " + std::string(layerName) +
                                               " " + SizeText(width, height) + "; the layer is left as it was");
  }
  // The three planes were staged under the same box: the red one's place stands for all.
  send.part = {staged[0]->x, staged[0]->y, staged[0]->part.width(), staged[0]->part.height()};
  for (int c = 0; c < 3; ++c) send.parts[c] = std::move(staged[c]->part);
  if (BaseFits(width, height))
    send.painted = PaintedSince(send.Staged(), {*base_[0], *base_[1], *base_[2]});
  return send;
}

bool SendPlanes::BaseFits(int32_t width, int32_t height) const {
  for (const auto& plane : base_)
    if (!plane || plane->width() != width || plane->height() != height) return false;
  return true;
}

void SendPlanes::Agreed(const Send& send) {
  held_.reset();
  // Within the part, the pixels written now hold the planes sent, and the others were the program's already.
  if (!BaseFits(send.width, send.height)) return;
  const Box& part = send.part;
  for (int c = 0; c < 3; ++c) {
    for (int32_t y = 0; y < part.height; ++y)
      std::copy_n(send.parts[c].row(y), part.width, base_[c]->row(part.y + y) + part.x);
  }
}

void SendPlanes::AgreedWithLayer(const Send& send, Reading&& layer) {
  held_.reset();
  const Box& part = send.part;
  for (const BytePlane& plane : layer)
    if (!plane.covers(part.width, part.height)) return Agreed(send);
  const bool baseFits = BaseFits(send.width, send.height);
  BytePlane mask(part.width, part.height);
  bool differs = false;
  for (int32_t y = 0; y < part.height; ++y)
    for (int32_t x = 0; x < part.width; ++x) {
      bool other = false;
      for (int c = 0; c < 3; ++c) {
        other |= layer[c](x, y) != send.parts[c](x, y);
        if (baseFits) (*base_[c])(part.x + x, part.y + y) = layer[c](x, y);
      }
      mask(x, y) = other;
      differs |= other;
    }
  if (differs) held_ = Held{std::move(layer), std::move(mask)};
}

bool SendPlanes::TakeHeld(BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane& mask) {
  if (!held_) return false;
  Held held = std::move(*std::exchange(held_, std::nullopt));
  red = std::move(held.planes[0]);
  green = std::move(held.planes[1]);
  blue = std::move(held.planes[2]);
  mask = std::move(held.mask);
  return true;
}

}  // namespace brisel::host
