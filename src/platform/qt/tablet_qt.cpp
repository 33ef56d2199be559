// The tablet over Qt's tablet events, which serve X11 and Wayland alike.
//
// Qt reports the pen in window and screen pixels with pressure 0..1; the program expects tablet units over
// the whole screen with y growing upward, a pressure maximum and an altitude. So a packet carries
// X = (screen x + 0.5) / screen width * extent, Y = (1 - (screen y + 0.5) / screen height) * extent: the
// program's mapping back (which takes half a pixel off) then lands on the pen's own client pixel. The eraser
// end, which Qt reports as its own pointer type, has a negative altitude. Where the canvas counts screen
// pixels (Form::UseScreenPixels), so do the screen's size and positions here, so that the pen maps back to them.

#include <QApplication>
#include <QGuiApplication>
#include <QInputDevice>
#include <QPointer>
#include <QPointingDevice>
#include <QScreen>
#include <QTabletEvent>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "platform/qt/form_impl.h"
#include "platform/qt/input_qt.h"
#include "platform/tablet.h"

namespace brisel::platform {
namespace {

constexpr int32_t kExtent = 1 << 20;       // tablet units across the screen, each way
constexpr int32_t kMaxPressure = 1023;
constexpr int32_t kAltitudeUp = 900;       // tenths of a degree: the pen standing on its tip

bool gPenSeen = false;  // a pen's event is arriving, whatever devices Qt lists
double gPenScale = 1;   // screen pixels per toolkit unit in the pen's form, as its packets count them

bool PlatformHasTablet() {
  if (gPenSeen) return true;
  for (const QInputDevice* device : QInputDevice::devices()) {
    const auto type = device->type();
    if (type == QInputDevice::DeviceType::Stylus || type == QInputDevice::DeviceType::Airbrush ||
        type == QInputDevice::DeviceType::Puck)
      return true;
  }
  return false;
}

QRect ScreenRect() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->virtualGeometry() : QRect(0, 0, 1, 1);
}

bool IsPenEvent(QEvent::Type type) {
  return type == QEvent::TabletEnterProximity || type == QEvent::TabletPress || type == QEvent::TabletMove ||
         type == QEvent::TabletRelease;
}

// Waits for the first pen event of the application. Disarmed, not removed, once it has told: it runs inside
// the application's event filtering, whose list a new Tablet's filter joins.
class TabletWatcher final : public QObject {
 public:
  std::function<void()> appeared;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (appeared && IsPenEvent(event->type())) {
      // The pen's device may not be listed yet: a Tablet made now takes the event's word for it.
      gPenSeen = true;
      std::exchange(appeared, nullptr)();
      gPenSeen = false;
    }
    return QObject::eventFilter(watched, event);
  }
};

QPointer<TabletWatcher> gWatcher;  // gone with the application object it belongs to

}  // namespace

void WatchForTablet(std::function<void()> appeared) {
  if (!qApp) return;
  if (!gWatcher) {
    gWatcher = new TabletWatcher;
    gWatcher->setParent(qApp);
    qApp->installEventFilter(gWatcher);
  }
  gWatcher->appeared = appeared ? [appeared] { Dispatch(appeared); } : std::function<void()>();
}

struct Tablet::Impl : public QObject {
  Tablet* owner = nullptr;
  QPointer<FormWindow> window;
  Form* form = nullptr;
  std::set<std::string> contexts;
  std::string selected;
  bool enabled = false, contextEnabled = false;
  int32_t outputX = kExtent, outputY = kExtent;
  bool inProximity = false;

  bool live() const { return enabled && contextEnabled && !selected.empty() && contexts.count(selected); }

  void Proximity(bool in) {
    inProximity = in;
    if (!owner->ProximityChange) return;
    int16_t isIn = in ? -1 : 0, physical = -1;
    int32_t handle = 1;
    std::string name = selected;
    Dispatch([&] { owner->ProximityChange(isIn, physical, handle, name); });
  }

