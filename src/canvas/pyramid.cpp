#include "canvas/pyramid.h"

#include <algorithm>
#include <array>
#include <vector>

#include "state/shared_state.h"

namespace brisel::Pyramid {
namespace {

struct Level {
  BytePlane r, g, b;
};

// Cells of level l along an axis of n image pixels.
int32_t Cells(int32_t n, int32_t level) { return int32_t((int64_t(n) + (int64_t(1) << level) - 1) >> level); }

struct Kept {
  std::array<Level, kPyramidLevels + 1> levels;  // [0] unused: level 0 is the planes
  int32_t width = 0, height = 0;                 // of the planes the levels were made from
  const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  bool made = false;
  std::vector<PixelRect> stale;  // image pixels changed since the levels were last brought up to date
  bool allStale = true;
};
Kept gKept;

// Scratch levels for planes other than the committed ones, each holding the cells one redraw reads.
struct Scratch {
  std::array<Level, kPyramidLevels + 1> levels;
};
Scratch gScratch;

// Halves cells [cx0, cx1) x [cy0, cy1) of level l of three planes from level l - 1.
void HalveInto(const uint8_t* const src[3], int32_t srcStride, int32_t srcWidth, int32_t srcHeight, int32_t sox,
               int32_t soy, uint8_t* const dst[3], int32_t dstStride, int32_t dox, int32_t doy, const PixelRect& c) {
  for (int k = 0; k < 3; ++k)
    native::p_halve(src[k], srcStride, srcWidth, srcHeight, sox, soy, dst[k], dstStride, dox, doy, c.x1, c.y1, c.x2,
                    c.y2);
}

// The cells of level l over image rectangle r (far corner exclusive), within the level.
PixelRect CellsOver(const PixelRect& r, int32_t level, int32_t width, int32_t height) {
  return {std::max(0, r.x1 >> level), std::max(0, r.y1 >> level), std::min(Cells(width, level), Cells(r.x2, level)),
          std::min(Cells(height, level), Cells(r.y2, level))};
}

// Brings the kept levels of R, G, B up to date over r (image pixels).
void Refresh(const BytePlane& R, const BytePlane& G, const BytePlane& B, const PixelRect& r) {
  const int32_t w = R.width(), h = R.height();
  for (int32_t l = 1; l <= kPyramidLevels; ++l) {
    const PixelRect c = CellsOver(r, l, w, h);
    if (c.empty()) return;
    Level& out = gKept.levels[size_t(l)];
    uint8_t* const dst[3] = {out.r.data(), out.g.data(), out.b.data()};
    if (l == 1) {
      const uint8_t* const src[3] = {R.data(), G.data(), B.data()};
      HalveInto(src, w, w, h, 0, 0, dst, out.r.width(), 0, 0, c);
    } else {
      const Level& in = gKept.levels[size_t(l - 1)];
      const uint8_t* const src[3] = {in.r.data(), in.g.data(), in.b.data()};
      HalveInto(src, in.r.width(), in.r.width(), in.r.height(), 0, 0, dst, out.r.width(), 0, 0, c);
    }
  }
}

bool Committed(const BytePlane& R, const BytePlane& G, const BytePlane& B) {
  return &R == &PlaneR && &G == &PlaneG && &B == &PlaneB;
}

native::BlitSource SourceOf(const Level& level, int32_t l, int32_t ox, int32_t oy, int32_t imageWidth,
                            int32_t imageHeight) {
  native::BlitSource s;
  s.r = level.r.data(), s.g = level.g.data(), s.b = level.b.data();
  s.stride = level.r.width();
  s.originX = ox, s.originY = oy;
  s.width = Cells(imageWidth, l), s.height = Cells(imageHeight, l);
  s.extentWidth = double(imageWidth) / double(1 << l);
  s.extentHeight = double(imageHeight) / double(1 << l);
  s.level = l;
  return s;
}

native::BlitSource KeptSource(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t level) {
  const int32_t w = R.width(), h = R.height();
  const bool same = gKept.made && gKept.width == w && gKept.height == h && gKept.planes[0] == R.data() &&
                    gKept.planes[1] == G.data() && gKept.planes[2] == B.data();
  if (!same) {
    for (int32_t l = 1; l <= kPyramidLevels; ++l) {
      Level& lv = gKept.levels[size_t(l)];
      if (lv.r.width() != Cells(w, l) || lv.r.height() != Cells(h, l))
        lv.r = lv.g = lv.b = BytePlane(Cells(w, l), Cells(h, l));
    }
    gKept.width = w, gKept.height = h;
    gKept.planes[0] = R.data(), gKept.planes[1] = G.data(), gKept.planes[2] = B.data();
    gKept.made = true;
    gKept.allStale = true;
  }
  if (gKept.allStale) {
    Refresh(R, G, B, {0, 0, w, h});
  } else {
    for (const PixelRect& r : gKept.stale) Refresh(R, G, B, r);
  }
  gKept.stale.clear();
  gKept.allStale = false;
  return SourceOf(gKept.levels[size_t(level)], level, 0, 0, w, h);
}

// Makes cells [cx0, cx1) x [cy0, cy1) of level `level` of R, G, B in the scratch levels, and the cells of the
// levels below that they are made of.
native::BlitSource ScratchSource(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t level,
                                 PixelRect c) {
  const int32_t w = R.width(), h = R.height();
  // The cells needed at each level, from the top down: level l - 1 needs the children of level l's cells.
  std::array<PixelRect, kPyramidLevels + 1> need;
  need[size_t(level)] = c;
  for (int32_t l = level - 1; l >= 1; --l) {
    const PixelRect& up = need[size_t(l + 1)];
    need[size_t(l)] = {2 * up.x1, 2 * up.y1, std::min(Cells(w, l), 2 * up.x2), std::min(Cells(h, l), 2 * up.y2)};
  }
  for (int32_t l = 1; l <= level; ++l) {
    const PixelRect& n = need[size_t(l)];
    Level& out = gScratch.levels[size_t(l)];
    const int32_t cw = n.x2 - n.x1, ch = n.y2 - n.y1;
    if (out.r.width() < cw || out.r.height() < ch || size_t(cw) * size_t(ch) * 4 < out.r.size()) {
      out.r = out.g = out.b = BytePlane(std::max(cw, 1), std::max(ch, 1));
    }
    uint8_t* const dst[3] = {out.r.data(), out.g.data(), out.b.data()};
    if (l == 1) {
      const uint8_t* const src[3] = {R.data(), G.data(), B.data()};
      HalveInto(src, w, w, h, 0, 0, dst, out.r.width(), n.x1, n.y1, n);
    } else {
      const Level& in = gScratch.levels[size_t(l - 1)];
      const PixelRect& below = need[size_t(l - 1)];
      const uint8_t* const src[3] = {in.r.data(), in.g.data(), in.b.data()};
      HalveInto(src, in.r.width(), Cells(w, l - 1), Cells(h, l - 1), below.x1, below.y1, dst, out.r.width(), n.x1,
                n.y1, n);
    }
  }
  return SourceOf(gScratch.levels[size_t(level)], level, c.x1, c.y1, w, h);
}

}  // namespace

void MarkChanged(const PixelRect& r) {
  if (r.empty() || gKept.allStale) return;
  // Many small rectangles are kept apart; past a few dozen their bounding box stands for them.
  if (gKept.stale.size() >= 32) {
    PixelRect box = r;
    for (const PixelRect& s : gKept.stale)
      box = {std::min(box.x1, s.x1), std::min(box.y1, s.y1), std::max(box.x2, s.x2), std::max(box.y2, s.y2)};
    gKept.stale.assign(1, box);
    return;
  }
  gKept.stale.push_back(r);
}

void MarkAllChanged() {
  gKept.allStale = true;
  gKept.stale.clear();
}

void Forget() {
  gKept = Kept();
  gScratch = Scratch();
}

native::BlitSource Source(const BytePlane& R, const BytePlane& G, const BytePlane& B, int32_t level, int32_t cx0,
                          int32_t cy0, int32_t cx1, int32_t cy1) {
  if (level <= 0) {
    native::BlitSource s;
    s.r = R.data(), s.g = G.data(), s.b = B.data();
    s.stride = R.width();
    s.width = R.width(), s.height = R.height();
    s.extentWidth = R.width(), s.extentHeight = R.height();
    return s;
  }
  level = std::min(level, kPyramidLevels);
  if (Committed(R, G, B)) return KeptSource(R, G, B, level);
  const int32_t w = R.width(), h = R.height();
  const PixelRect c{std::max(0, cx0), std::max(0, cy0), std::min(Cells(w, level), cx1), std::min(Cells(h, level), cy1)};
  return ScratchSource(R, G, B, level, c.empty() ? PixelRect{0, 0, 1, 1} : c);
}

uint64_t Bytes() {
  uint64_t bytes = 0;
  for (const auto* levels : {&gKept.levels, &gScratch.levels})
    for (const Level& l : *levels) bytes += 3 * uint64_t(l.r.size());
  return bytes;
}

}  // namespace brisel::Pyramid
