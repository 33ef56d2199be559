// The timer over QTimer; the termination signals through a self-pipe that a QSocketNotifier watches, so
// that the work is done in the event loop and the handler only writes one byte; the last words hooked into
// std::terminate, Qt's fatal messages and its word that the display connection is gone.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>

#include "platform/lifecycle.h"
#include "platform/window.h"

namespace brisel::platform {

// ---- timer -----------------------------------------------------------------------------------------

struct RepeatingTimer::Impl {
  QTimer timer;
  std::function<void()> tick;
};

RepeatingTimer::RepeatingTimer() : impl_(std::make_unique<Impl>()) {
  QObject::connect(&impl_->timer, &QTimer::timeout, [impl = impl_.get()] {
    if (impl->tick) Dispatch(impl->tick);
  });
}

RepeatingTimer::~RepeatingTimer() = default;

void RepeatingTimer::Start(int32_t intervalMilliseconds, std::function<void()> tick) {
  impl_->tick = std::move(tick);
  impl_->timer.start(std::max(1, intervalMilliseconds));
}

void RepeatingTimer::Stop() {
  impl_->timer.stop();
  impl_->tick = nullptr;
}

bool RepeatingTimer::active() const { return impl_->timer.isActive(); }

// ---- termination signals ---------------------------------------------------------------------------

namespace {

int gSignalPipe[2] = {-1, -1};
std::function<bool(int)> gOnSignal;
QPointer<QSocketNotifier> gSignalNotifier;

// Async-signal-safe: one byte, the signal's number, into the pipe.
void NoteSignal(int signal) {
  const int saved = errno;
  const char number = char(signal);
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &number, 1);
  errno = saved;
}

void OnSignalByte() {
  char number = 0;
  if (::read(gSignalPipe[0], &number, 1) != 1) return;
  const int signal = number;
  try {
    if (gOnSignal && !gOnSignal(signal)) return;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisel: %s\n", e.what());
  }
  // Ended by the signal itself, as the sender expects; nothing of the toolkit's shutdown is needed.
  std::fflush(nullptr);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

const char* SignalName(int signal) {
  switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGINT: return "SIGINT";
    case SIGQUIT: return "SIGQUIT";
    default: return "a signal";
  }
}

namespace {

// Whether the signal was ignored when the program started (SIGHUP under nohup): it stays ignored. Asked
// once per signal, before the program first catches it.
bool IgnoredAtStart(int signal) {
  static int known = 0, ignored = 0;
  const int bit = 1 << signal;
  if (!(known & bit)) {
    struct sigaction now {};
    if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) ignored |= bit;
    known |= bit;
  }
  return ignored & bit;
}

}  // namespace

void OnTerminationSignal(std::function<bool(int signal)> onSignal) {
  for (const int signal : kTerminationSignals) IgnoredAtStart(signal);
  gOnSignal = std::move(onSignal);
  if (!gOnSignal) {
    for (const int signal : kTerminationSignals)
      if (!IgnoredAtStart(signal)) ::signal(signal, SIG_DFL);
    return;
  }
  // A write past the file size limit (ulimit -f) fails with EFBIG, as a full disk does, with its question and
  // its copy, instead of ending the program with neither.
  ::signal(SIGXFSZ, SIG_IGN);
  if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::fprintf(stderr, "brisel: warning: termination signals cannot be caught (%s)\n", std::strerror(errno));
    return;
  }
  if (!gSignalNotifier) {
    gSignalNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(gSignalNotifier.data(), &QSocketNotifier::activated, [] { OnSignalByte(); });
  }
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kTerminationSignals)
    if (!IgnoredAtStart(signal)) ::sigaction(signal, &action, nullptr);
}

// ---- last words ------------------------------------------------------------------------------------

namespace {

std::function<std::string()> gLastWords;
bool gLastWordsSaid = false;
std::string gLastSentence;
std::recursive_mutex gLastWordsLock;  // the toolkit may report a lost connection from a thread of its own
std::terminate_handler gPreviousTerminate = nullptr;
QtMessageHandler gPreviousMessageHandler = nullptr;

void TerminateWithLastWords() {
  const std::string words = SayLastWords();
  if (!words.empty()) std::fprintf(stderr, "brisel: %s\n", words.c_str());
  if (gPreviousTerminate) gPreviousTerminate();
  std::abort();
}

// Qt's platform plug-ins say this, then end the process themselves (exit or _exit, as a warning or a fatal
// message, depending on the plug-in and its version).
bool SaysDisplayIsGone(const QString& message) {
  return message.startsWith(QLatin1String("The X11 connection broke")) ||
         message.startsWith(QLatin1String("The Wayland connection broke")) ||
         message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

// The Wayland plug-in reports a lost compositor from its event thread and again from the main thread: the
// user is told once, and the second report only waits for the first one's ending.
std::atomic<bool> gDisplayGoneTold{false};

void MessagesWithLastWords(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool displayGone = SaysDisplayIsGone(message);
  const bool toldBefore = displayGone && gDisplayGoneTold.exchange(true);
  if (toldBefore) {
  } else if (gPreviousMessageHandler) {
    gPreviousMessageHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  }
  if (type == QtFatalMsg || displayGone) {
    const std::string words = SayLastWords();
    if (!words.empty() && !toldBefore) std::fprintf(stderr, "brisel: %s\n", words.c_str());
  }
  if (displayGone) {
    // No window can be drawn or closed any more, and the toolkit's own teardown may wait for a display that
    // never answers: the painting is kept, so end here.
    std::fflush(nullptr);
    ::_exit(1);
  }
}

}  // namespace

void SetLastWords(std::function<std::string()> lastWords) {
  std::lock_guard<std::recursive_mutex> hold(gLastWordsLock);
  gLastWords = std::move(lastWords);
  gLastWordsSaid = false;
  gLastSentence.clear();
  static bool hooked = false;
  if (gLastWords && !hooked) {
    hooked = true;
    gPreviousTerminate = std::set_terminate(TerminateWithLastWords);
    gPreviousMessageHandler = qInstallMessageHandler(MessagesWithLastWords);
  }
}

std::string SayLastWords() {
  std::lock_guard<std::recursive_mutex> hold(gLastWordsLock);
  if (!gLastWords || gLastWordsSaid) return gLastSentence;
  gLastWordsSaid = true;
  try {
    gLastSentence = gLastWords();
  } catch (...) {
    gLastSentence.clear();  // words that fail say nothing: the report itself must still go out
  }
  return gLastSentence;
}

}  // namespace brisel::platform
