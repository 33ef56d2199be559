#include "platform/memory_bitmap.h"

#include <algorithm>
#include <new>

namespace brisel::platform {
namespace {
uint64_t gBitmapLimit = uint64_t(1) << 30;  // 1 GiB: beyond it a zoom is refused, not attempted
}

void SetBitmapSizeLimit(uint64_t bytes) { gBitmapLimit = bytes; }
uint64_t BitmapSizeLimit() { return gBitmapLimit; }

bool MemoryBitmap::Create(int32_t width, int32_t height) {
  Free();
  if (width < 0 || height < 0) return false;
  const uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
  if (bytes > gBitmapLimit) return false;
  try {
    // An empty zoomed image still gets a bitmap, of one pixel, so that "exists" means "was made".
    pixels_.assign(std::max<uint64_t>(bytes, 4), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void MemoryBitmap::Free() {
  std::vector<uint8_t>().swap(pixels_);
  width_ = height_ = 0;
}

}  // namespace brisel::platform
