#pragma once
// Colour arithmetic and bevel edges shared by the button and the slider.

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cmath>

#include "platform/qt/form_impl.h"

namespace brisel::platform {

// Each channel of colour times factor, rounded and kept in 0..255.
inline QColor ScaleColor(Color color, double factor) {
  auto channel = [&](int shift) {
    return int(std::clamp(std::nearbyint(double(color >> shift & 0xFF) * factor), 0.0, 255.0));
  };
  return QColor(channel(0), channel(8), channel(16));
}

// a + (b - a) * t per channel, t in 0..1.
inline QColor MixColor(Color a, Color b, double t) {
  auto channel = [&](int shift) {
    const double x = double(a >> shift & 0xFF), y = double(b >> shift & 0xFF);
    return int(std::nearbyint(x + (y - x) * t));
  };
  return QColor(channel(0), channel(8), channel(16));
}

// A one-pixel edge inside r: topLeft along the top and left sides, bottomRight along the other two.
inline void DrawEdge(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), bottomRight);
  painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 1), bottomRight);
}

}  // namespace brisel::platform
