#pragma once
// The Qt objects behind a platform::Form, shared by the platform layer's Qt files.

#include <QImage>
#include <QMouseEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

namespace brisel::platform {

// The client area: presents the form's surface and turns Qt's mouse events into the form's handlers.
class ClientArea : public QWidget {
 public:
  explicit ClientArea(Form& form);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void tabletEvent(QTabletEvent* event) override;

 private:
  Form& form_;
};

// The top-level window: caption, menu bar, keys and the close request.
class FormWindow : public QMainWindow {
 public:
  explicit FormWindow(Form& form);
  Form& form() { return form_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  Form& form_;
  std::map<quint32, int16_t> shiftAtPress_;  // the modifiers each held key went down with, by scan code
};

struct Form::Impl {
  Form* form = nullptr;
  QPointer<FormWindow> window;
  uintptr_t foreignOwner = 0;  // another program's window (X11) this one is kept above, or 0
  ClientArea* client = nullptr;  // owned by window
  QImage surface;                // Format_RGB32, the client area's persistent picture
  Color back = 0x8000000F;       // set at construction from the platform's window colour
  bool loaded = false;
  MousePointer pointer = MousePointer::Default;
  // Set while a tablet context is bound to this form: it takes the pen's events (true when it did), and
  // hears of mouse events that came from a real mouse.
  std::function<bool(QTabletEvent&)> tabletEvent;
  std::function<void()> mouseUsed;
  std::function<void()> unloaded;  // told when the form is unloaded for good
  // Forms to be shown as this one's own once it is on screen: shown before it, a window manager has no
  // owner to keep them above.
  std::vector<QPointer<FormWindow>> ownedToShow;

  void EnsureSurface(int width, int height);
  void ApplyForeignOwner();
};

// Converts between Qt's event details and the program's bit sets.
int16_t ButtonBit(Qt::MouseButton button);
int16_t ButtonBits(Qt::MouseButtons buttons);
int16_t ShiftBits(Qt::KeyboardModifiers modifiers);
int16_t VirtualKeyCode(const QKeyEvent& event);
QColor ToQColor(Color color);

// Hands a mouse or pen event to a program handler, through Dispatch: the button that went down or up (for a
// move, the buttons held), the modifiers, and the position in the receiving widget's pixels.
void ForwardPress(const Form::MouseHandler& handler, const QSinglePointEvent& event);
void ForwardMove(const Form::MouseHandler& handler, const QSinglePointEvent& event);
void ForwardRelease(const Form::MouseHandler& handler, const QSinglePointEvent& event);
Color FromQRgb(QRgb rgb);

// The Yes/No question AskYesNo puts to the user. No is its default and its Escape answer: a question that
// can throw work away must not be answered Yes by a stray Enter.
std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& title, const std::string& text);
// A scale factor setting (QT_SCALE_FACTOR's, or QT_SCREEN_SCALE_FACTORS' list) with every factor rounded to
// a whole one; anything that is not a number is kept as it is.
std::string WholeScaleFactors(const std::string& factors);
// The platforms without a screen (offscreen, minimal), where nothing modal may wait for a user.
bool HeadlessPlatform();

}  // namespace brisel::platform
