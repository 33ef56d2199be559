// Start-up, the close paths, "Get paper", and the host link's procedures against a recording host.

#include <gmock/gmock.h>

#include <algorithm>
#include <map>

#include "app/canvas_input.h"
#include "app/canvas_stroke.h"
#include "app/canvas_window.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char* const kCaption = "Brisel 1.1 for PT Embers - Spline based paint engine";

TEST_F(AppTest, StartUpFetchesPaperThenImageThenHandsOverTheCanvas) {
  Start(40, 30);
  EXPECT_THAT(host->calls, ElementsAre("Tarn_GetPaperWidth", "tarn_GetPaperHeight", "Tarn_GetPaper", "Tarn_BufferWidth",
                                       "Tarn_BufferHeight", "Tarn_GetRBuffer", "Tarn_GetGBuffer", "Tarn_GetBBuffer",
                                       "Tarn_SendFormObject", "Brisel_HostName", "Tarn_WallpaperFilename"));
  EXPECT_EQ(ImageWidth, 40);
  EXPECT_EQ(ImageHeight, 30);
  EXPECT_EQ(PlaneR, host->red);
  EXPECT_EQ(ViewB, host->blue);
  EXPECT_EQ(FXbuffer, BytePlane(40, 30));
  EXPECT_EQ(PaperWidth, 8);
  EXPECT_EQ(PaperTexture, host->paper);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());

  platform::Form& canvas = Form1Window();
  EXPECT_TRUE(canvas.visible());
  EXPECT_EQ(canvas.caption(), kCaption);  // no zoom until the zoom first changes
  EXPECT_EQ(canvas.clientHeight(), 30);  // and as wide as its menu bar and caption need
  EXPECT_EQ(app::CanvasStroke().StrokePoints.size(), 10001u);
  EXPECT_EQ(PenPressure, 1.0f);
  EXPECT_FALSE(TabletPresent);
  // The canvas shows the image at 100 %: pixel for pixel.
  EXPECT_EQ(canvas.SurfacePixel(7, 5), platform::RGB(PlaneR(7, 5), PlaneG(7, 5), PlaneB(7, 5)));
  EXPECT_EQ(canvas.SurfacePixel(39, 29), platform::RGB(PlaneR(39, 29), PlaneG(39, 29), PlaneB(39, 29)));
}

TEST_F(AppTest, AHostThatOnlyTakesTheCanvasStillGetsItShown) {
  host = InstallRecordingHost(4, 4);
  host->showsForms = false;
  app::Main();
  EXPECT_TRUE(Form1Window().visible());
}

TEST_F(AppTest, StartUpRefusesAPlaneSmallerThanTheImageAndWritesNothing) {
  host = InstallRecordingHost(10, 10);
  host->overrides["Tarn_GetGBuffer"] = BytePlane(10, 9);
  try {
    app::Main();
    FAIL() << "start-up went on with a short plane";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kBadPlane);
    EXPECT_THAT(e.text(), HasSubstr("green plane is 10 x 9"));
  }
  EXPECT_EQ(host->saveUndoCount, 0);
  EXPECT_FALSE(Form1Window().visible());
}

TEST_F(AppTest, StartUpCutsALargerPlaneToTheImage) {
  host = InstallRecordingHost(5, 4);
  BytePlane wide(7, 4, 9);
  host->overrides["Tarn_GetRBuffer"] = wide;
  app::Main();
  EXPECT_EQ(PlaneR, BytePlane(5, 4, 9));
}

TEST_F(AppTest, StartUpEndsWhenTheHostCannotBeCreatedOrFails) {
  EXPECT_THROW(app::Main(), Error);  // nothing registered for the ProgID
  host = InstallRecordingHost(4, 4);
  host->failFrom["Tarn_BufferHeight"] = 1;
  EXPECT_THROW(app::Main(), Error);
}

TEST_F(AppTest, ClosingWithEqualSizesSendsTheImageBackInOrder) {
  Start(6, 5);
  Paint(PlaneR, 2, 3, 250);  // a change of the run
  host->ClearCalls();
  Form1Window().Close();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Brisel_ChangedBox", "Tarn_SaveUndo",
                                       "Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer", "tarn_Refresh",
                                       "Brisel_HeldAfterSend"));
  EXPECT_EQ(host->red(2, 3), 250);
  EXPECT_FALSE(Form1Window().visible());
  EXPECT_FALSE(Form1Window().loaded());
}

