// The button control vx_button over a QWidget we draw ourselves.
//
// Look: a vertical gradient from backcolor x gradient (top) to backcolor / gradient (bottom), inside a
// bevel: a Shadow-coloured frame, a Highlight edge on the top and left and a half-shadow edge on the
// bottom and right. Pressed, the gradient turns over and darkens, the bevel sinks (half-shadow on the top
// and left, no highlight) and the icon or caption moves 1 pixel down and right. Borderless buttons drop
// the bevel and show a pressed state by a thin half-shadow frame only.

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include "platform/qt/bevel_qt.h"
#include "platform/qt/control_registry.h"
#include "platform/qt/controls_impl.h"
#include "platform/qt/form_impl.h"
#include "platform/qt/input_qt.h"

namespace brisel::platform {

VxButtonWidget::VxButtonWidget(VxButton& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool VxButtonWidget::looksPressed() const {
  const VxButton::Impl& s = owner_.impl();
  return (s.buttonType == 1 && s.value) || (s.held && s.underMouse);
}

void VxButtonWidget::paintEvent(QPaintEvent*) {
  const VxButton::Impl& s = owner_.impl();
  const bool pressed = looksPressed();
  QPainter painter(this);
  const QRect all = rect();
  const double g = s.gradient > 0 ? s.gradient : 1.0;
  // Pressed, the gradient turns over and darkens by an eighth, so a button held down reads as sunk.
  const double dim = pressed ? 0.875 : 1.0;
  const QColor light = ScaleColor(s.back, g * dim), dark = ScaleColor(s.back, dim / g);
  QLinearGradient fill(0, 0, 0, all.height());
  fill.setColorAt(0, pressed ? dark : light);
  fill.setColorAt(1, pressed ? light : dark);
  painter.fillRect(all, fill);

  const QColor halfShadow = MixColor(s.back, s.shadow, 0.5);
  if (!s.borderless) {
    DrawEdge(painter, all, ToQColor(s.shadow), ToQColor(s.shadow));
    const QRect inner = all.adjusted(1, 1, -1, -1);
    if (pressed) {
      DrawEdge(painter, inner, halfShadow, light);
    } else {
      DrawEdge(painter, inner, ToQColor(s.highlight), halfShadow);
    }
  } else if (pressed) {
    DrawEdge(painter, all, halfShadow, halfShadow);
  }

  const int shift = pressed ? 1 : 0;
  if (s.picture != Icon::None) {
    const QImage icon = IconImage(s.picture);
    painter.drawImage((width() - icon.width()) / 2 + shift, (height() - icon.height()) / 2 + shift, icon);
  }
  if (!s.caption.empty()) {
    painter.setFont(PanelFont(11));
    painter.setPen(Qt::black);
    painter.drawText(all.translated(shift, shift), Qt::AlignCenter, QString::fromStdString(s.caption));
  }
}

void VxButtonWidget::mousePressEvent(QMouseEvent* event) {
  VxButton::Impl& s = owner_.impl();
  if (event->button() == Qt::LeftButton) {
    s.held = true;
    s.underMouse = true;
    // A two-state button goes down with the press and stays down until the program lets it up.
    if (s.buttonType == 1) s.value = true;
    update();
  }
  ForwardPress(owner_.MouseDown, *event);
}

// A quick second press is a press like any other: the preset group must answer it.
void VxButtonWidget::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void VxButtonWidget::mouseMoveEvent(QMouseEvent* event) {
  VxButton::Impl& s = owner_.impl();
  const QPointF p = event->position();
  if (s.held) {
    const bool inside = rect().contains(p.toPoint());
    if (inside != s.underMouse) {
      s.underMouse = inside;
      update();
    }
  }
  ForwardMove(owner_.MouseMove, *event);
}

void VxButtonWidget::mouseReleaseEvent(QMouseEvent* event) {
  VxButton::Impl& s = owner_.impl();
  const QPointF p = event->position();
  const bool clicked = event->button() == Qt::LeftButton && s.held && rect().contains(p.toPoint());
  if (event->button() == Qt::LeftButton) {
    s.held = false;
    s.underMouse = false;
    update();
  }
  // A handler may take the window, and this widget with it, away.
  QPointer<VxButtonWidget> alive(this);
  ForwardRelease(owner_.MouseUp, *event);
  if (alive && clicked && owner_.Click) Dispatch(owner_.Click);
}

// ---- VxButton --------------------------------------------------------------------------------------

VxButton::VxButton(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height)
    : ControlPlace(left, top, width, height), impl_(std::make_unique<Impl>()) {
  impl_->widget = new VxButtonWidget(*this, parent.impl().client);
  impl_->widget->setGeometry(left, top, width, height);
  impl_->widget->show();
  RegisterControl(parent, this);
}

VxButton::~VxButton() {
  UnregisterControl(this);
  if (impl_->widget) delete impl_->widget.data();
}

void VxButton::SetCaption(const std::string& caption) {
  impl_->caption = caption;
  impl_->Redraw();
}
std::string VxButton::caption() const { return impl_->caption; }

void VxButton::SetPicture(Icon icon) {
  impl_->picture = icon;
  impl_->Redraw();
}
Icon VxButton::picture() const { return impl_->picture; }

void VxButton::SetBackColor(Color color) {
  impl_->back = color & 0xFFFFFF;
  impl_->Redraw();
}
Color VxButton::backColor() const { return impl_->back; }

void VxButton::SetGradient(double gradient) {
  impl_->gradient = gradient;
  impl_->Redraw();
}
double VxButton::gradient() const { return impl_->gradient; }

void VxButton::SetButtonType(int16_t type) {
  impl_->buttonType = type;
  impl_->Redraw();
}
int16_t VxButton::buttonType() const { return impl_->buttonType; }

void VxButton::SetValue(bool pressed) {
  impl_->value = pressed;
  impl_->Redraw();
}
bool VxButton::value() const { return impl_->value; }

void VxButton::SetMousePointer(MousePointer pointer) {
  if (!impl_->widget) return;
  switch (pointer) {
    case MousePointer::Arrow: impl_->widget->setCursor(Qt::ArrowCursor); break;
    case MousePointer::Crosshair: impl_->widget->setCursor(Qt::CrossCursor); break;
    case MousePointer::SizeAll: impl_->widget->setCursor(Qt::SizeAllCursor); break;
    case MousePointer::Default: impl_->widget->unsetCursor(); break;
  }
}

void VxButton::SetHighlight(Color color) {
  impl_->highlight = color & 0xFFFFFF;
  impl_->Redraw();
}
Color VxButton::highlight() const { return impl_->highlight; }

void VxButton::SetShadow(Color color) {
  impl_->shadow = color & 0xFFFFFF;
  impl_->Redraw();
}
Color VxButton::shadow() const { return impl_->shadow; }

void VxButton::SetBorderless(bool borderless) {
  impl_->borderless = borderless;
  impl_->Redraw();
}
bool VxButton::borderless() const { return impl_->borderless; }

void VxButton::SetToolTip(const std::string& text) {
  impl_->toolTip = text;
  if (impl_->widget) impl_->widget->setToolTip(QString::fromStdString(text));
}
std::string VxButton::toolTip() const { return impl_->toolTip; }

void VxButton::Refresh() {
  if (impl_->widget) impl_->widget->repaint();
}

}  // namespace brisel::platform
