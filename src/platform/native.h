#pragma once
// The native functions: plain C++ over raw buffers, the program's hot paths, and what the program asks of
// the system itself. Planes are passed as the address of pixel (0, 0), rows contiguous.

#include <cstdint>

namespace brisel::native {

namespace smoothblit {
struct WindowFilter;
}

// Renders image rectangle [x1, x2) x [y1, y2) of the planes r, g, b into a 32-bit bitmap of dibWidth
// pixels a row (bytes blue, green, red, pad), at zoom window pixels per image pixel: bitmap pixel (u, v)
// shows image point (u / zoom, v / zoom). planeWidth and planeHeight are one more than the planes' width
// and height (the planes' upper bounds plus one); rows are planeWidth - 1 bytes long. Only bitmap pixels
// in the zoomed rectangle (floor(x1 * zoom) .. floor(x2 * zoom), likewise for y, clipped to
// zoomedWidth x zoomedHeight) are written, the pad byte as 255. At zoom 1 this is a straight interleave;
// magnified, bilinear; shrunk, the area average of each bitmap pixel's footprint.
void p_smoothblit(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bits, int32_t x1, int32_t y1,
                  int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight, int32_t zoomedWidth,
                  int32_t zoomedHeight, int32_t dibWidth, float zoom);

// The plain reference of p_smoothblit, kept for tests and benchmarks.
void p_smoothblit_reference(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bits, int32_t x1,
                            int32_t y1, int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight,
                            int32_t zoomedWidth, int32_t zoomedHeight, int32_t dibWidth, float zoom);

// Where a redraw reads from: three planes of cells, each cell standing for 2^level x 2^level image pixels
// (level 0: the image planes themselves; level l > 0: the image pyramid, each cell the rounded mean of the
// four cells of level l - 1 under it). The pointers are cell (originX, originY) of each plane, rows stride
// bytes apart; only the cells a call reads (SmoothblitReads) need be held. The whole level is width x height
// cells, and the image ends at extentWidth x extentHeight cells (the image's size / 2^level: the last cell
// may stand for less than a whole one).
struct BlitSource {
  const uint8_t* r = nullptr;
  const uint8_t* g = nullptr;
  const uint8_t* b = nullptr;
  int32_t stride = 0;
  int32_t originX = 0, originY = 0;
  int32_t width = 0, height = 0;
  double extentWidth = 0, extentHeight = 0;
  int32_t level = 0;
};

// The level a redraw at zoom reads: the highest of 0 .. levels at which a bitmap pixel still covers at least
// one cell (zoom * 2^level <= 1), so zoom 1/2^k reads level k cell for pixel and other zooms between one and
// two cells a pixel.
int32_t PyramidLevelFor(float zoom, int32_t levels);

// Renders bitmap pixels [u0, u1) x [v0, v1) of the image at zoom (window pixels per image pixel) from
// source, with p_smoothblit's filter applied to the source's cells; bitmap pixel (u, v) goes to
// out + ((v - v0) * outStride + (u - u0)) * 4. For a level-0 source whose extent is its size this writes
// exactly what p_smoothblit writes for those pixels.
void p_smoothblit_window(const BlitSource& source, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                         uint8_t* out, int32_t outStride);
// The cells [cx0, cx1) x [cy0, cy1) of source's level that p_smoothblit_window reads for those pixels.
void SmoothblitReads(const BlitSource& source, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                     int32_t& cx0, int32_t& cy0, int32_t& cx1, int32_t& cy1);

// A redraw drawn in parts works the filter out once: the filter of bitmap pixels [u0, u1) x [v0, v1) of a
// source of this shape (its level, size and extent; the pointers are not read), the cells it reads, and any
// part of those pixels drawn with it, exactly as p_smoothblit_window draws them.
void MakeWindowFilter(const BlitSource& shape, float zoom, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                      smoothblit::WindowFilter& filter);
void SmoothblitReads(const smoothblit::WindowFilter& filter, int32_t u0, int32_t u1, int32_t v0, int32_t v1,
                     int32_t& cx0, int32_t& cy0, int32_t& cx1, int32_t& cy1);
void p_smoothblit_window(const BlitSource& source, const smoothblit::WindowFilter& filter, int32_t u0, int32_t u1,
                         int32_t v0, int32_t v1, uint8_t* out, int32_t outStride);

// Where the pixels of a turned view read from: window pixel (i, j) of a box, counted from the box's corner,
// shows the source's cell point (qx + i * iqx + j * jqx, qy + i * iqy + j * jqy), in cells of the source's
// level (cell k spans [k, k + 1)). Only cells [cx0, cx1) x [cy0, cy1) are held.
struct TurnedSpan {
  double qx = 0, qy = 0, iqx = 1, iqy = 0, jqx = 0, jqy = 1;
  int32_t cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
};
// Renders width x height window pixels of a view turned by any angle: bilinear between the four cells
// nearest each pixel's point (the held cells' edge repeated past them), and `back` (bytes blue, green, red,
// pad) where the point lies off the image (outside the source's extent). Pixel (i, j) goes to
// out + (j * outStride + i) * 4, the pad byte as 255.
void p_turnblit(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height, uint32_t back,
                uint8_t* out, int32_t outStride);
// The plain reference of p_turnblit, in doubles, kept for tests and benchmarks.
void p_turnblit_reference(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height,
                          uint32_t back, uint8_t* out, int32_t outStride);
// Test seam: p_turnblit's vector paths (SSE2, AVX2) off, so that it takes every pixel one by one as a
// processor without them does, or on again where the processor has them.
void UseTurnblitVectors(bool use);

// One pyramid level from the one below: cells [cx0, cx1) x [cy0, cy1) of dst, each the rounded mean of the
// 2 x 2 cells of src under it (src is srcWidth x srcHeight cells; at an odd edge the one or two cells that
// exist). src and dst point at their cell (originX, originY) and rows are stride bytes apart.
void p_halve(const uint8_t* src, int32_t srcStride, int32_t srcWidth, int32_t srcHeight, int32_t srcOriginX,
             int32_t srcOriginY, uint8_t* dst, int32_t dstStride, int32_t dstOriginX, int32_t dstOriginY, int32_t cx0,
             int32_t cy0, int32_t cx1, int32_t cy1);

// Uniform Catmull-Rom interpolation of one coordinate between p2 (t = 0) and p3 (t = 1), with p1 and p4 as
// the outer control points, evaluated in extended precision and returned as a float.
float p_Catmull(float t, float p1, float p2, float p3, float p4);

// Stamps one round anti-aliased dab of radius size centred at (x, y) into the byte plane of
// width x height. Coverage inside is value * strength, the edge is about one pixel wide, and a dab
// never lowers coverage already in the plane. Only bytes inside the plane are touched.
void AAcpen(uint8_t* plane, float x, float y, float size, float value, float strength, int32_t width,
            int32_t height);

// The plain reference of AAcpen, kept for tests and benchmarks.
void AAcpen_reference(uint8_t* plane, float x, float y, float size, float value, float strength, int32_t width,
                      int32_t height);

// Standard HSV: r, g, b, s, v in 0..1, h in degrees 0..360. A saturation above 1 is taken as 1 (as is any
// r, g, b, s or v outside 0..1 limited to it); h wraps modulo 360; a grey reports hue 0.
void RGB_To_HSV(float r, float g, float b, float& h, float& s, float& v);
void HSV_To_RGB(float& r, float& g, float& b, float h, float s, float v);

// The machine's physical memory in bytes; 0 when the system does not tell.
uint64_t PhysicalMemoryBytes();

}  // namespace brisel::native
