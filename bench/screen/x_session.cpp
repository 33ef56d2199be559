// Xvfb and its clients, started with fork and exec.

#include "x_session.h"

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "screen_probe.h"

namespace brisel::bench {
namespace {

// Servers in other mount namespaces (other users' sandboxes) leave no lock file in this /tmp, but their
// abstract sockets are shared, and a client tries those first: a display number is free only where neither
// kind of socket listens.
int FreeDisplayNumber() {
  std::ifstream sockets("/proc/net/unix");
  std::set<int> taken;
  for (std::string line; std::getline(sockets, line);)
    if (const size_t at = line.find("/tmp/.X11-unix/X"); at != std::string::npos)
      taken.insert(std::atoi(line.c_str() + at + 16));
  for (int n = 0;; ++n)
    if (!taken.count(n) && access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) != 0) return n;
}

// The server answers, and is the one started (its screen has the size asked for).
bool Answers(const std::string& display, int width, int height) {
  for (const double deadline = Now() + 3; Now() < deadline; usleep(20000))
    if (Display* connection = XOpenDisplay(display.c_str())) {
      const bool ours = DisplayWidth(connection, 0) == width && DisplayHeight(connection, 0) == height;
      XCloseDisplay(connection);
      return ours;
    }
  return false;
}

void EndProcess(pid_t pid, int signal) {
  if (pid <= 0) return;
  kill(pid, signal);
  waitpid(pid, nullptr, 0);
}

}  // namespace

XServer::XServer(int width, int height) {
  for (int attempt = 0; attempt < 10 && display_.empty(); ++attempt) {
    if (attempt > 0) usleep(300000);  // the last server's sockets may still be going
    Start(width, height);
    if (!display_.empty() && !Answers(display_, width, height)) {
      EndProcess(std::exchange(pid_, -1), SIGTERM);
      display_.clear();
    }
  }
}

void XServer::Start(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string number = ":" + std::to_string(FreeDisplayNumber());
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a bench that was stopped
    close(fds[0]);
    // BRISEL_XVFB_LOG=FILE keeps what Xvfb says, to see why it would not start.
    if (const char* log = getenv("BRISEL_XVFB_LOG")) dup2(open(log, O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    else dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", number.c_str(), "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number once it accepts clients.
  pollfd ready{fds[0], POLLIN, 0};
  char said[16] = {};
  if (poll(&ready, 1, 20000) == 1) {
    const ssize_t n = read(fds[0], said, sizeof said - 1);
    if (n > 0) display_ = ":" + std::to_string(std::atoi(said));
  }
  close(fds[0]);
}

XServer::~XServer() { EndProcess(pid_, SIGTERM); }

std::string MakeTemporaryFolder() {
  char name[] = "/tmp/brisel-screen-XXXXXX";
  return mkdtemp(name) ? std::string(name) : std::string();
}

Client::Client(const std::string& display, std::string folder, const std::string& program,
               const std::vector<std::string>& arguments)
    : folder_(std::move(folder)) {
  pid_ = fork();
  if (pid_ != 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (const char* name : {"WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "XDG_CONFIG_DIRS"})
    unsetenv(name);
  setenv("DISPLAY", display.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("HOME", folder_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
  setenv("XDG_STATE_HOME", (folder_ + "/state").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  if (chdir(folder_.c_str()) != 0) _exit(126);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

Client::~Client() {
  EndProcess(pid_, SIGKILL);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool Client::running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

}  // namespace brisel::bench
