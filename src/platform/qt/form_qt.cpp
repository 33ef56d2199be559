// Forms over Qt widgets: a QMainWindow (caption, menu bar, keys, close) around a client area that
// presents the form's persistent surface.

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QTabletEvent>
#include <QTimer>
#include <QWheelEvent>

#include <qpa/qwindowsysteminterface.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/qt/beside_owner_qt.h"
#include "platform/qt/form_impl.h"
#include "platform/qt/input_qt.h"

namespace brisel::platform {

// ---- colours ---------------------------------------------------------------------------------------

QColor ToQColor(Color color) { return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF)); }
Color FromQRgb(QRgb rgb) { return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

// ---- client area -----------------------------------------------------------------------------------

ClientArea::ClientArea(Form& form) : form_(form) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void ClientArea::paintEvent(QPaintEvent* event) {
  form_.impl().unshown -= event->region();  // shown now, by Qt's own update
  form_.impl().notInStore -= event->region();
  QPainter painter(this);
  const QImage& surface = form_.impl().surface;
  const QTransform toSurface = form_.impl().ToSurface();
  if (toSurface.isIdentity()) {
    for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), surface, r);
    return;
  }
  // Screen pixels copied, not resampled: the painter counts screen pixels from the client's corner, and the
  // surface's corner goes on the whole pixel that ToSurface chose.
  const qreal scale = toSurface.m11();
  painter.setWorldTransform(QTransform::fromScale(1 / scale, 1 / scale));
  const QPointF shift(toSurface.dx(), toSurface.dy());
  for (const QRect& r : event->region()) {
    const QRect from = toSurface.mapRect(QRectF(r)).toAlignedRect().intersected(surface.rect());
    painter.drawImage(QPointF(from.topLeft()) - shift, surface, QRectF(from));
  }
}

namespace {
// The client area has a new size in the surface's pixels: its own, or the screen's scale changed.
void ClientResized(Form& form) {
  Form::Impl& impl = form.impl();
  impl.shownSize = impl.SurfaceSize();
  impl.EnsureSurface(impl.shownSize.width(), impl.shownSize.height());
  // The window system asks for a repaint of what it exposed, as it would of any window.
  if (impl.loaded && form.Paint) Dispatch(form.Paint);
}

// Enough client points for width x height surface pixels.
QSize ClientSizeFor(const Form::Impl& impl, int32_t width, int32_t height) {
  const qreal scale = impl.ToSurface().m11();
  return QSize(int(std::ceil(width / scale - 1e-6)), int(std::ceil(height / scale - 1e-6)));
}
}  // namespace

void ClientArea::resizeEvent(QResizeEvent*) { ClientResized(form_); }

namespace {
// A mouse event of the mouse itself, not one the toolkit made up from a pen.
void NoteRealMouse(Form& form, const QMouseEvent& event) {
  if (form.impl().mouseUsed && event.source() == Qt::MouseEventNotSynthesized &&
      event.pointingDevice()->type() == QInputDevice::DeviceType::Mouse)
    form.impl().mouseUsed();
}
}  // namespace

void ClientArea::tabletEvent(QTabletEvent* event) {
  // Accepted tablet events are not turned into mouse events too: the pen reaches the handlers once.
  if (form_.impl().tabletEvent && form_.impl().tabletEvent(*event)) event->accept();
  else event->ignore();
  form_.impl().PresentNow();
}

void ClientArea::wheelEvent(QWheelEvent* event) {
  if (!form_.MouseWheel) {
    event->ignore();
    return;
  }
  const QTransform toSurface = form_.impl().ToSurface();
  WheelTurn turn;
  turn.Shift = ShiftBits(event->modifiers());
  const QPointF at = toSurface.map(event->position());
  turn.X = float(at.x());
  turn.Y = float(at.y());
  // Qt counts a usual notch as 120 eighths of a degree.
  turn.NotchesX = float(event->angleDelta().x()) / 120.0f;
  turn.NotchesY = float(event->angleDelta().y()) / 120.0f;
  turn.HasPixels = !event->pixelDelta().isNull();
  turn.PixelsX = float(event->pixelDelta().x() * toSurface.m11());
  turn.PixelsY = float(event->pixelDelta().y() * toSurface.m22());
  event->accept();
  Dispatch([&] { form_.MouseWheel(turn); });
  form_.impl().PresentNow();
}

