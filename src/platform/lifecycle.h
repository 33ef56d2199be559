#pragma once
// The process's own life beside its windows: a repeating timer, the termination signals, and the last words
// said before the program ends on a failure.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace brisel::platform {

// Calls tick from the event loop every interval milliseconds until stopped or destroyed. An Error escaping
// tick is reported as fatal (as Dispatch does).
class RepeatingTimer {
 public:
  RepeatingTimer();
  ~RepeatingTimer();
  RepeatingTimer(const RepeatingTimer&) = delete;
  RepeatingTimer& operator=(const RepeatingTimer&) = delete;

  void Start(int32_t intervalMilliseconds, std::function<void()> tick);
  void Stop();
  bool active() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// On SIGTERM or SIGHUP, calls onSignal(signal number) from the event loop (the signal handler itself only
// wakes the loop), then ends the process by that signal. Empty onSignal restores the signals' defaults.
void OnTerminationSignal(std::function<void(int signal)> onSignal);

// The last words: what the program does before it ends on a failure (a fatal report, an exception that
// reaches the top, a fatal toolkit message, std::terminate), as one sentence to add to the report; empty to
// say nothing. Set once by the program; empty lastWords clears them.
void SetLastWords(std::function<std::string()> lastWords);
// Runs the last words once (later calls return the same sentence without running them again); empty when
// none are set.
std::string SayLastWords();

}  // namespace brisel::platform
