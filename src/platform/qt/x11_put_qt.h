#pragma once
// The few pixels an input event changed, put straight into a form's X11 window with PutImage.
//
// Qt's backing store shares its pixels with the X server, and before it paints over pixels it flushed it
// waits a whole round trip for the server to have read them. Each event of a stroke paints over pixels the
// event before it showed, so every event paid that wait, about 0.1 ms on an idle server and more on a busy
// one. PutImage carries the pixels in the request itself: there is nothing to wait for.

#include <QImage>
#include <QRegion>

#include <cstdint>
#include <vector>

class QWidget;
struct xcb_connection_t;

namespace brisel::platform {

// Qt's own connection to the X server; null on any other window system.
xcb_connection_t* X11Connection();

class X11Put {
 public:
  // Puts region (the widget's points, each a pixel of surface) of surface into the widget's window. False,
  // with nothing put, where it cannot: not on X11, at a scale other than 1, or in a window whose pixels are
  // not the surface's 32-bit layout.
  bool Put(QWidget& widget, const QImage& surface, const QRegion& region);

 private:
  void Prepare(uint32_t window);

  uint32_t window_ = 0;  // the X window the rest was prepared for
  uint32_t gc_ = 0;
  uint8_t depth_ = 0;
  bool fits_ = false;  // the window takes the surface's pixels as they are
  std::vector<uint8_t> rows_;
};

}  // namespace brisel::platform