TEST_F(AppTest, ClosingAfterTheHostResizedAsksAndYesDropsTheChanges) {
  Start(6, 5);
  host->width = 7;
  const BytePlane hostRed = host->red;
  Paint(PlaneR, 0, 0, 99);
  answer = platform::MessageBoxAnswer::Yes;
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Brisel|Can't copy buffer back to the host because the buffer size has changed\r"
                         "Loose all changes?");
  EXPECT_FALSE(Form1Window().visible());
  EXPECT_EQ(host->saveUndoCount, 0);
  EXPECT_EQ(host->red, hostRed);
}

TEST_F(AppTest, ClosingAfterTheHostResizedAndNoKeepsTheCanvasOpen) {
  Start(6, 5);
  Paint(PlaneG, 0, 0, 1);
  host->height = 1;
  answer = platform::MessageBoxAnswer::No;
  Form1Window().Close();
  EXPECT_TRUE(Form1Window().visible());
  EXPECT_TRUE(Form1Window().loaded());
  EXPECT_EQ(host->saveUndoCount, 0);
  // The user can close again once the sizes agree.
  host->height = 5;
  Form1Window().Close();
  EXPECT_EQ(host->refreshCount, 1);
}

TEST_F(AppTest, ASendBackThatFailsAtCloseAsksBeforeTheWorkIsLost) {
  Start(6, 5);
  Paint(PlaneG, 0, 0, 1);
  host->failFrom["Tarn_SetGbuffer"] = 1;
  answer = platform::MessageBoxAnswer::No;
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("Can't copy buffer back to the host (error 440: The host refused Tarn_SetGbuffer)"));
  EXPECT_THAT(messages[0], HasSubstr("\rLoose all changes?"));
  EXPECT_TRUE(Form1Window().visible());

  answer = platform::MessageBoxAnswer::Yes;
  Form1Window().Close();
  EXPECT_FALSE(Form1Window().visible());
  EXPECT_EQ(host->refreshCount, 0);
}

TEST_F(AppTest, AnUnreachableHostAtCloseAsksToo) {
  Start(3, 3);
  host->failFrom["Tarn_BufferWidth"] = 1;
  answer = platform::MessageBoxAnswer::Yes;
  Form1Window().Close();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(Form1Window().visible());
}

TEST_F(AppTest, GetPaperTakesTheHostsNewPaperAndRefusesAnUnusableOne) {
  Start(4, 4);
  host->paperWidth = 3;
  host->paperHeight = 2;
  host->paper = BytePlane(3, 2, 77);
  host->ClearCalls();
  Form1::GetPaperMenu_Click();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_GetPaperWidth", "tarn_GetPaperHeight", "Tarn_GetPaper"));
  EXPECT_EQ(PaperWidth, 3);
  EXPECT_EQ(PaperTexture, BytePlane(3, 2, 77));

  host->paperWidth = 5;  // claims more than the texture holds
  Form1::GetPaperMenu_Click();
  EXPECT_EQ(PaperWidth, 0);
  EXPECT_EQ(PaperHeight, 0);

  host->paperWidth = 0;
  host->paper = BytePlane();
  Form1::GetPaperMenu_Click();
  EXPECT_EQ(PaperWidth, 0);

  // A host that fails the texture call is reported; the paper the program held stays whole.
  host->paperWidth = 3;
  host->paper = BytePlane(3, 2, 77);
  Form1::GetPaperMenu_Click();
  host->paperWidth = 6;
  host->paperHeight = 6;
  host->failFrom["Tarn_GetPaper"] = 1;
  Form1::GetPaperMenu_Click();
  EXPECT_EQ(PaperWidth, 3);
  EXPECT_EQ(PaperHeight, 2);
  EXPECT_EQ(PaperTexture, BytePlane(3, 2, 77));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("Tarn_GetPaper"));
}

TEST_F(AppTest, GetImageThenUndoRestoresTheImageAsItWasBeforeTheFetch) {
  Start(6, 4);
  PlaneG(1, 1) = 200;
  ViewG = PlaneG;
  const BytePlane before = PlaneG;
  host->green = BytePlane(6, 4, 3);
  link::GetImageFromTarnwick();
  EXPECT_EQ(PlaneG, BytePlane(6, 4, 3));
  EXPECT_EQ(ViewG, PlaneG);
  EXPECT_EQ(Form1Window().SurfacePixel(1, 1) >> 8 & 0xFF, 3u);
  canvas::RedrawRect(Form1Window(), canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted));
  EXPECT_EQ(PlaneG, before);
  EXPECT_EQ(Form1Window().SurfacePixel(1, 1) >> 8 & 0xFF, 200u);
}

