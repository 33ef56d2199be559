// Undo and redo against a reference: random runs of strokes, clears, fetches, sends, undos and redos must
// leave the image as a replay of the same run without its undone steps does, pixel for pixel, also under a
// budget and a step limit small enough to drop steps; and the histories keep what a model of the shared
// budget keeps.

#include <array>
#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/canvas_input.h"
#include "app/canvas_stroke.h"
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
      app::CanvasStroke().StepDistance = 0;  // the dab spacing runs on from stroke to stroke: each starts afresh, as in the replay
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
      link::GetImageFromTarnwick();
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
    app::ResetProgramState();
    Start(kWidth, kHeight);
    canvas::TheHistory().SetUndoMemoryBudget(budget);
    canvas::TheHistory().SetUndoLimit(limit);
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
        const canvas::History& history = canvas::TheHistory();
        for (size_t i = 0; i < length; ++i) {
          const Op op = RandomOp(random);
          Apply(op, *host);
          if (op.kind == Op::Undo || op.kind == Op::Redo) model.Move(op);
          else if (op.kind != Op::Send) model.Change(op, 3 * uint64_t(history.undoStack().back().red.size()));
          ASSERT_EQ(history.undoStack().size(), model.undo.size()) << "after operation " << i << ", kind " << op.kind;
          ASSERT_EQ(history.redoStack().size(), model.redo.size()) << "after operation " << i << ", kind " << op.kind;
        }
        EXPECT_TRUE(history.undoStack().size() <= 1 || history.UndoStackBytes() <= config.budget);
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

// Pixels the host holds otherwise after a send (its own edits), taken into the image amid strokes, clears,
// undos and redos: a step's undo or redo must then set exactly the pixels that step changed, to its own
// values, and leave every other pixel as it stands. The reference keeps each step as those pixels alone, and
// an undo or a redo trades their values with the image's.
TEST_F(RedoTest, HostPixelsTakenAfterASendStayUnlessAStepThatChangedThemIsUndoneOrRedone) {
  using Pixel = std::array<uint8_t, 3>;
  using Image = std::vector<Pixel>;
  using Change = std::vector<std::pair<size_t, Pixel>>;  // where, and the value an undo or redo brings
  const auto snapshot = [] {
    Image image(size_t(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) image[size_t(y) * kWidth + size_t(x)] = {PlaneR(x, y), PlaneG(x, y), PlaneB(x, y)};
    return image;
  };
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Restart(uint64_t(1) << 30, 256);
    std::mt19937 random(seed);
    Image expected = snapshot();
    std::vector<Change> undo, redo;  // next at the back
    for (int i = 0; i < 60; ++i) {
      const int pick = int(random() % 100);
      if (pick < 30) {  // the host's own edits, taken over a random box
        const PixelRect box{int32_t(random() % kWidth), int32_t(random() % kHeight), 0, 0};
        const PixelRect sized{box.x1, box.y1, box.x1 + 1 + int32_t(random() % (kWidth - box.x1)),
                              box.y1 + 1 + int32_t(random() % (kHeight - box.y1))};
        BytePlane held[3] = {BytePlane(sized.width(), sized.height()), BytePlane(sized.width(), sized.height()),
                             BytePlane(sized.width(), sized.height())};
        BytePlane mask(sized.width(), sized.height());
        for (int32_t y = 0; y < sized.height(); ++y)
          for (int32_t x = 0; x < sized.width(); ++x) {
            mask(x, y) = random() % 3 == 0;
            // Colours of the host's own, never one a step brought: where the host happened to hold a step's very
            // value, that step is taken to have changed nothing there. Now and then the image's own colour.
            const bool same = random() % 4 == 0;
            for (int c = 0; c < 3; ++c)
              held[c](x, y) = same ? (*std::array{&PlaneR, &PlaneG, &PlaneB}[c])(sized.x1 + x, sized.y1 + y) : uint8_t(random());
            if (mask(x, y)) expected[size_t(sized.y1 + y) * kWidth + size_t(sized.x1 + x)] = {held[0](x, y), held[1](x, y), held[2](x, y)};
          }
        canvas::TheHistory().TakeHostPixels(sized, held, mask);
      } else if (pick < 75) {  // undo or redo
        const bool isUndo = pick < 57;
        Apply({isUndo ? Op::Undo : Op::Redo, {}}, *host);
        auto& from = isUndo ? undo : redo;
        auto& to = isUndo ? redo : undo;
        if (from.empty()) continue;
        for (auto& [at, value] : from.back()) std::swap(expected[at], value);
        to.push_back(std::move(from.back()));
        from.pop_back();
      } else {  // a stroke or a clear, whose change is what differs
        Op op = RandomOp(random);
        if (op.kind != Op::Stroke) op = {Op::Clear, {}};
        const Image before = snapshot();
        Apply(op, *host);
        const Image after = snapshot();
        Change change;
        for (size_t at = 0; at < after.size(); ++at)
          if (before[at] != after[at]) change.push_back({at, before[at]});
        expected = after;
        undo.push_back(std::move(change));
        redo.clear();
      }
      ASSERT_EQ(canvas::TheHistory().undoStack().size(), undo.size()) << "after operation " << i;
      ASSERT_EQ(canvas::TheHistory().redoStack().size(), redo.size()) << "after operation " << i;
      ASSERT_TRUE(snapshot() == expected) << "after operation " << i << " (" << pick << ")";
      ASSERT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB) << "the display copy is not the image, operation " << i;
    }
  }
}

}  // namespace
}  // namespace brisel::testing