  bool OnTabletEvent(QTabletEvent& event) {
    if (!live() || !form) return false;
    // Without proximity events (X11 sends them only with some drivers) the pen's first event says it is here.
    if (!inProximity) Proximity(true);
    const QTransform toSurface = form->impl().ToSurface();
    gPenScale = toSurface.m11();
    const QPointF global = (event.globalPosition() - QPointF(ScreenRect().topLeft())) * gPenScale;
    int32_t context = 1, cursor = event.pointerType() == QPointingDevice::PointerType::Eraser ? 2 : 1;
    int32_t X = int32_t(std::lround((global.x() + 0.5) / ScreenWidth() * outputX));
    int32_t Y = int32_t(std::lround((1.0 - (global.y() + 0.5) / ScreenHeight()) * outputY));
    int32_t Z = 0, packetButtons = int32_t(event.buttons());
    int32_t pressure = int32_t(std::lround(std::clamp(event.pressure(), 0.0, 1.0) * kMaxPressure));
    int32_t tangent = 0, azimuth = 0;
    int32_t altitude = event.pointerType() == QPointingDevice::PointerType::Eraser ? -kAltitudeUp : kAltitudeUp;
    int32_t twist = 0, pitch = 0, roll = 0, yaw = 0, serial = 0, time = int32_t(event.timestamp());
    if (owner->PacketArrival)
      Dispatch([&] {
        owner->PacketArrival(context, cursor, X, Y, Z, packetButtons, pressure, tangent, azimuth, altitude, twist,
                             pitch, roll, yaw, serial, time);
      });
    // Then the pen acts as the pointer, exactly once.
    switch (event.type()) {
      case QEvent::TabletPress:
        ForwardPress(form->MouseDown, event, toSurface);
        break;
      case QEvent::TabletMove:
        ForwardMove(form->MouseMove, event, toSurface);
        break;
      case QEvent::TabletRelease:
        ForwardRelease(form->MouseUp, event, toSurface);
        break;
      default:
        break;
    }
    return true;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (live() && event->type() == QEvent::TabletEnterProximity) Proximity(true);
    if (live() && event->type() == QEvent::TabletLeaveProximity) Proximity(false);
    return QObject::eventFilter(watched, event);
  }

  void Unbind() {
    if (form) {
      form->impl().tabletEvent = nullptr;
      form->impl().mouseUsed = nullptr;
    }
    form = nullptr;
  }
};

Tablet::Tablet() : impl_(std::make_unique<Impl>()) {
  if (!qApp || !PlatformHasTablet()) throw Error(errors::kCannotCreateObject, "No tablet");
  impl_->owner = this;
  qApp->installEventFilter(impl_.get());
}

Tablet::~Tablet() {
  impl_->Unbind();
  if (qApp) qApp->removeEventFilter(impl_.get());
}

void Tablet::SetWindow(Form& window) {
  if (impl_->form == &window) return;
  impl_->Unbind();
  impl_->form = &window;
  Impl* impl = impl_.get();
  window.impl().tabletEvent = [impl](QTabletEvent& e) { return impl->OnTabletEvent(e); };
  // The mouse moving by itself means the pen has gone.
  window.impl().mouseUsed = [impl] {
    if (impl->inProximity && impl->live()) impl->Proximity(false);
  };
}

void Tablet::AddContext(const std::string& name) { impl_->contexts.insert(name); }

void Tablet::SelectContext(const std::string& name) {
  if (!impl_->contexts.count(name)) throw Error(errors::kInvalidCall, "Invalid procedure call or argument");
  impl_->selected = name;
}

void Tablet::RemoveContext(const std::string& name) {
  impl_->contexts.erase(name);
  if (impl_->selected == name) impl_->selected.clear();
}

void Tablet::SetEnabled(bool on) { impl_->enabled = on; }
void Tablet::SetContextEnabled(bool on) {
  if (impl_->selected.empty()) throw Error(errors::kObjectNotSet, "No tablet context selected");
  impl_->contextEnabled = on;
}
int32_t Tablet::ExtentX() const { return kExtent; }
int32_t Tablet::ExtentY() const { return kExtent; }
void Tablet::SetOutputExtents(int32_t x, int32_t y) {
  impl_->outputX = x > 0 ? x : kExtent;
  impl_->outputY = y > 0 ? y : kExtent;
}
float Tablet::MaxPressure() const { return float(kMaxPressure); }

int32_t ScreenWidth() { return int32_t(std::lround(ScreenRect().width() * gPenScale)); }
int32_t ScreenHeight() { return int32_t(std::lround(ScreenRect().height() * gPenScale)); }

void ClientToScreen(const Form& window, int32_t& x, int32_t& y) {
  const Form::Impl& impl = const_cast<Form&>(window).impl();
  const QTransform toSurface = impl.ToSurface();
  const QPointF client = toSurface.inverted().map(QPointF(x, y));
  const QPointF global = (impl.client->mapToGlobal(client) - QPointF(ScreenRect().topLeft())) * toSurface.m11();
  x = int32_t(std::lround(global.x()));
  y = int32_t(std::lround(global.y()));
}

}  // namespace brisel::platform