bool ClientArea::event(QEvent* event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
  // A form in screen pixels keeps its size in them when the scale changes: on Wayland the compositor tells
  // its fractional scale only once the window is on screen. After the sizes the compositor has already
  // asked for, which it would otherwise apply over this one.
  if (event->type() == QEvent::DevicePixelRatioChange && form_.impl().screenPixels) {
    const QSize kept = form_.impl().shownSize;
    QMetaObject::invokeMethod(
        this, [this, kept] { form_.SetClientSize(kept.width(), kept.height()); }, Qt::QueuedConnection);
    ClientResized(form_);
  }
#endif
  if (event->type() == QEvent::NativeGesture && form_.Turn &&
      static_cast<QNativeGestureEvent*>(event)->gestureType() == Qt::RotateNativeGesture) {
    // value() is the turn in degrees since the last event of the gesture, clockwise on the screen.
    const float degrees = float(static_cast<QNativeGestureEvent*>(event)->value());
    Dispatch([&] { form_.Turn(degrees); });
    return true;
  }
  if (event->type() == QEvent::NativeGesture && form_.Pinch) {
    auto* gesture = static_cast<QNativeGestureEvent*>(event);
    if (gesture->gestureType() == Qt::ZoomNativeGesture) {
      // value() is the growth since the last event of the gesture: 0.1 for 10 % larger.
      const QPointF p = form_.impl().ToSurface().map(gesture->position());
      const float factor = float(1.0 + gesture->value());
      Dispatch([&] { form_.Pinch(float(p.x()), float(p.y()), factor); });
      return true;
    }
  }
  return QWidget::event(event);
}

void ClientArea::mousePressEvent(QMouseEvent* event) {
  NoteRealMouse(form_, *event);
  ForwardPress(form_.MouseDown, *event, form_.impl().ToSurface());
  form_.impl().PresentNow();
}

void ClientArea::mouseMoveEvent(QMouseEvent* event) {
  NoteRealMouse(form_, *event);
  ForwardMove(form_.MouseMove, *event, form_.impl().ToSurface());
  form_.impl().PresentNow();
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event) {
  ForwardRelease(form_.MouseUp, *event, form_.impl().ToSurface());
  form_.impl().PresentNow();
}

// ---- top-level window ------------------------------------------------------------------------------

FormWindow::FormWindow(Form& form) : form_(form) { setFocusPolicy(Qt::StrongFocus); }

void FormWindow::closeEvent(QCloseEvent* event) {
  int16_t cancel = 0;
  const int16_t mode = form_.impl().closingByProgram ? Form::kClosedByProgram : Form::kCloseButton;
  if (form_.QueryUnload && form_.impl().loaded) Dispatch([&] { form_.QueryUnload(cancel, mode); });
  if (!cancel && form_.Unload && form_.impl().loaded) Dispatch([&] { form_.Unload(cancel); });
  if (cancel) {
    event->ignore();
    return;
  }
  form_.impl().loaded = false;
  event->accept();
  if (form_.impl().unloaded) form_.impl().unloaded();
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  int16_t code = VirtualKeyCode(*event);
  int16_t shift = ShiftBits(event->modifiers());
  if (event->nativeScanCode() != 0) shiftAtPress_[event->nativeScanCode()] = shift;
  if (form_.KeyDown) Dispatch([&] { form_.KeyDown(code, shift); });
  const QString text = event->text();
  if (form_.KeyPress && text.size() == 1 && text[0].unicode() < 128 && text[0].unicode() >= 8) {
    int16_t ascii = int16_t(text[0].unicode());
    Dispatch([&] { form_.KeyPress(ascii); });
  }
  form_.impl().PresentNow();
}

