// The plain child controls of a form over Qt: labels, separator lines and picture boxes, and the
// fixed-size window.

#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPaintEvent>

#include "platform/qt/controls_impl.h"
#include "platform/qt/form_impl.h"

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
}

Label::~Label() {
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
}

Line::~Line() {
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
}

PictureBox::~PictureBox() {
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

// ---- fixed-size forms ------------------------------------------------------------------------------

void SetFixedClientSize(Form& form, int32_t width, int32_t height) {
  form.SetClientSize(width, height);
  QMainWindow* window = form.impl().window;
  if (!window) return;
  const int menu = window->menuWidget() ? window->menuWidget()->sizeHint().height() : 0;
  window->setFixedSize(std::max(1, width), std::max(1, height) + menu);
}

}  // namespace brisel::platform
