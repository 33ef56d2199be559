// Brisel on a Krita layer: `brisel --krita-exchange FOLDER`, as the Krita plug-in (host/krita/plugin/) starts
// it. The program's side of the plug-in, as host/gimp/plugin_main.cpp is GIMP's.

#include "krita/plugin_main.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "app/recovery.h"
#include "krita/krita_host.h"
#include "platform/error.h"
#include "platform/program.h"
#include "platform/recovery_copies.h"
#include "platform/window.h"

namespace brisel::kritahost {
namespace {

// Krita gone while the canvas is open (killed, or crashed: a Krita that quits asks Brisel to end with SIGTERM
// first) shows as the end of the answers' pipe, seen here between requests. The painting not yet sent goes
// into a recovery copy, the painter is told where, and Brisel ends: nothing can reach Krita any more.
void WatchForKritaGone() {
  auto* watch = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(watch, &QSocketNotifier::activated, [watch] {
    // Answers are read by the request that waits for them; between requests the pipe holds nothing, unless
    // it has ended.
    pollfd pipe{STDIN_FILENO, POLLIN, 0};
    int waiting = 0;
    if (::poll(&pipe, 1, 0) != 1 || (::ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0 && waiting > 0)) return;
    watch->setEnabled(false);
    const std::string words = app::KeepRecoveryCopy();
    platform::ReleasePicture();
    std::fprintf(stderr, "brisel: Krita has ended while Brisel was open.%s%s\n", words.empty() ? "" : " ",
                 words.c_str());
    if (!words.empty())
      platform::ShowMessage(kProgramName, "Krita has ended, so the painting cannot go back to it. " + words +
                                              " Start Brisel on the same picture and layer in Krita to have it back.");
    std::fflush(nullptr);
    ::_exit(1);
  });
}

}  // namespace

int PaintOnKritaLayer(const std::string& folder, int (*runOnPicture)(const std::string& picture)) {
  Header header;
  try {
    header = ReadHeader(folder);
  } catch (const Error& e) {
    std::fprintf(stderr, "brisel: %s\n", e.text().c_str());
    return 1;
  }
  std::fflush(stdout);
  const int requests = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (requests < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::perror("brisel: the pipe to Krita");
    return 1;
  }
  // A request written after Krita died fails as a call (the painting stays, and a copy is kept) instead of
  // ending Brisel by SIGPIPE; so does a word on the standard error, which Krita read.
  std::signal(SIGPIPE, SIG_IGN);
  RegisterKritaHost(folder, requests, STDIN_FILENO);
  WatchForKritaGone();
  return runOnPicture(PictureIdentity(header));
}

}  // namespace brisel::kritahost
