#pragma once
// A two-dimensional plane of bytes, indexed (x, y): x the column, y the row, rows contiguous,
// so element (x, y) lies at offset y * width + x. The image, its display copy, the stroke mask,
// the paper texture and undo blocks are all byte planes.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisel {

class BytePlane {
 public:
  BytePlane() = default;
  BytePlane(int32_t width, int32_t height, uint8_t fill = 0)
      : width_(width > 0 && height > 0 ? width : 0),
        height_(width > 0 && height > 0 ? height : 0),
        bytes_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return bytes_.empty(); }
  // True when (x, y) for every x < w and y < h lies inside this plane.
  bool covers(int32_t w, int32_t h) const { return w <= width_ && h <= height_; }
  bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  uint8_t& operator()(int32_t x, int32_t y) {
    assert(contains(x, y));
    return bytes_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
  }
  uint8_t operator()(int32_t x, int32_t y) const {
    assert(contains(x, y));
    return bytes_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
  }

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  uint8_t* row(int32_t y) { return data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }
  const uint8_t* row(int32_t y) const { return data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }
  std::size_t size() const { return bytes_.size(); }

  void fill(uint8_t value) { bytes_.assign(bytes_.size(), value); }
  friend bool operator==(const BytePlane&, const BytePlane&) = default;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace brisel
