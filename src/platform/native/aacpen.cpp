// AAcpen: one round anti-aliased dab into a coverage plane (the dab itself: dab_profile.h).
//
// A dab of ordinary size is first rendered into a stamp, a small box of bytes around its pixel, and the
// stamp is then laid into the plane row by row with a byte-wise max, sixteen bytes at a time, clipped
// per row. The stamp's bytes depend only on the dab's offset within its pixel, its outer radius and its
// peak, so the next dab with the same three (every dab of a straight horizontal or vertical stroke of
// one size) lays the same bytes down again without measuring anything.
//
// Why a stamp can be reused exactly: a pixel's offset from the centre, (i + 0.5) - x, is the float
// nearest to the real difference, and that real is (i - floor(x)) + 0.5 - frac(x). With |i| < 2^22 the
// left term is exact, and frac(x) = x - floor(x) is exact in float for every x outside (-1, 0). So two
// dabs whose fractions agree to the bit see the same offsets, squares, roots and bytes, column for column
// from their floors. A dab placed in (-1, 0) hands its stamp on to no other.
//
// A new dab measures only its ring. For each eighth of a pixel of radius a plan, made once, holds per
// stamp row the chord outside which no pixel can be covered and the interior inside which every pixel is
// fully covered, whatever the sub-pixel offset; both keep a margin far above float's rounding. The
// interiors stay filled from one dab to the next, and the ring between them and the chord's ends is
// measured four pixels a step with the operations of dab::EdgeValue, in the same order: every byte is
// the one AAcpen_reference writes.
//
// Dabs too large for a stamp, or placed too far out for the exactness above, are drawn straight into the
// plane, row by row over their chords, with an interior a pixel short of the circle's.

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/native.h"
#include "platform/native/dab_profile.h"

namespace brisel::native {
namespace {

// The whole pixel index nearest below (or at) v, clamped to lo..hi as a float first so that no
// position, however far or NaN, overflows the conversion (NaN becomes lo).
int32_t ClampedIndex(float v, int32_t lo, int32_t hi) {
  if (!(v >= float(lo))) return lo;
  if (v >= float(hi)) return hi;
  return int32_t(v);
}

// floor and ceil of a v with |v| < 2^31, without a library call (plain x86-64 has no rounding instruction).
int32_t FloorInt(float v) {
  const int32_t t = int32_t(v);
  return t - int32_t(float(t) > v);
}
int32_t CeilInt(float v) {
  const int32_t t = int32_t(v);
  return t + int32_t(float(t) < v);
}

// Where a stamp is used at all: a dab whose outer radius is at most this, centred within kMaxPosition of
// the origin (far enough inside 2^22 that every pixel offset in its box is exact, see above).
constexpr float kMaxStampOuter = 64;
constexpr float kMaxPosition = 4194304.0f - 2 * (kMaxStampOuter + 4);  // 2^22 less two boxes

// Zero bytes on either side of every stamp row, so a sixteen-byte window may stick out of the dab's box.
constexpr int32_t kPad = 16;

// Outer radii are grouped in eighths of a pixel: one plan serves every radius of its group.
constexpr int32_t kEighths = 8;

// What one row of a plan allows: columns i0..i1 may be non-zero (none when i0 > i1), columns k0..k1 are
// surely full (none when k0 > k1), for every radius of the plan's group at every sub-pixel offset.
struct RowPlan {
  int32_t i0 = 0, i1 = -1, k0 = 0, k1 = -1;
};

// A dab rendered around the origin of its pixel. Stamp column c covers plane column floor(x) - reach + c,
// row r plane row floor(y) - reach + r.
struct Stamp {
  // The plan, for outer radii in ((group - 1) / 8, group / 8].
  int32_t group = -1;
  int32_t reach = 0, side = 0, stride = 0;  // side = 2 reach + 1 columns and rows
  std::vector<RowPlan> rows;
  uint8_t interiors = 0;  // the value the plan's interiors hold in bytes (0: not filled)

  // The bytes: side rows of stride, column 0 at kPad. Outside the plan's chords they stay zero; inside
  // its interiors they hold `interiors`; the rest is the last dab's.
  std::vector<uint8_t> bytes;
  std::vector<float> dx2;  // per column the last dab's squared x offset, up to 7 spare

