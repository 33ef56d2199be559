// Long work on a worker thread while the windows stay painted, with a busy pointer and, past half a
// second, a window that says what is being done.

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>

#include <chrono>
#include <exception>
#include <future>
#include <thread>

#include "platform/program.h"
#include "platform/qt/form_impl.h"
#include "platform/qt/screen_qt.h"

namespace brisel::platform {
namespace {

constexpr auto kQuietTime = std::chrono::milliseconds(500);

// What the user sees while the work runs: a line of text over a bar that moves without claiming a share
// done, since an encoder does not say how far it got. It cannot be closed or dismissed.
class ProgressWindow final : public QDialog {
 public:
  explicit ProgressWindow(const QString& what) {
    setWindowTitle(kProgramName);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(what, this));
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);
    bar->setMinimumWidth(320);
    layout->addWidget(bar);
  }

 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  void reject() override {}  // Escape
};

// Swallows input and closing for every window but the progress window while the work runs, so that no
// handler of the program runs halfway through it; a modal window alone does not stop a close request
// that arrived before it was shown.
class InputBlocker final : public QObject {
 public:
  explicit InputBlocker(const QWidget* allowed) : allowed_(allowed) { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    if (target == allowed_ || (target->isWidgetType() && static_cast<QWidget*>(target)->window() == allowed_))
      return false;
    switch (event->type()) {
      case QEvent::Close:
        event->ignore();
        return true;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::ContextMenu:
      case QEvent::TabletPress:
      case QEvent::TabletMove:
      case QEvent::TabletRelease:
        return true;
      default:
        return false;
    }
  }

 private:
  const QWidget* allowed_;
};

}  // namespace

BusyCursor::BusyCursor() {
  if (!qApp) return;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  QGuiApplication::sync();  // shown now, not when the loop next runs
}

BusyCursor::~BusyCursor() {
  if (qApp) QGuiApplication::restoreOverrideCursor();
}

void RunLongWork(const std::string& what, const std::function<void()>& work) {
  if (!qApp || HeadlessPlatform() || QThread::currentThread() != qApp->thread()) {
    work();
    return;
  }
  BusyCursor busy;
  QEventLoop loop;
  std::promise<void> finished;
  std::future<void> outcome = finished.get_future();
  std::thread worker([&] {
    try {
      work();
      finished.set_value();
    } catch (...) {
      finished.set_exception(std::current_exception());
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Short work leaves the windows as they are: nothing flashes up.
  if (outcome.wait_for(kQuietTime) != std::future_status::ready) {
    ProgressWindow window(QString::fromStdString(what));
    InputBlocker blocker(&window);
    window.show();
    // An application told to quit meanwhile ends the loop early: the window stays until the work is done.
    while (outcome.wait_for(std::chrono::seconds(0)) != std::future_status::ready) loop.exec();
    window.hide();
  }
  worker.join();
  outcome.get();  // throws what the work threw
}

}  // namespace brisel::platform