TEST_F(AppTest, AFailingOrShortGetImageKeepsImageAndHistory) {
  Start(6, 4);
  const BytePlane red = PlaneR;
  host->failFrom["Tarn_GetBBuffer"] = 1;
  link::GetImageFromTarnwick();
  EXPECT_EQ(PlaneR, red);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("440"));

  host->failFrom.clear();
  host->overrides["Tarn_GetRBuffer"] = BytePlane(2, 2);
  link::GetImageFromTarnwick();
  EXPECT_EQ(PlaneR, red);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(AppTest, SendImageSavesUndoThenPlanesThenRefreshesAndReportsFailures) {
  Start(5, 5);
  host->ClearCalls();
  Paint(PlaneR, 1, 1, 7);
  link::SendImageToTarnwick();
  Paint(PlaneR, 1, 1, 8);
  link::SendImageToTarnwick();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Brisel_ChangedBox", "Tarn_SaveUndo",
                                       "Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer", "tarn_Refresh",
                                       "Brisel_HeldAfterSend", "Tarn_BufferWidth", "Tarn_BufferHeight", "Brisel_ChangedBox", "Tarn_SaveUndo",
                                       "Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer", "tarn_Refresh",
                                       "Brisel_HeldAfterSend"));
  EXPECT_TRUE(messages.empty());

  host->failFrom["tarn_Refresh"] = 1;
  Paint(PlaneR, 1, 1, 9);
  link::SendImageToTarnwick();  // reported, not fatal
  EXPECT_EQ(messages.size(), 1u);

  host->failFrom.clear();
  host->width = 9;  // resized in the host: the send is refused, the host's picture kept
  host->ClearCalls();
  link::SendImageToTarnwick();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Brisel_PictureGone", "Brisel_HostName"));
  EXPECT_EQ(messages.size(), 2u);
}

// A host that says its name and that its layer is gone is named, after its own sentence.
TEST_F(AppTest, MessagesAndTipsNameTheHostAfterItsOwnSentence) {
  host = InstallRecordingHost(6, 5);
  host->hostName = "GIMP";
  app::Main();
  EXPECT_EQ(panel::Panel().vx_button3.toolTip(), "Get image from GIMP");
  EXPECT_EQ(panel::Panel().vx_button4.toolTip(), "Send image to GIMP (kbd shortcut: Ctrl+S)");
  host->width = host->height = 0;
  host->pictureGone = "The layer Brisel was started on is no longer in GIMP.";
  link::SendImageToTarnwick();
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Brisel|The layer Brisel was started on is no longer in GIMP.\rCan't send the image to GIMP: "
                         "its buffer is now 0 x 0, this image 6 x 5.");
  EXPECT_EQ(messages[1], "Brisel|The layer Brisel was started on is no longer in GIMP.\rCan't copy buffer back to "
                         "GIMP because the buffer size has changed\rLoose all changes?");
}

// After a send the canvas shows the host's own edits inside the box sent (and only there), and undoing a step
// that never changed them leaves them.
TEST_F(AppTest, AfterASendTheCanvasShowsTheHostsOwnEditsInTheBoxSent) {
  Start(6, 4);
  host->ownEdits = {{2, 1, 200, 100, 50}, {5, 3, 1, 2, 3}};
  ASSERT_TRUE(canvas::TheHistory().Save({0, 0, 4, 3}));  // a step over (0, 0)-(3, 2) that changes (0, 0) alone
  const uint8_t before = PlaneR(0, 0);
  PlaneR(0, 0) = uint8_t(before + 1);
  link::SendImageToTarnwick();
  EXPECT_TRUE(PlaneR(2, 1) == 200 && PlaneG(2, 1) == 100 && PlaneB(2, 1) == 50 && ViewR(2, 1) == 200);
  EXPECT_NE(PlaneR(5, 3), 1);  // outside the box: not looked at
  canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
  EXPECT_EQ(PlaneR(0, 0), before);
  EXPECT_TRUE(PlaneR(2, 1) == 200 && ViewR(2, 1) == 200);
  EXPECT_TRUE(messages.empty());
}

