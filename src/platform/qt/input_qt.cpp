// Qt's events in the program's terms: buttons, modifiers, key codes, and the calls of its mouse handlers.

#include "platform/qt/input_qt.h"

#include <QCoreApplication>

namespace brisel::platform {

void KeepEveryPointerReport() {
  // Qt drops a queued move when a newer one is queued behind it (on X11, for the mouse by default, and for
  // the pen once AA_CompressTabletEvents is set). The mouse keeps its moves too: a canvas that falls behind
  // handles the queued moves at about 54 us each and presents them in one flush (Form::Impl::PresentNow),
  // and the screen latency bench measured no latency gained by dropping them.
  QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
  QCoreApplication::setAttribute(Qt::AA_CompressTabletEvents, false);
}

int16_t ButtonBit(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return buttons::kLeft;
    case Qt::RightButton: return buttons::kRight;
    case Qt::MiddleButton: return buttons::kMiddle;
    default: return 0;
  }
}

int16_t ButtonBits(Qt::MouseButtons held) {
  int16_t bits = 0;
  if (held & Qt::LeftButton) bits |= buttons::kLeft;
  if (held & Qt::RightButton) bits |= buttons::kRight;
  if (held & Qt::MiddleButton) bits |= buttons::kMiddle;
  return bits;
}

int16_t ShiftBits(Qt::KeyboardModifiers modifiers) {
  int16_t bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= shiftkeys::kShift;
  if (modifiers & Qt::ControlModifier) bits |= shiftkeys::kCtrl;
  if (modifiers & Qt::AltModifier) bits |= shiftkeys::kAlt;
  return bits;
}

// The program speaks in the virtual-key codes of its original platform. The physical comma, plus/equals
// and minus keys (and the keypad's plus and minus, which users reach for when zooming) map to the codes
// of those keys; Qt reports them by key(), never by scan code, under X11, Wayland and the offscreen platform.
// The keypad's digits (num lock on) are the main row's: Qt gives them the same key, with KeypadModifier.
int16_t VirtualKeyCode(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return int16_t('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return int16_t('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return int16_t(112 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Comma: case Qt::Key_Less: return keys::kComma;
    case Qt::Key_Equal: case Qt::Key_Plus: return keys::kPlus;
    case Qt::Key_Minus: case Qt::Key_Underscore: return keys::kMinus;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return keys::kBracketLeft;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return keys::kBracketRight;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return keys::kTab;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return keys::kSpace;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Delete: return 46;
    default: return 0;
  }
}

namespace {
void Forward(const Form::MouseHandler& handler, int16_t button, const QSinglePointEvent& event,
             const QTransform& toPixels) {
  if (!handler) return;
  const QPointF p = toPixels.map(event.position());
  Dispatch([&] { handler(button, ShiftBits(event.modifiers()), float(p.x()), float(p.y())); });
}
}  // namespace

// Presses and releases of other buttons than left, right and middle (back, forward, ...) are not the
// program's: they reach no handler, so that one released mid-drag cannot end the stroke.
void ForwardPress(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels) {
  if (const int16_t button = ButtonBit(event.button())) Forward(handler, button, event, toPixels);
}
void ForwardMove(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels) {
  Forward(handler, ButtonBits(event.buttons()), event, toPixels);
}
void ForwardRelease(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels) {
  if (const int16_t button = ButtonBit(event.button())) Forward(handler, button, event, toPixels);
}

}  // namespace brisel::platform
