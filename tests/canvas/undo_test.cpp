// The undo stack, its rectangle normalisation, the clear command and the mask clearing.

#include <new>

#include "app/canvas_input.h"
#include "canvas/clear.h"
#include "canvas/rectangles.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

// Paints a rectangle of the image the way a stroke commit would: save, then change.
void PaintStep(int x1, int y1, int x2, int y2, uint8_t value) {
  ASSERT_TRUE(canvas::TheHistory().Save({x1, y1, x2 + 1, y2 + 1}));
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) PlaneR(x, y) = PlaneG(x, y) = PlaneB(x, y) = value;
}

TEST_F(AppTest, NormalisationFloorsNearCornersAndMakesFarCornersExclusive) {
  Start(100, 100);
  const PixelRect a = canvas::NormaliseRect(2.7f, 3.2f, 5.1f, 6.9f, ImageWidth, ImageHeight);
  EXPECT_EQ(a.x1, 2);
  EXPECT_EQ(a.y1, 3);
  EXPECT_EQ(a.x2, 6);  // x = 2..5
  EXPECT_EQ(a.y2, 7);  // y = 3..6
  const PixelRect b = canvas::NormaliseRect(4.2f, 0, 4.6f, 10, ImageWidth, ImageHeight);
  EXPECT_EQ(b.x2 - b.x1, 1);
  EXPECT_EQ(b.y2 - b.y1, 11);
  // Wholly outside on any side: empty.
  EXPECT_TRUE(canvas::NormaliseRect(-20, 5, -3, 8, ImageWidth, ImageHeight).empty());
  EXPECT_TRUE(canvas::NormaliseRect(5, 100, 8, 140, ImageWidth, ImageHeight).empty());
  EXPECT_TRUE(canvas::NormaliseRect(1e30f, 0, 3e30f, 4, ImageWidth, ImageHeight).empty());
  // Reaching the far edge keeps the last column.
  EXPECT_EQ(canvas::NormaliseRect(98.5f, 0, 99.2f, 0, ImageWidth, ImageHeight).x2, 100);
}

TEST_F(AppTest, ClearFXbufferClearsExactlyTheNormalisedRectangle) {
  Start(12, 12);
  FXbuffer.fill(7);
  canvas::ClearFXbuffer(canvas::NormaliseRect(2.7f, 3.2f, 5.1f, 6.9f, ImageWidth, ImageHeight));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 3 && y <= 6;
      ASSERT_EQ(FXbuffer(x, y), inside ? 0 : 7) << x << "," << y;
    }
}

TEST_F(AppTest, SavingAStepKeepsOneColumnForASliverAndNothingOutside) {
  Start(50, 50);
  EXPECT_TRUE(canvas::TheHistory().Save(canvas::NormaliseRect(4.2f, 0, 4.6f, 10, ImageWidth, ImageHeight)));
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  EXPECT_EQ(canvas::TheHistory().undoStack().back().left, 4);
  EXPECT_EQ(canvas::TheHistory().undoStack().back().top, 0);
  EXPECT_EQ(canvas::TheHistory().undoStack().back().red.width(), 1);
  EXPECT_EQ(canvas::TheHistory().undoStack().back().red.height(), 11);
  EXPECT_EQ(canvas::TheHistory().undoStack().back().green(0, 7), PlaneG(4, 7));
  EXPECT_TRUE(canvas::TheHistory().Save({60, 0, 71, 6})) << "nothing to save is no failure";
  EXPECT_TRUE(canvas::TheHistory().Save({-9, -9, 0, 0}));
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 1u);
}

TEST_F(AppTest, OverlappingStepsUndoneInReverseRestoreTheImageExactly) {
  Start(30, 20);
  const BytePlane red = PlaneR, green = PlaneG, blue = PlaneB;
  PaintStep(2, 2, 15, 10, 11);
  PaintStep(8, 5, 25, 18, 22);
  canvas::TheHistory().UndoLastStep(false);
  canvas::TheHistory().UndoLastStep(false);
  EXPECT_EQ(PlaneR, red);
  EXPECT_EQ(PlaneG, green);
  EXPECT_EQ(PlaneB, blue);
  EXPECT_EQ(ViewR, red);
  EXPECT_EQ(Form1Window().SurfacePixel(10, 6), platform::RGB(red(10, 6), green(10, 6), blue(10, 6)));
  canvas::TheHistory().UndoLastStep(false);  // empty: nothing happens
  EXPECT_EQ(PlaneR, red);
}

TEST_F(AppTest, TheStackHoldsTwoHundredFiftySevenSteps) {
  Start(300, 2);
  const BytePlane original = PlaneR;
  for (int i = 0; i < 258; ++i) PaintStep(i, 0, i, 0, 255);
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 257u);
  for (int i = 0; i < 258; ++i) canvas::TheHistory().UndoLastStep(false);
  // The oldest stroke (column 0) was dropped and stays; every later one is undone.
  EXPECT_EQ(PlaneR(0, 0), 255);
  for (int x = 1; x < 258; ++x) ASSERT_EQ(PlaneR(x, 0), original(x, 0)) << x;
}