bool FormWindow::focusNextPrevChild(bool) { return false; }

void FormWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || isActiveWindow()) return;
  shiftAtPress_.clear();  // their releases go to the window that has the keyboard now
  if (form_.Deactivate) Dispatch([&] { form_.Deactivate(); });
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  // An exposure shows what the backing store holds: what was put around it is painted there first.
  Form::Impl& impl = form_.impl();
  if (event->type() == QEvent::Expose && !impl.notInStore.isEmpty()) impl.client->update(std::exchange(impl.notInStore, {}));
  return QMainWindow::eventFilter(watched, event);
}

void FormWindow::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats its press; its release comes once, when it is let go.
  if (event->isAutoRepeat()) return;
  int16_t code = VirtualKeyCode(*event);
  int16_t shift = ShiftBits(event->modifiers());
  // A key released after its modifiers (Ctrl let go a moment before the plus key) still reports the
  // modifiers it was pressed with, so that Ctrl and plus zoom whichever finger lifts first. The same physical
  // key is recognised by its scan code, which the window system gives for press and release alike.
  if (auto it = shiftAtPress_.find(event->nativeScanCode()); event->nativeScanCode() != 0 && it != shiftAtPress_.end()) {
    shift = it->second;
    shiftAtPress_.erase(it);
  }
  if (form_.KeyUp) Dispatch([&] { form_.KeyUp(code, shift); });
  form_.impl().PresentNow();
}

// ---- Form ------------------------------------------------------------------------------------------

// Qt marks only dialogs and tool windows as transient, and only for windows of its own; a top-level
// window kept above another program's gets the X11 property directly.
void Form::Impl::ApplyForeignOwner() {
  if (!window) return;
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  const auto self = xcb_window_t(window->winId());
  if (foreignOwner) {
    const auto owner = xcb_window_t(foreignOwner);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, self, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                        &owner);
  } else {
    xcb_delete_property(connection, self, XCB_ATOM_WM_TRANSIENT_FOR);
  }
  xcb_flush(connection);
}

void Form::Impl::ApplyExportedOwner() {
  importedOwner.reset();
  if (!exportedOwner.empty() && window && window->isVisible() && window->windowHandle())
    importedOwner = ImportAsParent(*window->windowHandle(), exportedOwner);
}

void Form::Impl::LeaveRoomForOwned() {
  // A window manager on X11 places tool windows beside their owner, over the screen's edge if it must; a
  // Wayland compositor places them where it likes, often over the owner, and a client cannot move them. So
  // does sway its X11 clients' (Xwayland's), which PlaceBesideOwner then moves.
  const bool compositorPlaces =
      QGuiApplication::platformName().startsWith("wayland") || !qEnvironmentVariableIsEmpty("SWAYSOCK");
  // An X11 window manager with no room beside a window as wide as the screen puts its tool windows over
  // it, over the canvas's menu bar (openbox does): the room is left there too.
  const bool mayCoverMenus = QGuiApplication::platformName() == QLatin1String("xcb");
  if (!(compositorPlaces || mayCoverMenus) || ownedToShow.empty()) return;
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  int room = 0;
  for (const QPointer<FormWindow>& owned : ownedToShow)
    if (owned) room += owned->width() + 16;  // with a usual frame
  // openbox centres the canvas, so on X11 the room is left on both sides.
  const int most = screen->availableGeometry().width() - (mayCoverMenus ? 2 * room : room) - 16;
  if (window->width() > most && most >= window->minimumSizeHint().width()) window->resize(most, window->height());
}

void Form::Impl::EnsureSurface(int width, int height) {
  if (surface.width() >= width && surface.height() >= height) return;
  QImage grown(std::max(width, surface.width()), std::max(height, surface.height()), QImage::Format_RGB32);
  grown.fill(ToQColor(back));
  if (!surface.isNull()) {
    QPainter painter(&grown);
    painter.drawImage(0, 0, surface);
  }
  surface = std::move(grown);
}

