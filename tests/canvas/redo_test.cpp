// Undo and redo against a reference: random runs of strokes, clears, fetches, sends, undos and redos must
// leave the image as a replay of the same run without its undone steps does, pixel for pixel, also under a
// budget and a step limit small enough to drop steps; and the histories keep what a model of the shared
// budget keeps.

#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/canvas_input.h"
#include "app/reset_state.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "panel/panel_buttons.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

constexpr int32_t kWidth = 48, kHeight = 36;
constexpr uint64_t kImageStep = 3 * uint64_t(kWidth) * kHeight;  // a clear's or a fetch's step

struct Op {
  enum Kind { Stroke, Clear, Fetch, Send, Undo, Redo } kind;
  std::vector<std::pair<float, float>> points;  // a stroke's, canvas pixels
  bool otherKey = false;                         // a redo by Ctrl+Y rather than Shift+Ctrl+Z
};

void Apply(const Op& op, RecordingHost& host) {
  int16_t code = 0, shift = 0;
  switch (op.kind) {
    case Op::Stroke: {
      StepDistance = 0;  // the dab spacing runs on from stroke to stroke: each starts afresh, as in the replay
      const auto& p = op.points;
      Form1::Form_MouseDown(1, 0, p.front().first, p.front().second);
      for (size_t i = 1; i + 1 < p.size(); ++i) Form1::Form_MouseMove(1, 0, p[i].first, p[i].second);
      Form1::Form_MouseUp(1, 0, p.back().first, p.back().second);
      return;
    }
    case Op::Clear: Form2::vx_button2_Click(); return;
    case Op::Fetch:
      // The host's picture of its own, whatever a send left there.
      host.red = BytePlane(kWidth, kHeight, 30);
      host.green = BytePlane(kWidth, kHeight, 140);
      host.blue = BytePlane(kWidth, kHeight, 220);
      GetImageFromTarnwick();
      return;
    case Op::Send: Form2::vx_button4_Click(); return;
    case Op::Undo: code = 'Z', shift = 2; break;
    case Op::Redo: code = op.otherKey ? 'Y' : 'Z', shift = op.otherKey ? 2 : 3; break;
  }
  Form1::Form_KeyDown(code, shift);
  Form1::Form_KeyUp(code, shift);
}

Op RandomOp(std::mt19937& random) {
  const int pick = int(random() % 100);
  Op op{pick < 35 ? Op::Stroke : pick < 43 ? Op::Clear : pick < 50 ? Op::Fetch : pick < 55 ? Op::Send
        : pick < 80 ? Op::Undo : Op::Redo, {}};
  const size_t points = op.kind == Op::Stroke ? 2 + random() % 6 : 0;
  op.otherKey = random() % 2 == 0;
  for (size_t i = 0; i < points; ++i) op.points.emplace_back(float(random() % kWidth), float(random() % kHeight));
  return op;
}

// The reference: which changes are still in the image, which can be undone and which redone, dropping the
// oldest undoable ones to the limit and, beyond the newest, to the budget both histories share.
struct Model {
  std::vector<Op> kept;                          // in the image, beyond undo
  std::deque<std::pair<Op, uint64_t>> undo;      // oldest first, with its step's bytes
  std::vector<std::pair<Op, uint64_t>> redo;     // next to redo last
  uint64_t budget;
  int32_t limit;

  uint64_t Bytes() const {
    uint64_t bytes = 0;
    for (const auto& step : undo) bytes += step.second;
    for (const auto& step : redo) bytes += step.second;
    return bytes;
  }
  void Keep() {
    kept.push_back(undo.front().first);
    undo.pop_front();
  }
  void Change(const Op& op, uint64_t bytes) {
    redo.clear();
    undo.emplace_back(op, bytes);
    if (int64_t(undo.size() + redo.size()) > int64_t(limit) + 1) Keep();
    while (undo.size() > 1 && Bytes() > budget) Keep();
  }
  void Move(const Op& op) {
    if (op.kind == Op::Undo && !undo.empty()) redo.push_back(undo.back()), undo.pop_back();
    if (op.kind == Op::Redo && !redo.empty()) undo.push_back(redo.back()), redo.pop_back();
  }
  std::vector<Op> InTheImage() const {
    std::vector<Op> ops = kept;
    for (const auto& step : undo) ops.push_back(step.first);
    return ops;
  }
};

class RedoTest : public AppTest {
 protected:
  void Restart(uint64_t budget, int32_t limit) {
    DestroyWindows();
    ResetProgramState();
    Start(kWidth, kHeight);
    UndoMemoryBudget = budget;
    UndoLimit = limit;
  }
};

TEST_F(RedoTest, RandomRunsUndoAndRedoExactlyAsAReplayWithoutTheUndoneSteps) {
  struct Config {
    const char* name;
    uint64_t budget;
    int32_t limit;
  };
  const Config configs[] = {{"ample", uint64_t(1) << 30, 256},
                            {"a budget of two and a half images", kImageStep * 5 / 2, 256},
                            {"a limit of 5 steps", uint64_t(1) << 30, 4}};
  for (const Config& config : configs) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      for (size_t length : {12u, 40u}) {
        SCOPED_TRACE(std::string(config.name) + ", seed " + std::to_string(seed) + ", " + std::to_string(length) +
                     " operations");
        Restart(config.budget, config.limit);
        std::mt19937 random(seed);
        Model model{{}, {}, {}, config.budget, config.limit};
        for (size_t i = 0; i < length; ++i) {
          const Op op = RandomOp(random);
          Apply(op, *host);
          if (op.kind == Op::Undo || op.kind == Op::Redo) model.Move(op);
          else if (op.kind != Op::Send) model.Change(op, 3 * uint64_t(UndoStack.back().red.size()));
          ASSERT_EQ(UndoStack.size(), model.undo.size()) << "after operation " << i << ", kind " << op.kind;
          ASSERT_EQ(RedoStack.size(), model.redo.size()) << "after operation " << i << ", kind " << op.kind;
        }
        EXPECT_TRUE(UndoStack.size() <= 1 || canvas::UndoStackBytes() <= config.budget);
        // Between strokes the display copy is the image.
        EXPECT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB) << "the display copy is not the image";
        const BytePlane red = PlaneR, green = PlaneG, blue = PlaneB;

        Restart(config.budget, config.limit);
        for (const Op& op : model.InTheImage()) Apply(op, *host);
        EXPECT_TRUE(PlaneR == red && PlaneG == green && PlaneB == blue) << "the image is not the replay's";
      }
    }
  }
}

}  // namespace
}  // namespace brisel::testing
