// The plain child controls of a form over Qt: labels, separator lines and picture boxes, and the
// fixed-size window.

#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QShowEvent>

#include <algorithm>
#include <cstdlib>

#include "platform/qt/control_registry.h"
#include "platform/qt/controls_impl.h"
#include "platform/qt/form_impl.h"
#include "platform/qt/input_qt.h"

namespace brisel::platform {

QFont PanelFont(int pixelSize) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

// ---- Label -----------------------------------------------------------------------------------------

namespace {
void StyleLabel(Label::Impl& s) {
  if (!s.widget) return;
  QFont font(QString::fromStdString(s.font));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(s.fontPixels);
  s.widget->setFont(font);
  QPalette palette = s.widget->palette();
  palette.setColor(QPalette::WindowText, ToQColor(s.fore));
  s.widget->setPalette(palette);
}
}  // namespace

Label::Label(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height)
    : impl_(std::make_unique<Impl>()) {
  impl_->left = left;
  impl_->top = top;
  impl_->width = width;
  impl_->height = height;
  impl_->widget = new QLabel(parent.impl().client);
  impl_->widget->setGeometry(left, top, width, height);
  // Centred on its row, so a caption lines up with the control it names.
  impl_->widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  impl_->widget->setWordWrap(true);
  impl_->widget->setAutoFillBackground(false);  // the form's surface shows through
  StyleLabel(*impl_);
  impl_->widget->show();
  RegisterControl(parent, this);
}

Label::~Label() {
  UnregisterControl(this);
  if (impl_->widget) delete impl_->widget.data();
}

void Label::SetCaption(const std::string& caption) {
  impl_->caption = caption;
  if (impl_->widget) impl_->widget->setText(QString::fromStdString(caption));
}
std::string Label::caption() const { return impl_->caption; }

void Label::SetToolTip(const std::string& text) {
  impl_->toolTip = text;
  if (impl_->widget) impl_->widget->setToolTip(QString::fromStdString(text));
}
std::string Label::toolTip() const { return impl_->toolTip; }

void Label::SetForeColor(Color color) {
  impl_->fore = color & 0xFFFFFF;
  StyleLabel(*impl_);
}
Color Label::foreColor() const { return impl_->fore; }

void Label::SetFont(const std::string& family, int32_t pixelSize) {
  impl_->font = family;
  impl_->fontPixels = pixelSize;
  StyleLabel(*impl_);
}
std::string Label::fontName() const { return impl_->font; }

int32_t Label::left() const { return impl_->left; }
int32_t Label::top() const { return impl_->top; }
int32_t Label::width() const { return impl_->width; }
int32_t Label::height() const { return impl_->height; }

// ---- Line ------------------------------------------------------------------------------------------

Line::Line(Form& parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color)
    : impl_(std::make_unique<Impl>()) {
  impl_->x1 = x1;
  impl_->y1 = y1;
  impl_->x2 = x2;
  impl_->y2 = y2;
  impl_->color = color & 0xFFFFFF;
  // A horizontal or vertical line is a one-pixel-thick box of its colour; the ends are inclusive.
  const QRect box = QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)));
  impl_->widget = new QWidget(parent.impl().client);
  impl_->widget->setGeometry(box);
  impl_->widget->setAutoFillBackground(true);
  QPalette palette = impl_->widget->palette();
  palette.setColor(QPalette::Window, ToQColor(impl_->color));
  impl_->widget->setPalette(palette);
  impl_->widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  impl_->widget->show();
  RegisterControl(parent, this);
}

Line::~Line() {
  UnregisterControl(this);
  if (impl_->widget) delete impl_->widget.data();
}

Color Line::color() const { return impl_->color; }
int32_t Line::x1() const { return impl_->x1; }
int32_t Line::y1() const { return impl_->y1; }
int32_t Line::x2() const { return impl_->x2; }
int32_t Line::y2() const { return impl_->y2; }

// ---- PictureBox ------------------------------------------------------------------------------------

PictureBoxWidget::PictureBoxWidget(PictureBox& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // moves without a button reach MouseMove too, as on a form
}

void PictureBoxWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QImage& surface = owner_.impl().surface;
  for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), surface, r);
}

PictureBox::PictureBox(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height)
    : impl_(std::make_unique<Impl>()) {
  impl_->left = left;
  impl_->top = top;
  impl_->width = width;
  impl_->height = height;
  impl_->surface = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  impl_->surface.fill(ToQColor(impl_->back));
  impl_->widget = new PictureBoxWidget(*this, parent.impl().client);
  impl_->widget->setGeometry(left, top, width, height);
  impl_->widget->show();
  RegisterControl(parent, this);
}

PictureBox::~PictureBox() {
  UnregisterControl(this);
  if (impl_->widget) delete impl_->widget.data();
}

void PictureBox::SetVisible(bool visible) {
  impl_->visible = visible;
  if (impl_->widget) impl_->widget->setVisible(visible);
}
bool PictureBox::visible() const { return impl_->visible; }

Color PictureBox::backColor() const { return impl_->back; }

void PictureBox::SetBackColor(Color color) {
  impl_->back = color & 0xFFFFFF;
  impl_->surface.fill(ToQColor(impl_->back));
  if (impl_->widget) impl_->widget->update();
}

void PictureBox::FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
  const QRect box = QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)))
                        .intersected(QRect(0, 0, impl_->width, impl_->height));
  if (box.isEmpty()) return;
  const QRgb rgb = ToQColor(color).rgb();
  for (int y = box.top(); y <= box.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(impl_->surface.scanLine(y));
    std::fill(line + box.left(), line + box.right() + 1, rgb);
  }
  if (impl_->widget) impl_->widget->update(box);
}

Color PictureBox::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= impl_->width || y >= impl_->height) return Color(-1);
  return FromQRgb(impl_->surface.pixel(x, y));
}

int32_t PictureBox::left() const { return impl_->left; }
int32_t PictureBox::top() const { return impl_->top; }
int32_t PictureBox::width() const { return impl_->width; }
int32_t PictureBox::height() const { return impl_->height; }

// ---- PictureBox: events, lines, pixels and the gradient fill -------------------------------------------

void PictureBoxWidget::mousePressEvent(QMouseEvent* event) {
  ForwardPress(owner_.MouseDown, *event);
}

void PictureBoxWidget::mouseMoveEvent(QMouseEvent* event) {
  ForwardMove(owner_.MouseMove, *event);
}

void PictureBoxWidget::mouseReleaseEvent(QMouseEvent* event) {
  ForwardRelease(owner_.MouseUp, *event);
}

void PictureBoxWidget::showEvent(QShowEvent*) {
  if (owner_.Paint) Dispatch(owner_.Paint);
}

void PictureBox::SetPixel(int32_t x, int32_t y, Color color) {
  if (x < 0 || y < 0 || x >= impl_->width || y >= impl_->height) return;
  impl_->surface.setPixel(x, y, ToQColor(color).rgb());
  if (impl_->widget) impl_->widget->update(x, y, 1, 1);
}

