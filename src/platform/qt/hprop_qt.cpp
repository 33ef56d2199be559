// The slider control HProp over a QWidget we draw ourselves.
//
// Look: a sunken trough (Shadow on the top and left, Highlight on the bottom and right) in backcolor,
// filled from the left in forecolor up to the value, with the value written in the middle.
// Behaviour: the user sets whole numbers inside min..max, by a click (the value jumps to the pointer), a
// drag, the mouse wheel (1 a notch) or the arrow keys (1 a press). The program may set any value; it is
// kept as set and the bar is drawn clipped to the trough.
//
// Change: every value set by the program raises Change, even when the value is the same as before, because
// the colour paths set three sliders in a row and count on each one's change behaviour running. A user's
// move raises Change only when it moves the value (a drag over one position raises it once).

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>

#include <cmath>

#include "platform/qt/bevel_qt.h"
#include "platform/qt/control_registry.h"
#include "platform/qt/controls_impl.h"
#include "platform/qt/form_impl.h"

namespace brisel::platform {

QString SliderText(double value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
    return QString::number(qint64(value));
  return QString::number(value, 'f', 1);
}

void HProp::Impl::UserMove(HProp& owner, double wanted) {
  double v = std::nearbyint(wanted);
  v = std::min(std::max(v, min), max);
  if (v == value) return;
  value = v;
  Redraw();
  if (owner.Change) Dispatch(owner.Change);
}

HPropWidget::HPropWidget(HProp& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setFocusPolicy(Qt::WheelFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

// The trough's first and last inner pixels stand for min and max.
double HPropWidget::ValueAt(double x) const {
  const HProp::Impl& s = owner_.impl();
  const double span = std::max(1, width() - 3);
  const double t = std::clamp((x - 1.0) / span, 0.0, 1.0);
  return s.min + t * (s.max - s.min);
}

void HPropWidget::paintEvent(QPaintEvent*) {
  const HProp::Impl& s = owner_.impl();
  QPainter painter(this);
  const QRect all = rect();
  painter.fillRect(all, ToQColor(s.back));
  const QRect inner = all.adjusted(1, 1, -1, -1);
  const double range = s.max - s.min;
  const double t = range > 0 ? std::clamp((s.value - s.min) / range, 0.0, 1.0) : 0.0;
  const int filled = int(std::nearbyint(t * inner.width()));
  if (filled > 0) painter.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()), ToQColor(s.fore));
  DrawEdge(painter, all, ToQColor(s.shadow), ToQColor(s.highlight));

  // Dark figures unless both the bar and the trough are dark.
  auto luma = [](Color c) { return 0.299 * (c & 0xFF) + 0.587 * (c >> 8 & 0xFF) + 0.114 * (c >> 16 & 0xFF); };
  const bool darkSlider = luma(s.back) < 96 && luma(s.fore) < 96;
  painter.setPen(darkSlider ? QColor(240, 240, 240) : QColor(32, 32, 32));
  painter.setFont(PanelFont(11));
  painter.drawText(inner, Qt::AlignCenter, SliderText(s.value));
}

void HPropWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  owner_.impl().UserMove(owner_, ValueAt(event->position().x()));
}

void HPropWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  owner_.impl().UserMove(owner_, ValueAt(event->position().x()));
}

void HPropWidget::wheelEvent(QWheelEvent* event) {
  const QPoint angle = event->angleDelta();
  wheelRest_ += angle.y() != 0 ? angle.y() : angle.x();
  // A notch is 120 eighths of a degree; a fine-grained wheel adds up to one.
  const int steps = wheelRest_ / 120;
  wheelRest_ -= steps * 120;
  if (steps != 0) owner_.impl().UserMove(owner_, std::nearbyint(owner_.impl().value) + steps);
  event->accept();
}

void HPropWidget::keyPressEvent(QKeyEvent* event) {
  int step = 0;
  switch (event->key()) {
    case Qt::Key_Left: case Qt::Key_Down: step = -1; break;
    case Qt::Key_Right: case Qt::Key_Up: step = 1; break;
    default:
      // Other keys belong to the window.
      event->ignore();
      return;
  }
  owner_.impl().UserMove(owner_, std::nearbyint(owner_.impl().value) + step);
}

// ---- HProp -----------------------------------------------------------------------------------------

HProp::HProp(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height)
    : ControlPlace(left, top, width, height), impl_(std::make_unique<Impl>()) {
  impl_->widget = new HPropWidget(*this, parent.impl().client);
  impl_->widget->setGeometry(left, top, width, height);
  impl_->widget->show();
  RegisterControl(parent, this);
}

HProp::~HProp() {
  UnregisterControl(this);
  if (impl_->widget) delete impl_->widget.data();
}

void HProp::SetValue(double value) {
  impl_->value = value;
  impl_->Redraw();
  if (Change) Dispatch(Change);
}
double HProp::value() const { return impl_->value; }

namespace {
// The range is stored as text; text that is no number leaves the bound as it was.
void ParseBound(const std::string& text, double& bound) {
  bool ok = false;
  const double v = QString::fromStdString(text).trimmed().toDouble(&ok);
  if (ok) bound = v;
}
}  // namespace

void HProp::SetMin(const std::string& min) {
  ParseBound(min, impl_->min);
  impl_->Redraw();
}
void HProp::SetMax(const std::string& max) {
  ParseBound(max, impl_->max);
  impl_->Redraw();
}
double HProp::min() const { return impl_->min; }
double HProp::max() const { return impl_->max; }

void HProp::SetBackColor(Color color) {
  impl_->back = color & 0xFFFFFF;
  impl_->Redraw();
}
Color HProp::backColor() const { return impl_->back; }
void HProp::SetForeColor(Color color) {
  impl_->fore = color & 0xFFFFFF;
  impl_->Redraw();
}
Color HProp::foreColor() const { return impl_->fore; }
void HProp::SetHighlight(Color color) {
  impl_->highlight = color & 0xFFFFFF;
  impl_->Redraw();
}
Color HProp::highlight() const { return impl_->highlight; }
void HProp::SetShadow(Color color) {
  impl_->shadow = color & 0xFFFFFF;
  impl_->Redraw();
}
Color HProp::shadow() const { return impl_->shadow; }

void HProp::Refresh() {
  if (impl_->widget) impl_->widget->repaint();
}

}  // namespace brisel::platform