// At a fractional scale the client area's corner, below the menu bar, lies a fraction into a screen pixel;
// the surface is drawn from the nearest whole pixel instead, and positions are counted from there.
QTransform Form::Impl::ToSurface() const {
  const qreal scale = client->devicePixelRatioF();
  if (!screenPixels || !window || scale == std::floor(scale)) return {};
  const QPointF corner = QPointF(client->mapTo(window.data(), QPoint(0, 0))) * scale;
  return QTransform(scale, 0, 0, scale, corner.x() - std::round(corner.x()), corner.y() - std::round(corner.y()));
}

namespace {
// A changed region of up to this many pixels goes to the X server by PutImage (a stroke's piece, a few
// thousand); larger ones (a pan, a commit) through the backing store's shared memory, which copies less.
constexpr qint64 kMostPixelsPut = 65536;
// How long after the last PutImage the backing store catches up with what it showed: its paint waits a round
// trip to the server where it goes over its last flush, so it waits for a pause of the pointer, or for the
// stroke's commit, which shows the whole stroke through it.
constexpr int kCatchUpMilliseconds = 100;
constexpr int kMostBoxesKept = 256;

bool PacedByCompositor() {
  static const bool paced = QGuiApplication::platformName().startsWith("wayland");
  return paced;
}

qint64 PixelsIn(const QRegion& region) {
  qint64 pixels = 0;
  for (const QRect& r : region) pixels += qint64(r.width()) * r.height();
  return pixels;
}
}  // namespace

void Form::Impl::UpdatePixels(const QRect& pixels) {
  const QTransform toSurface = ToSurface();
  const QRect points = toSurface.isIdentity() ? pixels : toSurface.inverted().mapRect(QRectF(pixels)).toAlignedRect();
  unshown += points;
  // On Wayland the compositor's frame callbacks pace the flushes (a flush between them waits for a free
  // buffer), so there Qt's update request, which follows them, shows the change.
  if (PacedByCompositor()) {
    client->update(points);
    return;
  }
  // Shown by the input handler's present as it returns; by this one where no handler follows.
  if (presentPosted) return;
  presentPosted = true;
  QMetaObject::invokeMethod(client, [this] {
    presentPosted = false;
    Present();
  }, Qt::QueuedConnection);
}

// Qt's update() alone shows a change at its next update request, up to 5 ms later, and a pointer reporting
// 1,000 times a second leaves the event loop no idle moment to bring it sooner: the painter's pixels trail
// the pen. So what an input handler changed is shown as it returns, once per event, or once per burst when
// events queue faster than they are handled: behind the reports (more already queued), the next event's
// present takes this one's pixels along, since a present for each would cost more than it gains and the
// canvas would fall further behind.
void Form::Impl::PresentNow() {
  if (unshown.isEmpty() || QWindowSystemInterface::windowSystemEventsQueued() > 0) return;
  Present();
}

void Form::Impl::Present() {
  if (unshown.isEmpty()) return;
  const QRegion region = std::exchange(unshown, {});
  if (PacedByCompositor()) return;  // Qt's update request shows it
  if (!client->isVisible()) {
    client->update(region);  // painted when it is shown
    return;
  }
  if (PixelsIn(region) <= kMostPixelsPut && put.Put(*client, surface, region)) {
    notInStore += region;
    // A long stroke's region of many small boxes would cost each event more to grow than the box it adds:
    // past a few hundred the catch-up repaints their bounds instead.
    if (notInStore.rectCount() > kMostBoxesKept) notInStore = notInStore.boundingRect();
    if (!catchUp) {
      catchUp = new QTimer(client);
      catchUp->setSingleShot(true);
      QObject::connect(catchUp, &QTimer::timeout, client, [this] {
        if (!notInStore.isEmpty()) client->update(std::exchange(notInStore, {}));
      });
    }
    catchUp->start(kCatchUpMilliseconds);  // again: not while the pointer still paints
    return;
  }
  client->repaint(region + std::exchange(notInStore, {}));
}