void PictureBox::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
  // Bresenham over 64-bit error terms, stopping before the end point.
  const int64_t dx = std::abs(int64_t(x2) - x1), dy = -std::abs(int64_t(y2) - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  const QRgb rgb = ToQColor(color).rgb();
  const QRect bounds(0, 0, impl_->width, impl_->height);
  QRect touched;
  int64_t err = dx + dy;
  int64_t x = x1, y = y1;
  while (x != x2 || y != y2) {
    if (bounds.contains(int(x), int(y))) {
      impl_->surface.setPixel(int(x), int(y), rgb);
      touched |= QRect(int(x), int(y), 1, 1);
    }
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  if (impl_->widget && !touched.isEmpty()) impl_->widget->update(touched);
}

namespace {

bool gGradientFillAvailable = true;

// Twice the signed area of (a, b, p), positive when p lies on the inner side of edge a -> b (y down).
// Points are in half pixels, so pixel centres are whole numbers and the sums stay exact.
int64_t Edge(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t px, int64_t py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

// A centre exactly on an edge belongs to the triangle only for left and top edges, so triangles that
// share an edge never both cover a pixel.
bool OwnsTies(int64_t dx, int64_t dy) { return dy < 0 || (dy == 0 && dx > 0); }

}  // namespace

void SetGradientFillAvailable(bool available) { gGradientFillAvailable = available; }

bool PictureBox::FillGradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c) {
  if (!gGradientFillAvailable || impl_->surface.isNull()) return false;
  const GradientVertex* v[3] = {&a, &b, &c};
  // Half-pixel units: corner (x, y) is (2x, 2y); the centre of pixel (x, y) is (2x + 1, 2y + 1).
  auto X = [&](int i) { return 2 * int64_t(v[i]->x); };
  auto Y = [&](int i) { return 2 * int64_t(v[i]->y); };
  int64_t area = Edge(X(0), Y(0), X(1), Y(1), X(2), Y(2));
  if (area == 0) return true;  // no inside, nothing to draw
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }

  const int64_t minX = std::max<int64_t>(0, std::min({v[0]->x, v[1]->x, v[2]->x}));
  const int64_t maxX = std::min<int64_t>(impl_->width - 1, std::max({v[0]->x, v[1]->x, v[2]->x}));
  const int64_t minY = std::max<int64_t>(0, std::min({v[0]->y, v[1]->y, v[2]->y}));
  const int64_t maxY = std::min<int64_t>(impl_->height - 1, std::max({v[0]->y, v[1]->y, v[2]->y}));
  if (minX > maxX || minY > maxY) return true;

  // Each channel's blend stays between its corners' values, even for a pixel whose own position (its
  // top-left corner) lies just outside the triangle although its centre is inside.
  auto channel = [&](double w0, double w1, double w2, uint16_t GradientVertex::*c) {
    const double lo = std::min({v[0]->*c, v[1]->*c, v[2]->*c}), hi = std::max({v[0]->*c, v[1]->*c, v[2]->*c});
    const double blend = std::clamp(w0 * (v[0]->*c) + w1 * (v[1]->*c) + w2 * (v[2]->*c), lo, hi);
    return int(blend) >> 8;
  };

  for (int64_t y = minY; y <= maxY; ++y) {
    auto* line = reinterpret_cast<QRgb*>(impl_->surface.scanLine(int(y)));
    for (int64_t x = minX; x <= maxX; ++x) {
      bool inside = true;
      for (int i = 0; i < 3 && inside; ++i) {
        const int j = (i + 1) % 3;
        const int64_t e = Edge(X(i), Y(i), X(j), Y(j), 2 * x + 1, 2 * y + 1);
        inside = e > 0 || (e == 0 && OwnsTies(X(j) - X(i), Y(j) - Y(i)));
      }
      if (!inside) continue;
      // Barycentric weights at the pixel's own position: each corner's weight is the area opposite it.
      const double w0 = double(Edge(X(1), Y(1), X(2), Y(2), 2 * x, 2 * y)) / double(area);
      const double w1 = double(Edge(X(2), Y(2), X(0), Y(0), 2 * x, 2 * y)) / double(area);
      const double w2 = 1.0 - w0 - w1;
      line[x] = qRgb(channel(w0, w1, w2, &GradientVertex::red), channel(w0, w1, w2, &GradientVertex::green),
                     channel(w0, w1, w2, &GradientVertex::blue));
    }
  }
  if (impl_->widget) impl_->widget->update(QRect(QPoint(int(minX), int(minY)), QPoint(int(maxX), int(maxY))));
  return true;
}

void PictureBox::Refresh() {
  if (impl_->widget) impl_->widget->update();
}

// ---- fixed-size forms ------------------------------------------------------------------------------

void SetFixedClientSize(Form& form, int32_t width, int32_t height) {
  form.SetClientSize(width, height);
  QMainWindow* window = form.impl().window;
  if (!window) return;
  const int menu = window->menuWidget() ? window->menuWidget()->sizeHint().height() : 0;
  window->setFixedSize(std::max(1, width), std::max(1, height) + menu);
}

}  // namespace brisel::platform
