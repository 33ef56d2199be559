#pragma once
// The Qt objects behind a platform::Form, shared by the platform layer's Qt files: defined in form_qt.cpp.

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "platform/qt/wayland_foreign_qt.h"
#include "platform/qt/x11_put_qt.h"

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
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;  // a touchpad's pinch

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
  // Tab is the program's key, not a move of the focus between controls.
  bool focusNextPrevChild(bool next) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;  // its window's exposures

 private:
  Form& form_;
  std::map<quint32, int16_t> shiftAtPress_;  // the modifiers each held key went down with, by scan code
};

struct Form::Impl {
  Form* form = nullptr;
  QPointer<FormWindow> window;
  uintptr_t foreignOwner = 0;  // another program's window (X11) this one is kept above, or 0
  std::string exportedOwner;    // another program's Wayland window, by its exported handle, or empty
  ImportedParentHandle importedOwner;  // the tie to it while this window is on screen
  ClientArea* client = nullptr;  // owned by window
  QImage surface;                // Format_RGB32, the client area's persistent picture
  Color back = 0x8000000F;       // set at construction from the platform's window colour
  bool screenPixels = false;    // UseScreenPixels
  QSize shownSize;              // the client area in surface pixels, as its last resize left it
  bool loaded = false;
  bool closingByProgram = false;  // inside Form::Close
  MousePointer pointer = MousePointer::Default;
  // Set while a tablet context is bound to this form: it takes the pen's events (true when it did), and
  // hears of mouse events that came from a real mouse.
  std::function<bool(QTabletEvent&)> tabletEvent;
  std::function<void()> mouseUsed;
  std::function<void()> unloaded;  // told when the form is unloaded for good
  // Forms to be shown as this one's own once it is on screen: shown before it, a window manager has no
  // owner to keep them above.
  std::vector<QPointer<FormWindow>> ownedToShow;
  QRegion unshown;  // client points changed since the last present
  // Client points put on the screen by PutImage that Qt's backing store does not hold yet: painted there a
  // moment later, or before an exposure shows the backing store.
  QRegion notInStore;
  X11Put put;
  QPointer<QTimer> catchUp;  // of notInStore, owned by client
  bool presentPosted = false;


  void EnsureSurface(int width, int height);
  // From the client area's points to the surface's pixels: the identity where they are the same, else the
  // fractional scale and the shift that puts the surface's corner on a whole screen pixel.
  QTransform ToSurface() const;
  QSize SurfaceSize() const;  // the client area in the surface's pixels
  void UpdatePixels(const QRect& pixels);  // shows these surface pixels anew at the next present
  // Shows at once what an input handler changed, unless more input is queued (see form_qt.cpp).
  void PresentNow();
  void Present();
  void ApplyForeignOwner();
  void ApplyExportedOwner();  // again at each show: a hidden Wayland window's surface is made anew
  // On Wayland, before the first show: narrower where the screen would have no room beside it for the
  // tool windows to be shown with it.
  void LeaveRoomForOwned();
};

// A colour of the program's as Qt's, and back.
QColor ToQColor(Color color);
Color FromQRgb(QRgb rgb);

}  // namespace brisel::platform