QSize Form::Impl::SurfaceSize() const {
  const QTransform toSurface = ToSurface();
  if (toSurface.isIdentity()) return client->size();
  // Up to the last screen pixel of the window's buffer, whose size is its own rounded.
  const QPointF end = toSurface.map(QPointF(client->width(), client->height()));
  return QSize(std::max(1, int(std::lround(end.x()))), std::max(1, int(std::lround(end.y()))));
}

Form::Form() : impl_(std::make_unique<Impl>()) {
  KeepEveryPointerReport();  // here rather than at start, so that every program that makes windows keeps them
  impl_->form = this;
  impl_->window = new FormWindow(*this);
  impl_->client = new ClientArea(*this);
  impl_->window->setCentralWidget(impl_->client);
  impl_->back = FromQRgb(impl_->window->palette().color(QPalette::Window).rgb());
  impl_->EnsureSurface(1, 1);
}

Form::~Form() {
  if (impl_->window) delete impl_->window.data();
}

void Form::Show() {
  if (!impl_->loaded) {
    impl_->loaded = true;
    if (Load) Load();
  }
  if (impl_->window) {
    if (!impl_->window->isVisible()) impl_->LeaveRoomForOwned();
    // Owned before it is mapped, so that the window manager takes it for the owner's from the start (sway
    // floats it then, instead of tiling it beside its owner); again after, as mapping may rewrite the property.
    if (impl_->foreignOwner && !impl_->window->isVisible()) {
      impl_->window->winId();
      impl_->ApplyForeignOwner();
    }
    impl_->window->show();
    impl_->window->raise();
    if (QWindow* handle = impl_->window->windowHandle()) handle->installEventFilter(impl_->window);
    if (impl_->foreignOwner) impl_->ApplyForeignOwner();
    if (!impl_->exportedOwner.empty()) impl_->ApplyExportedOwner();
    for (const QPointer<FormWindow>& owned : std::exchange(impl_->ownedToShow, {}))
      if (owned) owned->form().ShowOwnedBy(*this);
  }
}

void Form::ShowOwnedBy(Form& owner) {
  FormWindow* w = impl_->window;
  if (!w) return;
  if (w->parentWidget() != owner.impl().window.data()) {
    // A narrow tool window: a caption and a close button, nothing to minimise or maximise.
    w->setParent(owner.impl().window, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowCloseButtonHint);
  }
  // Loaded now, as a shown form is, and on screen once its owner is.
  if (!owner.visible()) {
    if (!impl_->loaded) {
      impl_->loaded = true;
      if (Load) Load();
    }
    std::vector<QPointer<FormWindow>>& pending = owner.impl().ownedToShow;
    if (std::find(pending.begin(), pending.end(), w) == pending.end()) pending.emplace_back(w);
    return;
  }
  const bool shown = w->isVisible();
  Show();
  // Where the window system does not place a tool window by its owner, it is put there once.
  if (!shown && w->windowHandle() && owner.impl().window->windowHandle())
    PlaceBesideOwner(*owner.impl().window->windowHandle(), *w->windowHandle());
}

void Form::SetTransientForNative(uintptr_t nativeWindow) {
  impl_->foreignOwner = nativeWindow;
  impl_->ApplyForeignOwner();
}

bool Form::SetTransientForExported(const std::string& handle) {
  impl_->exportedOwner = handle;
  impl_->ApplyExportedOwner();
  return handle.empty() || CompositorImportsWindows();
}

void Form::Hide() {
  if (impl_->window) impl_->window->hide();
}

void Form::Close() {
  impl_->closingByProgram = true;
  if (impl_->window) impl_->window->close();
  impl_->closingByProgram = false;
  // A form that was never shown has no window-system close to run; unload it directly.
  if (impl_->loaded && impl_->window && !impl_->window->isVisible()) {
    int16_t cancel = 0;
    if (QueryUnload) QueryUnload(cancel, kClosedByProgram);
    if (!cancel && Unload) Unload(cancel);
    if (!cancel) {
      impl_->loaded = false;
      if (impl_->unloaded) impl_->unloaded();
    }
  }
}

