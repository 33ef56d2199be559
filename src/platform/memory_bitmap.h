#pragma once
// The off-screen 32-bit bitmap the display is built in before it is copied to a form, and the limit on
// how large one may be.

#include <cstdint>
#include <vector>

namespace brisel::platform {

// Rows top-down, width() pixels a row, each pixel the bytes blue, green, red and a pad byte. Creation fails
// (returns false) instead of throwing when memory or the size limit forbids it.
class MemoryBitmap {
 public:
  bool Create(int32_t width, int32_t height);
  void Free();
  bool exists() const { return !pixels_.empty(); }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint8_t* bits() { return pixels_.data(); }
  const uint8_t* bits() const { return pixels_.data(); }

 private:
  std::vector<uint8_t> pixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// The largest display bitmap that may be made, in bytes. Tests lower it to provoke a failing creation.
void SetBitmapSizeLimit(uint64_t bytes);
uint64_t BitmapSizeLimit();

}  // namespace brisel::platform