  // The last dab: the bits of what its bytes depend on, and whether another dab may reuse them.
  bool reusable = false;
  uint32_t fracX = 0, fracY = 0, outer = 0, peak = 0;
};

uint32_t Bits(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

int32_t GroupOf(float outer) { return CeilInt(outer * kEighths); }  // times 8 is exact
int32_t ReachOf(int32_t group) { return CeilInt(float(group) / kEighths + 0.5f) + 1; }

// The chords and interiors for outer radii R in (group / 8 - 1/8, group / 8]. Row l (offset
// l = r - reach from floor(y)) sees |dy| in [max(|l| - 0.5, 0), |l| + 0.5] over all sub-pixel offsets,
// and column c likewise; a pixel may be non-zero only where its least distance is below R, and is surely
// full where its greatest is at most R - 1. The margin (far above float's rounding at these radii) keeps
// both conservative.
void MakePlan(Stamp& st, int32_t group) {
  constexpr double kMargin = 1.0 / 64;
  const double hi = double(group) / kEighths + kMargin, lo = double(group - 1) / kEighths - 1 - kMargin;
  st.group = group;
  st.reach = ReachOf(group);
  st.side = 2 * st.reach + 1;
  st.stride = (st.side + 4 + 2 * kPad + 15) & ~15;
  st.rows.assign(size_t(st.side), RowPlan());
  st.bytes.assign(size_t(st.stride) * size_t(st.side), 0);
  if (st.dx2.size() < size_t(st.side) + 8) st.dx2.resize(size_t(st.side) + 8);
  st.interiors = 0;
  st.reusable = false;
  for (int32_t r = 0; r < st.side; ++r) {
    RowPlan& p = st.rows[size_t(r)];
    const double l = std::abs(r - st.reach);
    const double nearY = std::max(l - 0.5, 0.0), farY = l + 0.5;
    if (nearY >= hi) continue;
    // |c| - 0.5 < half: |c| < half + 0.5.
    const int32_t chord = std::min(int32_t(std::ceil(std::sqrt(hi * hi - nearY * nearY) + 0.5)) - 1, st.reach);
    p.i0 = st.reach - chord, p.i1 = st.reach + chord;
    if (lo > farY) {
      // |c| + 0.5 <= half.
      const int32_t inside = int32_t(std::floor(std::sqrt(lo * lo - farY * farY) - 0.5));
      if (inside >= 0) p.k0 = st.reach - inside, p.k1 = st.reach + inside;
    }
  }
}

// out[c] = dab::EdgeValue for the pixels from..to of a row whose squared y offset is dy2, four at a time;
// the last step may write up to three pixels past to, with their own values (dx2 holds them).
inline void EdgeRun(const float* dx2, __m128 dy2, __m128 outer, __m128 peak, uint8_t* out, int32_t from,
                    int32_t to) {
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), shift = _mm_set1_ps(12582912.0f);
  const __m128i noBits = _mm_setzero_si128();
  for (int32_t c = from; c <= to; c += 4) {
    const __m128 d = _mm_sqrt_ps(_mm_add_ps(_mm_loadu_ps(dx2 + c), dy2));
    // clamp(outer - d, 0, 1): no NaN can arise here, so max and min agree with std::clamp.
    const __m128 coverage = _mm_min_ps(_mm_max_ps(_mm_sub_ps(outer, d), zero), one);
    const __m128 nearest = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(peak, coverage), shift), shift);
    const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(nearest), noBits);
    const int32_t four = _mm_cvtsi128_si32(_mm_packus_epi16(words, noBits));
    std::memcpy(out + c, &four, 4);
  }
}