void Form::SetFocus() {
  if (!impl_->window || !impl_->window->isVisible()) return;
  impl_->window->raise();
  impl_->window->activateWindow();
  impl_->window->setFocus(Qt::OtherFocusReason);
}

bool Form::loaded() const { return impl_->loaded; }
bool Form::visible() const { return impl_->window && impl_->window->isVisible(); }

WindowState Form::windowState() const {
  if (!impl_->window) return WindowState::Normal;
  const Qt::WindowStates s = impl_->window->windowState();
  if (s & Qt::WindowMinimized) return WindowState::Minimized;
  if (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) return WindowState::Maximized;
  return WindowState::Normal;
}

void Form::SetCaption(const std::string& caption) {
  if (impl_->window) impl_->window->setWindowTitle(QString::fromStdString(caption));
}

std::string Form::caption() const { return impl_->window ? impl_->window->windowTitle().toStdString() : std::string(); }

int32_t Form::clientWidth() const { return impl_->SurfaceSize().width(); }
int32_t Form::clientHeight() const { return impl_->SurfaceSize().height(); }

namespace {
// The least length from length on that is a whole number of screen pixels at scale (at 125 %: a multiple of
// 4 points). A compositor places a window's buffer on the screen pixels its edges round to, and stretches
// it when their count is not the buffer's.
int WholeOnScreen(int length, qreal scale) {
  for (int l = length; l < length + 120; ++l)
    if (std::abs(l * scale - std::round(l * scale)) < 1e-6) return l;
  return length;
}

// The client area width x height client points, or a little more where a fractional scale needs it.
void ResizeClient(Form::Impl& impl, int width, int height) {
  FormWindow* w = impl.window;
  if (!w) return;
  // The window's outer size is the client size plus whatever the menu bar takes.
  const int menu = w->menuWidget() ? w->menuWidget()->sizeHint().height() : 0;
  const qreal scale = impl.ToSurface().m11();
  width = WholeOnScreen(std::max(1, width), scale);
  height = WholeOnScreen(std::max(1, height) + menu, scale) - menu;
  w->resize(width, height + menu);
  // Without a window system answering (or before the first show), lay the client out at once.
  impl.client->resize(width, height);
}
}  // namespace

void Form::SetClientSize(int32_t width, int32_t height) {
  const QSize size = ClientSizeFor(*impl_, width, height);
  ResizeClient(*impl_, size.width(), size.height());
}

void Form::SetClientSizeOnScreen(int32_t width, int32_t height) {
  FormWindow* w = impl_->window;
  if (!w) return;
  const QSize wanted = ClientSizeFor(*impl_, width, height);
  const QWidget* menu = w->menuWidget();
  const int menuHeight = menu ? menu->sizeHint().height() : 0;
  // The caption needs its text and, beside it, room for the window manager's buttons.
  const int captionWidth = w->fontMetrics().horizontalAdvance(w->windowTitle()) + 160;
  const int least = std::max(menu ? menu->sizeHint().width() : 0, captionWidth);
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!screen) {
    ResizeClient(*impl_, std::max(wanted.width(), least), wanted.height());
    return;
  }
  // The frame is known once the window was shown; before, a title bar and borders of a usual size.
  QSize frame(16, 48);
  if (w->isVisible()) frame = w->frameGeometry().size() - w->geometry().size();
  const QRect free = screen->availableGeometry();
  const int most = std::max(1, free.width() - frame.width());
  const int tallest = std::max(1, free.height() - frame.height() - menuHeight);
  ResizeClient(*impl_, std::clamp(wanted.width(), std::min(least, most), most), std::min(wanted.height(), tallest));
}

void Form::SetMousePointer(MousePointer pointer) {
  impl_->pointer = pointer;
  switch (pointer) {
    case MousePointer::Arrow: impl_->client->setCursor(Qt::ArrowCursor); break;
    case MousePointer::Crosshair: impl_->client->setCursor(Qt::CrossCursor); break;
    case MousePointer::SizeAll: impl_->client->setCursor(Qt::SizeAllCursor); break;
    case MousePointer::Default: impl_->client->unsetCursor(); break;
  }
}

