#pragma once
// A fixture for tests that run the program: fresh shared state and windows, a recording host, message boxes
// answered from the test, and fatal errors thrown to the test instead of ending the process.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/reset_state.h"
#include "app/startup.h"
#include "canvas/undo.h"
#include "platform/window.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "support/recording_host.h"

namespace brisel::testing {

// Changes one pixel of a plane as painting does: its rectangle is saved for undo first, which also marks
// it as changed since the last send.
inline void Paint(BytePlane& plane, int32_t x, int32_t y, uint8_t value) {
  EXPECT_TRUE(canvas::TheHistory().Save({x, y, x + 1, y + 1}));
  plane(x, y) = value;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::ResetProgramState();
    DestroyWindows();
    platform::SetMessageBoxAnswerer([this](const std::string& title, const std::string& text) {
      messages.push_back(title + "|" + text);
      return answer;
    });
    platform::SetFatalErrorHook([](const Error& e) { throw e; });
  }

  void TearDown() override {
    DestroyWindows();
    app::ResetProgramState();
    platform::SetMessageBoxAnswerer(nullptr);
    platform::SetPopupMenuChooser(nullptr);
    platform::SetFatalErrorHook(nullptr);
    platform::SetBitmapSizeLimit(uint64_t(1) << 30);
    platform::UnregisterHost(platform::kHostProgId);
  }

  // Starts the program on a recording host holding a width x height picture.
  std::shared_ptr<RecordingHost> Start(int32_t width, int32_t height) {
    host = InstallRecordingHost(width, height);
    app::Main();
    return host;
  }

  std::shared_ptr<RecordingHost> host;
  std::vector<std::string> messages;
  platform::MessageBoxAnswer answer = platform::MessageBoxAnswer::No;
};

}  // namespace brisel::testing