// Actions: a, b strokes at two places apart; c clear; u undo; f get image; s send; x a send whose planes the
// host refuses; q close. Each box the host gets is named by the strokes whose saved rectangles it must join,
// "*" for the whole picture. A send with nothing changed does not reach the host at all.
struct BoxCase {
  const char* name;
  const char* actions;
  std::vector<std::string> boxes;
};
void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name << " \"" << c.actions << "\""; }

class ChangedBoxTest : public AppTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(ChangedBoxTest, EachSendNamesWhatChangedSinceTheLastGoodOne) {
  Start(64, 48);
  host->trustsChangedBox = true;  // so a change left out of the box is a change the host never gets
  std::map<char, RecordingHost::Box> strokes;
  for (const char* a = GetParam().actions; *a; ++a) {
    SCOPED_TRACE(std::string("action ") + *a);
    if (*a == 'a' || *a == 'b') {
      const float x = *a == 'a' ? 8 : 40, y = *a == 'a' ? 6 : 30;
      Form1::Form_MouseDown(1, 0, x, y);
      for (int i = 1; i <= 6; ++i) Form1::Form_MouseMove(1, 0, x + i, y + i / 2.0f);
      Form1::Form_MouseUp(1, 0, x + 6, y + 3);
      const canvas::UndoStep& step = canvas::TheHistory().undoStack().back();
      strokes[*a] = {step.left, step.top, step.red.width(), step.red.height()};
    } else if (*a == 'c') {
      Form2::vx_button2_Click();
    } else if (*a == 'u') {
      canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    } else if (*a == 'f') {
      host->green = BytePlane(64, 48, 7);
      link::GetImageFromTarnwick();
    } else if (*a == 'x') {
      host->failFrom["Tarn_SetGbuffer"] = 1;
      link::SendImageToTarnwick();
      host->failFrom.clear();
    } else {
      *a == 's' ? link::SendImageToTarnwick() : Form1Window().Close();
      EXPECT_TRUE(host->red == PlaneR && host->green == PlaneG && host->blue == PlaneB) << "the host missed a change";
    }
  }
  std::vector<RecordingHost::Box> expected;
  for (const std::string& names : GetParam().boxes) {
    if (names == "*") {
      expected.push_back({0, 0, 64, 48});
      continue;
    }
    int32_t x1 = 64, y1 = 48, x2 = 0, y2 = 0;
    for (char n : names) {
      const RecordingHost::Box& r = strokes.at(n);
      x1 = std::min(x1, r.left), y1 = std::min(y1, r.top);
      x2 = std::max(x2, r.left + r.width), y2 = std::max(y2, r.top + r.height);
    }
    expected.push_back({x1, y1, x2 - x1, y2 - y1});
  }
  EXPECT_EQ(host->changedBoxes, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sends, ChangedBoxTest,
    ::testing::Values(BoxCase{"Nothing", "s", {}}, BoxCase{"OneStroke", "as", {"a"}},
                      BoxCase{"TwoStrokes", "abs", {"ab"}}, BoxCase{"ASendStartsAfresh", "asbss", {"a", "b"}},
                      BoxCase{"Clear", "acs", {"*"}}, BoxCase{"UndoAfterASend", "bsus", {"b", "b"}},
                      BoxCase{"UndoOfAClear", "csus", {"*", "*"}}, BoxCase{"GetImage", "fsas", {"*", "a"}},
                      BoxCase{"AFailedSendKeepsTheBox", "axbs", {"a", "ab"}}, BoxCase{"Close", "bq", {"b"}}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST_F(AppTest, AHostWithoutTheChangedBoxGetsTheSendAsBeforeAndOtherErrorsStopIt) {
  Start(8, 6);
  host->knowsChangedBox = false;
  Paint(PlaneG, 0, 0, 1);
  link::SendImageToTarnwick();
  EXPECT_EQ(host->refreshCount, 1);
  EXPECT_TRUE(messages.empty());

  host->knowsChangedBox = true;
  host->failFrom["Brisel_ChangedBox"] = 1;
  link::GetImageFromTarnwick();
  host->ClearCalls();
  link::SendImageToTarnwick();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Brisel_ChangedBox"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("Brisel_ChangedBox"));
  Form1Window().Close();  // the close asks, as for any failed send
  EXPECT_TRUE(Form1Window().visible());
  host->failFrom.clear();
  Form1Window().Close();
  EXPECT_THAT(host->changedBoxes, ElementsAre(RecordingHost::Box{0, 0, 8, 6}));
}

}  // namespace
}  // namespace brisel::testing
