#pragma once
// The process's own life beside its windows: a repeating timer, the termination signals, and the last words
// said before the program ends on a failure.

#include <csignal>
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

// The signals that end the program from outside and that it catches to keep the painting first: SIGTERM,
// SIGHUP, SIGINT (Ctrl+C in a terminal) and SIGQUIT (Ctrl+\).
inline constexpr int kTerminationSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
// "SIGTERM", "SIGHUP", "SIGINT", "SIGQUIT", or "a signal".
const char* SignalName(int signal);

// On a termination signal, calls onSignal(signal number) from the event loop (the signal handler itself
// only wakes the loop), then ends the process by that signal, unless onSignal answers false: then the
// program ends its run itself (a plug-in returns to its host). Empty onSignal restores the signals' defaults.
// A signal ignored when the program started (SIGHUP under nohup) stays ignored. Armed, it also ignores
// SIGXFSZ, so that a write past the file size limit fails (EFBIG) instead of ending the program.
void OnTerminationSignal(std::function<bool(int signal)> onSignal);

// The last words: what the program does before it ends on a failure (a fatal report, an exception that
// reaches the top, a fatal toolkit message, std::terminate, the window system's connection lost), as one
// sentence to add to the report; empty to say nothing. Set once by the program; empty lastWords clears them.
// A lost connection to the window system (the X server or the Wayland compositor gone) says them on
// standard error and ends the process at once with status 1: nothing of the toolkit can run any more.
void SetLastWords(std::function<std::string()> lastWords);
// Runs the last words once (later calls, from any thread, return the same sentence without running them
// again); empty when none are set.
std::string SayLastWords();

}  // namespace brisel::platform
