// A send short of memory: the undo history gives memory back, the oldest step first, before the send gives up.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <utility>
#include <vector>

#include "app/canvas_stroke.h"
#include "app/reset_state.h"
#include "canvas/changed_box.h"
#include "link/host_link.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using ::testing::HasSubstr;

std::vector<int32_t> LeftsOf(const std::deque<canvas::UndoStep>& steps) {
  std::vector<int32_t> lefts;
  for (const canvas::UndoStep& step : steps) lefts.push_back(step.left);
  return lefts;
}

// Five one-pixel steps at x = 0..4 (the oldest at 0), the newest undone: four undo steps and one redo step.
// The host's write runs short of memory (Error 7 as the file host says it, or std::bad_alloc) until only
// enoughAt steps are left; each failure lets exactly one step go, undo steps before the redo step, the
// oldest first. The image never changes; a send that goes through delivers it, one that never does says so.
TEST_F(AppTest, ASendShortOfMemoryLetsTheOldestUndoStepsGoUntilItGoesThrough) {
  struct Case {
    const char* name;
    bool throwsBadAlloc;
    int enoughAt;  // steps left when the write finds memory; -1: never
    std::vector<int32_t> undoLeft, redoLeft;
  };
  const Case cases[] = {
      {"Error 7, two steps go", false, 3, {2, 3}, {4}},
      {"bad_alloc, every step goes", true, 0, {}, {}},
      {"never enough", false, -1, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DestroyWindows();
    app::ResetProgramState();
    Start(12, 6);
    for (int32_t x = 0; x < 5; ++x) Paint(PlaneR, x, 1, uint8_t(200 + x));
    canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    const BytePlane red = PlaneR, green = PlaneG, blue = PlaneB, view = ViewR;
    std::vector<std::pair<size_t, size_t>> heldAtEachWrite;  // undo steps, redo steps
    const canvas::History& history = canvas::TheHistory();
    host->beforeCall = [&](const std::string& name) {
      if (name != "tarn_Refresh") return;
      heldAtEachWrite.emplace_back(history.undoStack().size(), history.redoStack().size());
      if (c.enoughAt >= 0 && int(history.undoStack().size() + history.redoStack().size()) <= c.enoughAt) return;
      if (c.throwsBadAlloc) throw std::bad_alloc();
      throw Error(errors::kOutOfMemory, "/p.png cannot be written (not enough memory); the file on disk is unchanged");
    };
    messages.clear();
    link::SendImageToTarnwick();

    const size_t writes = c.enoughAt < 0 ? 6 : size_t(6 - c.enoughAt);
    ASSERT_EQ(heldAtEachWrite.size(), writes);
    for (size_t i = 0; i < writes; ++i)
      EXPECT_EQ(heldAtEachWrite[i], (std::pair<size_t, size_t>(i < 4 ? 4 - i : 0, i < 4 ? 1 : 5 - i))) << i;
    EXPECT_EQ(LeftsOf(history.undoStack()), c.undoLeft);
    EXPECT_EQ(LeftsOf(history.redoStack()), c.redoLeft);
    EXPECT_TRUE(PlaneR == red && PlaneG == green && PlaneB == blue && ViewR == view) << "the image changed";
    if (c.enoughAt >= 0) {
      EXPECT_TRUE(messages.empty());
      EXPECT_TRUE(canvas::ChangedBoxToSend().empty()) << "the send went through";
      EXPECT_EQ(host->red, PlaneR);
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_THAT(messages[0], HasSubstr("Error 7: "));
      EXPECT_THAT(messages[0], HasSubstr("not enough memory"));
      EXPECT_FALSE(canvas::ChangedBoxToSend().empty()) << "the painting is still to send";
    }
  }
}

}  // namespace
}  // namespace brisel::testing
