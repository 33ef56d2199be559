// Forms over Qt widgets: a QMainWindow (caption, menu bar, keys, close) around a client area that
// presents the form's persistent surface.

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QTabletEvent>
#include <QToolTip>

#include <xcb/xcb.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/lifecycle.h"
#include "platform/qt/form_impl.h"

namespace brisel::platform {
namespace {

std::function<MessageBoxAnswer(const std::string&, const std::string&)> gAnswerer;
std::function<std::optional<int>(const std::vector<std::string>&)> gPopupChooser;
std::function<void(const Error&)> gFatalHook;

}  // namespace

// Modal boxes would wait forever for a user on a platform without a screen.
bool HeadlessPlatform() {
  const QString name = QGuiApplication::platformName();
  return name == "offscreen" || name == "minimal";
}

// ---- conversions ----------------------------------------------------------------------------------

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
int16_t VirtualKeyCode(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return int16_t('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(event.modifiers() & Qt::KeypadModifier))
    return int16_t('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return int16_t(112 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Delete: return 46;
    default: return 0;
  }
}

namespace {
void Forward(const Form::MouseHandler& handler, int16_t button, const QSinglePointEvent& event) {
  if (!handler) return;
  const QPointF p = event.position();
  Dispatch([&] { handler(button, ShiftBits(event.modifiers()), float(p.x()), float(p.y())); });
}
}  // namespace

void ForwardPress(const Form::MouseHandler& handler, const QSinglePointEvent& event) {
  Forward(handler, ButtonBit(event.button()), event);
}
void ForwardMove(const Form::MouseHandler& handler, const QSinglePointEvent& event) {
  Forward(handler, ButtonBits(event.buttons()), event);
}
void ForwardRelease(const Form::MouseHandler& handler, const QSinglePointEvent& event) {
  Forward(handler, ButtonBit(event.button()), event);
}

QColor ToQColor(Color color) { return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF)); }
Color FromQRgb(QRgb rgb) { return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

// ---- client area -----------------------------------------------------------------------------------

ClientArea::ClientArea(Form& form) : form_(form) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void ClientArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QImage& surface = form_.impl().surface;
  for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), surface, r);
}

void ClientArea::resizeEvent(QResizeEvent*) {
  Form::Impl& impl = form_.impl();
  impl.EnsureSurface(width(), height());
  // The window system asks for a repaint of what it exposed, as it would of any window.
  if (impl.loaded && form_.Paint) Dispatch(form_.Paint);
}

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
}

void ClientArea::mousePressEvent(QMouseEvent* event) {
  NoteRealMouse(form_, *event);
  ForwardPress(form_.MouseDown, *event);
}

void ClientArea::mouseMoveEvent(QMouseEvent* event) {
  NoteRealMouse(form_, *event);
  ForwardMove(form_.MouseMove, *event);
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event) {
  ForwardRelease(form_.MouseUp, *event);
}

// ---- top-level window ------------------------------------------------------------------------------

FormWindow::FormWindow(Form& form) : form_(form) { setFocusPolicy(Qt::StrongFocus); }

void FormWindow::closeEvent(QCloseEvent* event) {
  int16_t cancel = 0;
  if (form_.Unload && form_.impl().loaded) Dispatch([&] { form_.Unload(cancel); });
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
}

// ---- Form ------------------------------------------------------------------------------------------