TEST_F(AppTest, ClearThenUndoBringsBackEveryColumnAndRow) {
  Start(100, 80);
  const BytePlane red = PlaneR, blue = PlaneB;
  FXbuffer.fill(5);
  ASSERT_TRUE(canvas::TheHistory().Save({0, 0, 100, 80}));
  canvas::clearbuffer();
  EXPECT_EQ(PlaneR, BytePlane(100, 80, 255));
  EXPECT_EQ(ViewB, BytePlane(100, 80, 255));
  EXPECT_EQ(FXbuffer, BytePlane(100, 80, 0));
  canvas::TheHistory().UndoLastStep(false);
  EXPECT_EQ(PlaneR, red);
  EXPECT_EQ(PlaneB, blue);
}

// The memory budget beside the count: the oldest steps go first, as many as it takes, and the newest stays
// even when it alone is past the budget; what is kept still undoes exactly.
TEST_F(AppTest, TheMemoryBudgetDropsTheOldestStepsAndKeepsTheNewest) {
  Start(40, 10);
  const BytePlane original = PlaneR;
  canvas::TheHistory().SetUndoMemoryBudget(2 * 3 * 10 * 10);  // two steps of 10 x 10
  PaintStep(0, 0, 9, 9, 1);
  PaintStep(10, 0, 19, 9, 2);
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 2u);
  PaintStep(20, 0, 29, 9, 3);
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 2u);
  EXPECT_EQ(canvas::TheHistory().undoStack().front().left, 10) << "the oldest went";
  EXPECT_EQ(canvas::TheHistory().UndoStackBytes(), 600u);
  PaintStep(0, 0, 39, 9, 4);  // 1200 bytes: alone past the budget, kept
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  EXPECT_EQ(canvas::TheHistory().UndoStackBytes(), 1200u);
  canvas::TheHistory().UndoLastStep(false);
  for (int x = 0; x < 40; ++x) ASSERT_EQ(PlaneR(x, 5), x < 30 ? x / 10 + 1 : original(x, 5)) << x;
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
}

// A step that cannot be allocated refuses the change that needed it: a stroke, a clear and a fetch each
// leave the image, the display, the mask, the history and the box to send as they were, and say why.
TEST_F(AppTest, AStepThatCannotBeAllocatedRefusesItsChangeAndChangesNothing) {
  Start(30, 20);
  PaintStep(0, 0, 4, 4, 9);
  host->red.fill(1);  // a fetch would bring a different picture
  const BytePlane red = PlaneR, green = PlaneG, view = ViewR;
  const ChangedArea changed = ChangedSinceSend;
  std::vector<uint64_t> asked;
  canvas::TheHistory().SetAllocationHook([&](uint64_t bytes) {
    asked.push_back(bytes);
    throw std::bad_alloc();
  });
  const struct Unhook {
    ~Unhook() { canvas::TheHistory().SetAllocationHook(nullptr); }
  } unhook;
  const std::pair<const char*, void (*)()> actions[] = {
      {"stroke",
       [] {
         Form1::Form_MouseDown(1, 0, 5, 10);
         for (float x : {9.0f, 13.0f, 17.0f, 21.0f}) Form1::Form_MouseMove(1, 0, x, 10);
         Form1::Form_MouseUp(1, 0, 25, 10);
       }},
      {"click", [] {
         Form1::Form_MouseDown(1, 0, 12, 12);
         Form1::Form_MouseUp(1, 0, 12, 12);
       }},
      {"clear", Form2::vx_button2_Click},
      {"fetch", link::GetImageFromTarnwick},
  };
  for (const auto& [name, action] : actions) {
    messages.clear();
    action();
    SCOPED_TRACE(name);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Not enough memory"), std::string::npos) << messages[0];
    EXPECT_EQ(PlaneR, red);
    EXPECT_EQ(PlaneG, green);
    EXPECT_EQ(ViewR, view);
    EXPECT_EQ(FXbuffer, BytePlane(30, 20, 0));
    EXPECT_EQ(Form1Window().SurfacePixel(12, 10), platform::RGB(red(12, 10), green(12, 10), PlaneB(12, 10)));
    ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
    EXPECT_EQ(canvas::TheHistory().undoStack().back().red.width(), 5);
    EXPECT_TRUE(ChangedSinceSend.box == changed.box &&
                ChangedSinceSend.wholeImage == changed.wholeImage);
  }
  EXPECT_EQ(asked.back(), 3u * 30 * 20) << "the hook hears what the step would take";
}

}  // namespace
}  // namespace brisel::testing
