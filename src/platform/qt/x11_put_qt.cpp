#include "platform/qt/x11_put_qt.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace brisel::platform {

xcb_connection_t* X11Connection() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// Whether a window of this depth and visual lays its pixels out as a QImage::Format_RGB32 row does: 32 bits
// each, blue in the lowest byte, rows padded to 32 bits, least significant byte first.
bool TakesRgb32(const xcb_setup_t* setup, uint8_t depth, xcb_visualid_t visual) {
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  bool wholeWords = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == depth) wholeWords = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
  if (!wholeWords) return false;
  for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
    for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->visual_id == visual)
          return v.data->red_mask == 0xFF0000 && v.data->green_mask == 0xFF00 && v.data->blue_mask == 0xFF;
  return false;
}

}  // namespace

void X11Put::Prepare(uint32_t window) {
  xcb_connection_t* c = X11Connection();
  if (gc_) xcb_free_gc(c, gc_);
  gc_ = 0;
  window_ = window;
  fits_ = false;
  const ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  if (!geometry || !attributes || !TakesRgb32(xcb_get_setup(c), geometry->depth, attributes->visual)) return;
  depth_ = geometry->depth;
  gc_ = xcb_generate_id(c);
  const uint32_t noExposures = 0;
  xcb_create_gc(c, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  fits_ = true;
}

bool X11Put::Put(QWidget& widget, const QImage& surface, const QRegion& region) {
  xcb_connection_t* c = X11Connection();
  if (!c || widget.devicePixelRatioF() != 1.0 || surface.format() != QImage::Format_RGB32) return false;
  QWidget* top = widget.window();
  const auto window = uint32_t(top->winId());
  if (window != window_) Prepare(window);
  if (!fits_) return false;
  // As many rows a request as the server takes (with BIG-REQUESTS, far more than a few events' pixels); none
  // on a connection that broke.
  const size_t words = xcb_get_maximum_request_length(c);
  if (words * 4 <= sizeof(xcb_put_image_request_t)) return false;
  const size_t most = words * 4 - sizeof(xcb_put_image_request_t);
  const QRect within = surface.rect().intersected(widget.rect());
  for (const QRect& r : region)
    if (size_t(r.intersected(within).width()) * 4 > most) return false;
  const QPoint corner = widget.mapTo(top, QPoint(0, 0));
  for (const QRect& r : region) {
    const QRect rect = r.intersected(within);
    if (rect.isEmpty()) continue;
    const size_t rowBytes = size_t(rect.width()) * 4;
    const int rowsAPut = int(std::min<size_t>(most / rowBytes, size_t(rect.height())));
    for (int y = rect.top(); y <= rect.bottom(); y += rowsAPut) {
      const int rows = std::min(rowsAPut, rect.bottom() + 1 - y);
      rows_.resize(rowBytes * size_t(rows));
      for (int i = 0; i < rows; ++i)
        std::memcpy(rows_.data() + rowBytes * size_t(i), surface.constScanLine(y + i) + size_t(rect.left()) * 4, rowBytes);
      xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc_, uint16_t(rect.width()), uint16_t(rows),
                    int16_t(corner.x() + rect.left()), int16_t(corner.y() + y), 0, depth_, uint32_t(rows_.size()),
                    rows_.data());
    }
  }
  xcb_flush(c);
  return true;
}

}  // namespace brisel::platform