// Renders the dab of shape s at (x, y) into st, around floor(x) = fx, floor(y) = fy. Only the rings
// between the plan's interiors and the ends of its chords are measured.
void Render(Stamp& st, const dab::Shape& s, uint8_t full, float x, float y, int32_t fx, int32_t fy) {
  const int32_t group = GroupOf(s.outer);
  if (group != st.group) MakePlan(st, group);
  if (st.interiors != full) {
    for (int32_t r = 0; r < st.side; ++r) {
      const RowPlan& p = st.rows[size_t(r)];
      if (p.k0 <= p.k1) std::memset(st.bytes.data() + size_t(r) * size_t(st.stride) + kPad + p.k0, full,
                                    size_t(p.k1 - p.k0 + 1));
    }
    st.interiors = full;
  }
  // dx = (float(i) + 0.5f) - x and its square, for the plane columns i = fx - reach + c, four at a time.
  const __m128 half = _mm_set1_ps(0.5f), vx = _mm_set1_ps(x);
  __m128i column = _mm_add_epi32(_mm_set1_epi32(fx - st.reach), _mm_setr_epi32(0, 1, 2, 3));
  for (int32_t c = 0; c < st.side + 4; c += 4) {
    const __m128 dx = _mm_sub_ps(_mm_add_ps(_mm_cvtepi32_ps(column), half), vx);
    _mm_storeu_ps(st.dx2.data() + c, _mm_mul_ps(dx, dx));
    column = _mm_add_epi32(column, _mm_set1_epi32(4));
  }
  const __m128 outer = _mm_set1_ps(s.outer), peak = _mm_set1_ps(s.peak);
  for (int32_t r = 0; r < st.side; ++r) {
    const RowPlan& p = st.rows[size_t(r)];
    if (p.i0 > p.i1) continue;
    uint8_t* row = st.bytes.data() + size_t(r) * size_t(st.stride) + kPad;
    const float dy = (float(fy - st.reach + r) + 0.5f) - y;
    const __m128 dy2 = _mm_set1_ps(dy * dy);
    if (p.k0 > p.k1) {
      EdgeRun(st.dx2.data(), dy2, outer, peak, row, p.i0, p.i1);  // may run on into the padding: zeros
      continue;
    }
    EdgeRun(st.dx2.data(), dy2, outer, peak, row, p.i0, p.k0 - 1);  // may run on into the interior: full
    EdgeRun(st.dx2.data(), dy2, outer, peak, row, p.k1 + 1, p.i1);
  }
  st.fracX = Bits(x - float(fx)), st.fracY = Bits(y - float(fy)), st.outer = Bits(s.outer), st.peak = Bits(s.peak);
  // See the file's head: a position in (-1, 0) has a fraction that float may not hold.
  st.reusable = !(x < 0 && x > -1) && !(y < 0 && y > -1);
}

// dst[i] = max(dst[i], src[i - left]) for i in a..b, where dst is a plane row of width bytes and src a
// stamp row (its column 0) with kPad zero bytes beyond each end of the dab's box. A short run is done as
// one window of sixteen within the row, which rewrites the row's bytes beside the run unchanged.
void MaxRow(uint8_t* dst, const uint8_t* src, int32_t left, int32_t a, int32_t b, int32_t width) {
  const auto max16 = [&](int32_t i) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + (i - left)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_max_epu8(p, q));
  };
  if (b - a + 1 >= 16) {
    for (int32_t i = a; i + 16 <= b + 1; i += 16) max16(i);
    max16(b - 15);  // the rest, overlapping: max is idempotent
  } else if (width >= 16) {
    // A short run in one window of sixteen inside the row; the stamp's padding is zero around the box.
    max16(std::min(a, width - 16));
  } else {
    for (int32_t i = a; i <= b; ++i) dst[i] = std::max(dst[i], src[i - left]);
  }
}

void LayStamp(const Stamp& st, uint8_t* plane, int32_t fx, int32_t fy, int32_t width, int32_t height) {
  const int32_t left = fx - st.reach, top = fy - st.reach;
  const int32_t r0 = std::max(0, -top), r1 = std::min(st.side - 1, height - 1 - top);
  for (int32_t r = r0; r <= r1; ++r) {
    const int32_t a = std::max(st.rows[size_t(r)].i0 + left, 0);
    const int32_t b = std::min(st.rows[size_t(r)].i1 + left, width - 1);
    if (a > b) continue;
    const uint8_t* src = st.bytes.data() + size_t(r) * size_t(st.stride) + kPad;
    MaxRow(plane + size_t(top + r) * size_t(width), src, left, a, b, width);
  }
}

