#pragma once
// The Qt widgets behind the panel controls (VxButton, HProp) and the plain controls (Label, Line,
// PictureBox). Each control's state lives in its Impl, so a control whose widget has gone with its form
// still answers for its properties; the widget only draws that state and turns Qt's events into the
// control's events.

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "platform/controls.h"
#include "platform/window.h"

namespace brisel::platform {

// A 29 x 29 icon of the program's own drawing, on a transparent back (premultiplied ARGB). Icon::None
// gives a null image.
QImage IconImage(Icon icon);

// The bevelled button. Plain buttons look pressed while held with the pointer over them; two-state
// buttons (type 1) also while their value is true.
class VxButtonWidget : public QWidget {
 public:
  VxButtonWidget(VxButton& owner, QWidget* parent);
  bool looksPressed() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  VxButton& owner_;
};

struct VxButton::Impl {
  QPointer<VxButtonWidget> widget;
  std::string caption;
  Icon picture = Icon::None;
  Color back = RGB(192, 192, 192);
  Color highlight = RGB(224, 224, 224);
  Color shadow = RGB(32, 32, 32);
  double gradient = 1.2;  // a gentle top-to-bottom shading until told otherwise
  int16_t buttonType = 0;
  bool value = false;
  bool borderless = false;
  bool held = false;       // a mouse button went down on the button and is not yet released
  bool underMouse = false; // while held: the pointer is over the button
  std::string toolTip;

  void Redraw() {
    if (widget) widget->update();
  }
};

// The slider: a bar filled from the left up to the value, with the value written over it.
class HPropWidget : public QWidget {
 public:
  HPropWidget(HProp& owner, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The value that x (widget pixels) stands for, before rounding.
  double ValueAt(double x) const;
  HProp& owner_;
  int wheelRest_ = 0;  // eighths of a degree not yet turned into a step
};

struct HProp::Impl {
  QPointer<HPropWidget> widget;
  double value = 0;
  double min = 0, max = 100;
  Color back = RGB(143, 149, 158);
  Color fore = RGB(224, 224, 224);
  Color highlight = RGB(224, 224, 224);
  Color shadow = RGB(32, 32, 32);

  // A move by the user: rounded to a whole number, kept inside min..max, and Change raised (through the
  // event dispatch) only when the value really changes.
  void UserMove(HProp& owner, double wanted);
  void Redraw() {
    if (widget) widget->update();
  }
};

// The text a slider shows for its value: whole numbers without decimals, others with one.
QString SliderText(double value);

struct Label::Impl {
  QPointer<QLabel> widget;
  std::string caption, toolTip, font = "Arial";
  int32_t fontPixels = 11;
  Color fore = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
};

struct Line::Impl {
  QPointer<QWidget> widget;
  Color color = 0;
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class PictureBoxWidget : public QWidget {
 public:
  PictureBoxWidget(PictureBox& owner, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The box's handlers: mouse events in box pixels, and Paint when the box is shown.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  PictureBox& owner_;
};

struct PictureBox::Impl {
  QPointer<PictureBoxWidget> widget;
  QImage surface;  // Format_RGB32, the box's size
  Color back = RGB(255, 255, 255);
  bool visible = true;
  int32_t left = 0, top = 0, width = 0, height = 0;
};

// The font every panel control writes in.
QFont PanelFont(int pixelSize);

}  // namespace brisel::platform
