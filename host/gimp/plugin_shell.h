#pragma once
// A GIMP plug-in of one procedure, registered and run alike under GIMP 2.10 and GIMP 3: the plug-in says
// what its procedure is and what it does with a run; the shell speaks to whichever libgimp it was built
// against.
//
// An image procedure takes a run mode, an image and its selected drawables, and shows in GIMP's menus
// (under GIMP 3 it is offered only while exactly one drawable is selected). Any other procedure takes a
// run mode, then the images and strings its arguments name, in that order.

#include <cstdint>
#include <string>
#include <vector>

namespace brisel::gimphost {

enum class RunMode { kInteractive, kNonInteractive, kWithLastValues };

struct Run {
  RunMode mode = RunMode::kInteractive;
  int32_t image = 0;                // an image procedure's image
  std::vector<int32_t> drawables;   // an image procedure's selected drawables
  std::vector<int32_t> images;      // the image arguments of any other procedure, in order
  std::vector<std::string> strings; // its string arguments, in order
};

struct Outcome {
  enum class Status { kSuccess, kCallingError, kExecutionError, kCancel };
  Status status = Status::kSuccess;
  std::string message;  // for GIMP to show, when the run failed

  static Outcome Success() { return {}; }
  static Outcome Cancelled() { return {Status::kCancel, {}}; }  // the user chose not to go on
  static Outcome CallingError(std::string text) { return {Status::kCallingError, std::move(text)}; }
  static Outcome ExecutionError(std::string text) { return {Status::kExecutionError, std::move(text)}; }
};

struct Argument {
  enum class Kind { kImage, kString };
  Kind kind;
  const char* name;
  const char* description;
};

struct Procedure {
  const char* name;
  const char* blurb;
  const char* help;
  bool imageProcedure = false;
  const char* menuLabel = nullptr;   // image procedures: shown in the menu at menuPath
  const char* menuPath = nullptr;
  const char* imageTypes = nullptr;
  std::vector<Argument> arguments;   // other procedures: after the run mode
  Outcome (*run)(const Run&) = nullptr;
  // Called when GIMP ends the process while a run is under way (GIMP quit, was killed or crashed): libgimp
  // would then exit() at once, wherever the run stands. Need not return.
  void (*gimpGone)() = nullptr;
};

// GIMP's plug-in main: registers the procedure when GIMP asks, runs it when GIMP calls it.
int PlugInMain(int argc, char* argv[], const Procedure& procedure);

// GIMP's last error from a procedure call, for a message.
std::string LastGimpError();

}  // namespace brisel::gimphost