// The dab straight into the plane, for dabs too large or too far out for a stamp.
void DrawSpans(uint8_t* plane, float x, float y, const dab::Shape& shape, uint8_t full, int32_t width,
               int32_t height) {
  // Rows whose centres can lie within outer of y.
  const float rowLo = std::floor(y - shape.outer - 0.5f), rowHi = std::ceil(y + shape.outer - 0.5f);
  if (rowHi < 0 || rowLo > float(height - 1)) return;
  const int32_t j0 = ClampedIndex(rowLo, 0, height - 1), j1 = ClampedIndex(rowHi, 0, height - 1);
  if (x + shape.outer + 1 < 0 || x - shape.outer - 1 > float(width)) return;

  const float outer2 = shape.outer * shape.outer, inner2 = shape.inner * shape.inner;
  for (int32_t j = j0; j <= j1; ++j) {
    const float dy = (float(j) + 0.5f) - y;
    const float dy2 = dy * dy;
    if (dy2 >= outer2 + 2 * shape.outer + 1) continue;  // |dy| >= outer + 1: nothing on this row
    uint8_t* row = plane + size_t(j) * size_t(width);

    // The chord, a pixel longer on each side than the circle: centres with |dx| < half + 1.
    const float half = std::sqrt(std::max(outer2 - dy2, 0.0f));
    const float a = std::floor(x - half - 1.5f), b = std::ceil(x + half + 0.5f);
    if (b < 0 || a > float(width - 1)) continue;
    const int32_t i0 = ClampedIndex(a, 0, width - 1), i1 = ClampedIndex(b, 0, width - 1);

    // The interior run, a pixel shorter on each side: centres with |dx| <= innerHalf - 1.
    int32_t k0 = i1 + 1, k1 = i1;  // empty unless the row crosses the interior
    if (dy2 < inner2) {
      const float innerHalf = std::sqrt(inner2 - dy2);
      const float c = std::ceil(x - innerHalf + 0.5f), d = std::floor(x + innerHalf - 1.5f);
      if (c <= d && d >= float(i0) && c <= float(i1)) {
        k0 = ClampedIndex(c, i0, i1);
        k1 = ClampedIndex(d, i0, i1);
      }
    }

    const auto edge = [&](int32_t from, int32_t to) {
      for (int32_t i = from; i <= to; ++i)
        row[i] = std::max(row[i], dab::EdgeValue(shape, (float(i) + 0.5f) - x, dy));
    };
    if (k0 > k1) {
      edge(i0, i1);
      continue;
    }
    edge(i0, k0 - 1);
    for (int32_t i = k0; i <= k1; ++i) row[i] = std::max(row[i], full);
    edge(k1 + 1, i1);
  }
}

}  // namespace

void AAcpen(uint8_t* plane, float x, float y, float size, float value, float strength, int32_t width,
            int32_t height) {
  const dab::Shape shape = dab::MakeShape(size, value, strength);
  const uint8_t full = dab::FullValue(shape);
  if (!plane || width <= 0 || height <= 0 || full == 0 || !std::isfinite(x) || !std::isfinite(y)) return;
  if (!(shape.outer <= kMaxStampOuter && std::fabs(x) <= kMaxPosition && std::fabs(y) <= kMaxPosition)) {
    DrawSpans(plane, x, y, shape, full, width, height);
    return;
  }
  // Nothing of the box inside the plane: nothing to do.
  const int32_t fx = FloorInt(x), fy = FloorInt(y);
  const int32_t reach = ReachOf(GroupOf(shape.outer));
  if (fx + reach < 0 || fx - reach >= width || fy + reach < 0 || fy - reach >= height) return;

  // One stamp per thread, kept for the next dab.
  thread_local Stamp stamp;
  if (!(stamp.reusable && stamp.fracX == Bits(x - float(fx)) && stamp.fracY == Bits(y - float(fy)) &&
        stamp.outer == Bits(shape.outer) && stamp.peak == Bits(shape.peak)))
    Render(stamp, shape, full, x, y, fx, fy);
  LayStamp(stamp, plane, fx, fy, width, height);
}

}  // namespace brisel::native
