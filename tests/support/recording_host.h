#pragma once
// A host that answers from memory, logs every call by name, and can be told to fail a chosen call.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/host.h"

namespace brisel::testing {

class RecordingHost : public platform::HostObject {
 public:
  // A picture of width x height whose pixel (x, y) is (x + y, 2x + y, x + 3y) mod 256 in red, green, blue,
  // and a paper of paperWidth x paperHeight.
  RecordingHost(int32_t width, int32_t height, int32_t paperWidth = 8, int32_t paperHeight = 4);

  platform::Variant Invoke(std::string_view name, std::span<platform::Variant> args) override;

  // What the host holds: its picture (the planes it hands out and the ones it was sent) and its paper.
  int32_t width, height;
  BytePlane red, green, blue;
  int32_t paperWidth, paperHeight;
  BytePlane paper;
  std::string wallpaper;
  int saveUndoCount = 0;
  int refreshCount = 0;
  bool showsForms = true;  // Tarn_SendFormObject shows the window it is handed
  // Brisel_HostName and Brisel_PictureGone answer these; a host without them (none) answers 438.
  std::optional<std::string> hostName, pictureGone;

  // Brisel_ChangedBox: each box the program sent, as left, top, width, height. A host that does not know the
  // call answers 438; one that trusts the box takes the sent planes' pixels inside the latest box only.
  struct Box {
    int32_t left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Box&, const Box&) = default;
    friend void PrintTo(const Box& b, std::ostream* os) {
      *os << b.left << "," << b.top << " " << b.width << "x" << b.height;
    }
  };
  std::vector<Box> changedBoxes;
  bool knowsChangedBox = true;
  bool trustsChangedBox = false;

  // Pixels the host's user changes after each send; Brisel_HeldAfterSend reports those inside the latest box.
  // None: the host holds what it was sent, and the call answers 0.
  struct Edit {
    int32_t x, y;
    uint8_t r, g, b;
  };
  std::vector<Edit> ownEdits;

  std::vector<std::string> calls;
  // Calls named here fail with Error(440, "...") from their n-th occurrence on (1 = the first).
  std::map<std::string, int> failFrom;
  std::map<std::string, int> seen;
  // Runs first in every call, with its name; what it throws, the call throws (a host out of memory).
  std::function<void(const std::string& name)> beforeCall;
  // Results that replace the normal one for a call name (e.g. a plane of the wrong size).
  std::map<std::string, platform::Variant> overrides;

  // The calls made since the last Clear(), in order.
  void ClearCalls() { calls.clear(); }
};

// Registers a new RecordingHost for the program's ProgID and returns it.
std::shared_ptr<RecordingHost> InstallRecordingHost(int32_t width, int32_t height, int32_t paperWidth = 8,
                                                    int32_t paperHeight = 4);

}  // namespace brisel::testing
