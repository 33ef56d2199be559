// A private X server for the screen latency bench, and the programs it runs: Xvfb on a display no other
// server listens on (-displayfd telling when it is ready), each program with a fresh home and settings of its
// own, so that nothing of the user's desktop, settings or recovery copies takes part.

#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace brisel::bench {

class XServer {
 public:
  // Starts Xvfb with one screen of width x height in 24 bits; display() is empty when it did not start.
  XServer(int width, int height);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& display() const { return display_; }

 private:
  void Start(int width, int height);

  pid_t pid_ = -1;
  std::string display_;
};

// A new folder under /tmp; empty when none could be made.
std::string MakeTemporaryFolder();

// A program on the X server whose home, settings and state are the folder given; ended (SIGKILL: nothing it
// would write at exit matters here) and the folder removed when this goes.
class Client {
 public:
  Client(const std::string& display, std::string folder, const std::string& program,
         const std::vector<std::string>& arguments);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool running() const;

 private:
  pid_t pid_ = -1;
  std::string folder_;
};

}  // namespace brisel::bench