// Qt marks only dialogs and tool windows as transient, and only for windows of its own; a top-level
// window kept above another program's gets the X11 property directly.
void Form::Impl::ApplyForeignOwner() {
  if (!window) return;
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return;
  xcb_connection_t* connection = x11->connection();
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

Form::Form() : impl_(std::make_unique<Impl>()) {
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
    impl_->window->show();
    impl_->window->raise();
    if (impl_->foreignOwner) impl_->ApplyForeignOwner();
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
  Show();
}

void Form::SetTransientForNative(uintptr_t nativeWindow) {
  impl_->foreignOwner = nativeWindow;
  impl_->ApplyForeignOwner();
}

void Form::Hide() {
  if (impl_->window) impl_->window->hide();
}

void Form::Close() {
  if (impl_->window) impl_->window->close();
  // A form that was never shown has no window-system close to run; unload it directly.
  if (impl_->loaded && impl_->window && !impl_->window->isVisible()) {
    int16_t cancel = 0;
    if (Unload) Unload(cancel);
    if (!cancel) {
      impl_->loaded = false;
      if (impl_->unloaded) impl_->unloaded();
    }
  }
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

int32_t Form::clientWidth() const { return impl_->client->width(); }
int32_t Form::clientHeight() const { return impl_->client->height(); }

void Form::SetClientSize(int32_t width, int32_t height) {
  FormWindow* w = impl_->window;
  if (!w) return;
  // The window's outer size is the client size plus whatever the menu bar takes.
  const int menu = w->menuWidget() ? w->menuWidget()->sizeHint().height() : 0;
  w->resize(std::max(1, width), std::max(1, height) + menu);
  // Without a window system answering (or before the first show), lay the client out at once.
  impl_->client->resize(std::max(1, width), std::max(1, height));
}

void Form::SetClientSizeOnScreen(int32_t width, int32_t height) {
  FormWindow* w = impl_->window;
  if (!w) return;
  const QWidget* menu = w->menuWidget();
  const int menuHeight = menu ? menu->sizeHint().height() : 0;
  // The caption needs its text and, beside it, room for the window manager's buttons.
  const int captionWidth = w->fontMetrics().horizontalAdvance(w->windowTitle()) + 160;
  const int least = std::max(menu ? menu->sizeHint().width() : 0, captionWidth);
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!screen) {
    SetClientSize(std::max(width, least), height);
    return;
  }
  // The frame is known once the window was shown; before, a title bar and borders of a usual size.
  QSize frame(16, 48);
  if (w->isVisible()) frame = w->frameGeometry().size() - w->geometry().size();
  const QRect free = screen->availableGeometry();
  const int most = std::max(1, free.width() - frame.width());
  const int tallest = std::max(1, free.height() - frame.height() - menuHeight);
  SetClientSize(std::clamp(width, std::min(least, most), most), std::min(height, tallest));
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
  impl_->client->update(box);
}

void Form::CopyFromBitmap(const MemoryBitmap& bitmap, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                          int32_t sy) {
  if (!bitmap.exists() || w <= 0 || h <= 0) return;
  impl_->EnsureSurface(clientWidth(), clientHeight());
  // Clip the source to the bitmap and the destination to the client area, moving both corners together.
  const QRect source = QRect(sx, sy, w, h).intersected(QRect(0, 0, bitmap.width(), bitmap.height()));
  QRect target = source.translated(dx - sx, dy - sy).intersected(QRect(0, 0, clientWidth(), clientHeight()));
  if (target.isEmpty()) return;
  const int fromX = target.left() - (dx - sx), fromY = target.top() - (dy - sy);
  const size_t rowBytes = size_t(target.width()) * 4;
  for (int row = 0; row < target.height(); ++row) {
    const uint8_t* from = bitmap.bits() + (size_t(fromY + row) * size_t(bitmap.width()) + size_t(fromX)) * 4;
    uchar* to = impl_->surface.scanLine(target.top() + row) + size_t(target.left()) * 4;
    std::memcpy(to, from, rowBytes);
  }
  impl_->client->update(target);
}

Color Form::SurfacePixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= clientWidth() || y >= clientHeight() || x >= impl_->surface.width() ||
      y >= impl_->surface.height())
    return Color(-1);
  return FromQRgb(impl_->surface.pixel(x, y));
}

// ---- bitmap ----------------------------------------------------------------------------------------

namespace {
uint64_t gBitmapLimit = uint64_t(1) << 30;  // 1 GiB: beyond it a zoom is refused, not attempted
}

void SetBitmapSizeLimit(uint64_t bytes) { gBitmapLimit = bytes; }
uint64_t BitmapSizeLimit() { return gBitmapLimit; }