MousePointer Form::mousePointer() const { return impl_->pointer; }

void Form::SetToolTip(const std::string& text) { impl_->client->setToolTip(QString::fromStdString(text)); }

void Form::UseScreenPixels() { impl_->screenPixels = true; }

void Form::AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, std::function<void()> onClick) {
  QMenuBar* bar = impl_->window->menuBar();
  QMenu* menu = nullptr;
  for (QAction* a : bar->actions())
    if (a->menu() && a->text() == QString::fromStdString(menuCaption)) menu = a->menu();
  if (!menu) menu = bar->addMenu(QString::fromStdString(menuCaption));
  QAction* item = menu->addAction(QString::fromStdString(itemCaption));
  QObject::connect(item, &QAction::triggered, item, [onClick = std::move(onClick)] { Dispatch(onClick); });
}

Color Form::backColor() const { return impl_->back; }

void Form::SetBackColor(Color color) {
  impl_->back = color & 0xFFFFFF;
  QPalette palette = impl_->window->palette();
  palette.setColor(QPalette::Window, ToQColor(impl_->back));
  impl_->window->setPalette(palette);
}

void Form::FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
  QRect box = QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)))
                  .intersected(QRect(0, 0, clientWidth(), clientHeight()));
  if (box.isEmpty()) return;
  impl_->EnsureSurface(clientWidth(), clientHeight());
  const QRgb rgb = ToQColor(color).rgb();
  for (int y = box.top(); y <= box.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(impl_->surface.scanLine(y));
    std::fill(line + box.left(), line + box.right() + 1, rgb);
  }
  impl_->UpdatePixels(box);
}

void Form::CopyFromBitmap(const MemoryBitmap& bitmap, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                          int32_t sy) {
  const BitmapPart part{dx, dy, w, h, sx, sy};
  CopyFromBitmap(bitmap, std::span(&part, 1));
}

void Form::CopyFromBitmap(const MemoryBitmap& bitmap, std::span<const BitmapPart> parts) {
  if (!bitmap.exists()) return;
  // The client's size and the surface's rows are taken once: each asks the window system about the screen,
  // and each scanLine call would check again whether the image is shared.
  const QRect client(0, 0, clientWidth(), clientHeight());
  impl_->EnsureSurface(client.width(), client.height());
  uchar* const surface = impl_->surface.bits();
  const size_t toStride = size_t(impl_->surface.bytesPerLine());
  const size_t fromStride = size_t(bitmap.width()) * 4;
  QRect changed;
  for (const BitmapPart& part : parts) {
    if (part.w <= 0 || part.h <= 0) continue;
    // Clip the source to the bitmap and the destination to the client area, moving both corners together.
    const QRect source =
        QRect(part.sx, part.sy, part.w, part.h).intersected(QRect(0, 0, bitmap.width(), bitmap.height()));
    const QRect target = source.translated(part.dx - part.sx, part.dy - part.sy).intersected(client);
    if (target.isEmpty()) continue;
    const int fromX = target.left() - (part.dx - part.sx), fromY = target.top() - (part.dy - part.sy);
    const size_t rowBytes = size_t(target.width()) * 4;
    uchar* to = surface + size_t(target.top()) * toStride + size_t(target.left()) * 4;
    const uint8_t* from = bitmap.bits() + (size_t(fromY) * size_t(bitmap.width()) + size_t(fromX)) * 4;
    for (int row = 0; row < target.height(); ++row, to += toStride, from += fromStride) std::memcpy(to, from, rowBytes);
    changed |= target;
  }
  if (!changed.isEmpty()) impl_->UpdatePixels(changed);
}

Color Form::SurfacePixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= clientWidth() || y >= clientHeight() || x >= impl_->surface.width() ||
      y >= impl_->surface.height())
    return Color(-1);
  return FromQRgb(impl_->surface.pixel(x, y));
}

}  // namespace brisel::platform