bool MemoryBitmap::Create(int32_t width, int32_t height) {
  Free();
  if (width < 0 || height < 0) return false;
  const uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
  if (bytes > gBitmapLimit) return false;
  try {
    // An empty zoomed image still gets a bitmap, of one pixel, so that "exists" means "was made".
    pixels_.assign(std::max<uint64_t>(bytes, 4), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void MemoryBitmap::Free() {
  std::vector<uint8_t>().swap(pixels_);
  width_ = height_ = 0;
}

std::string WholeScaleFactors(const std::string& factors) {
  // Each number in "1.5", "1.25;2" or "DP-1=1.5;HDMI-1=1" to the nearest whole one (halves up), at least 1.
  std::string out;
  size_t i = 0;
  while (i < factors.size()) {
    const size_t end = factors.find_first_of(";,", i);
    std::string item = factors.substr(i, end == std::string::npos ? std::string::npos : end - i);
    const size_t equals = item.find('=');
    const size_t at = equals == std::string::npos ? 0 : equals + 1;
    // A point for the decimals whatever the locale, as Qt reads them.
    double factor = 0;
    const char* first = item.data() + at;
    const char* last = item.data() + item.size();
    const auto [rest, error] = std::from_chars(first, last, factor);
    if (error == std::errc() && rest == last && rest != first && factor > 0 && std::isfinite(factor))
      item = item.substr(0, at) + std::to_string(std::max(1L, std::lround(factor)));
    out += item;
    if (end == std::string::npos) break;
    out += factors[end];
    i = end + 1;
  }
  return out;
}

void UseWholeScaleFactors() {
  if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR_ROUNDING_POLICY")) return;
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  // Factors the desktop sets for Qt programs are not rounded by that policy: they are rounded here.
  for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"})
    if (const char* value = std::getenv(name)) setenv(name, WholeScaleFactors(value).c_str(), 1);
}

bool CanOwnNativeWindows() { return QGuiApplication::platformName() == "xcb"; }

// ---- dialogs and errors ----------------------------------------------------------------------------

std::optional<int> PopupMenu(Form& owner, const std::vector<std::string>& items) {
  if (gPopupChooser) return gPopupChooser(items);
  QMenu menu(owner.impl().window);
  for (size_t i = 0; i < items.size(); ++i) menu.addAction(QString::fromStdString(items[i]))->setData(int(i));
  QAction* chosen = menu.exec(QCursor::pos());
  if (!chosen) return std::nullopt;
  return chosen->data().toInt();
}

MessageBoxAnswer AskYesNo(const std::string& title, const std::string& text) {
  if (gAnswerer) return gAnswerer(title, text);
  if (HeadlessPlatform()) {
    std::fprintf(stderr, "%s: %s (answered No: no screen to ask on)\n", title.c_str(), text.c_str());
    return MessageBoxAnswer::No;
  }
  const std::unique_ptr<QMessageBox> box = MakeYesNoBox(title, text);
  return box->exec() == QMessageBox::Yes ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& title, const std::string& text) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QString::fromStdString(title),
                                           QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  return box;
}

void ShowMessage(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "brisel: %s\n", text.c_str());
  if (gAnswerer) {
    gAnswerer(title, text);
    return;
  }
  if (!HeadlessPlatform()) QMessageBox::warning(nullptr, QString::fromStdString(title), QString::fromStdString(text));
}

void ReportFatal(const Error& error) {
  // The last words (a recovery copy of the painting) come first, so that even a test that catches the
  // report finds them done.
  const std::string lastWords = SayLastWords();
  if (gFatalHook) gFatalHook(error);
  std::fprintf(stderr, "brisel: error %d: %s\n", error.number(), error.what());
  if (!lastWords.empty()) std::fprintf(stderr, "brisel: %s\n", lastWords.c_str());
  std::fflush(stderr);
  if (qApp && !HeadlessPlatform())
    QMessageBox::critical(nullptr, "Brisel", QString("Run-time error '%1':\n\n%2\n\n%3")
                                                 .arg(error.number())
                                                 .arg(error.what())
                                                 .arg(QString::fromStdString(lastWords)));
  std::exit(1);
}

void Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const Error& e) {
    ReportFatal(e);
  } catch (const std::bad_alloc&) {
    ReportFatal(Error(7, "Out of memory"));
  } catch (const std::exception& e) {
    ReportFatal(Error(51, std::string("Internal error: ") + e.what()));
  }
}

void SetMessageBoxAnswerer(std::function<MessageBoxAnswer(const std::string&, const std::string&)> answerer) {
  gAnswerer = std::move(answerer);
}
void SetPopupMenuChooser(std::function<std::optional<int>(const std::vector<std::string>&)> chooser) {
  gPopupChooser = std::move(chooser);
}
void SetFatalErrorHook(std::function<void(const Error&)> hook) { gFatalHook = std::move(hook); }

void ProcessEvents() { QCoreApplication::processEvents(); }

void RunUntilUnloaded(Form& form) {
  if (!form.loaded()) return;
  QEventLoop loop;
  form.impl().unloaded = [&loop] { loop.quit(); };
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
  loop.exec();
  form.impl().unloaded = nullptr;
}

}  // namespace brisel::platform
