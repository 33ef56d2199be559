// Start-up, the close paths, "Get paper", and the host link's procedures against a recording host.

#include <gmock/gmock.h>

#include "app/host_link.h"
#include "canvas/undo.h"
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
                                       "Tarn_SendFormObject", "Tarn_WallpaperFilename"));
  EXPECT_EQ(ImageWidth, 40);
  EXPECT_EQ(ImageHeight, 30);
  EXPECT_EQ(PlaneR, host->red);
  EXPECT_EQ(ViewB, host->blue);
  EXPECT_EQ(FXbuffer, BytePlane(40, 30));
  EXPECT_EQ(PaperWidth, 8);
  EXPECT_EQ(PaperTexture, host->paper);
  EXPECT_TRUE(UndoStack.empty());

  platform::Form& canvas = Form1Window();
  EXPECT_TRUE(canvas.visible());
  EXPECT_EQ(canvas.caption(), kCaption);  // no zoom until the zoom first changes
  EXPECT_EQ(canvas.clientWidth(), 40);
  EXPECT_EQ(canvas.clientHeight(), 30);
  EXPECT_EQ(StrokePoints.size(), 10001u);
  EXPECT_EQ(PenPressure, 1.0f);
  EXPECT_FALSE(TabletPresent);
  // The canvas shows the image at 100 %: pixel for pixel.
  EXPECT_EQ(canvas.SurfacePixel(7, 5), platform::RGB(PlaneR(7, 5), PlaneG(7, 5), PlaneB(7, 5)));
  EXPECT_EQ(canvas.SurfacePixel(39, 29), platform::RGB(PlaneR(39, 29), PlaneG(39, 29), PlaneB(39, 29)));
}

TEST_F(AppTest, AHostThatOnlyTakesTheCanvasStillGetsItShown) {
  host = InstallRecordingHost(4, 4);
  host->showsForms = false;
  Main();
  EXPECT_TRUE(Form1Window().visible());
}

TEST_F(AppTest, StartUpRefusesAPlaneSmallerThanTheImageAndWritesNothing) {
  host = InstallRecordingHost(10, 10);
  host->overrides["Tarn_GetGBuffer"] = BytePlane(10, 9);
  try {
    Main();
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
  Main();
  EXPECT_EQ(PlaneR, BytePlane(5, 4, 9));
}

TEST_F(AppTest, StartUpEndsWhenTheHostCannotBeCreatedOrFails) {
  EXPECT_THROW(Main(), Error);  // nothing registered for the ProgID
  host = InstallRecordingHost(4, 4);
  host->failFrom["Tarn_BufferHeight"] = 1;
  EXPECT_THROW(Main(), Error);
}

TEST_F(AppTest, ClosingWithEqualSizesSendsTheImageBackInOrder) {
  Start(6, 5);
  PlaneR(2, 3) = 250;  // a change of the run
  host->ClearCalls();
  Form1Window().Close();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Tarn_SaveUndo", "Tarn_SetRbuffer",
                                       "Tarn_SetGbuffer", "Tarn_SetBbuffer", "tarn_Refresh"));
  EXPECT_EQ(host->red(2, 3), 250);
  EXPECT_FALSE(Form1Window().visible());
  EXPECT_FALSE(Form1Window().loaded());
}

TEST_F(AppTest, ClosingAfterTheHostResizedAsksAndYesDropsTheChanges) {
  Start(6, 5);
  host->width = 7;
  const BytePlane hostRed = host->red;
  PlaneR(0, 0) = 99;
  answer = platform::MessageBoxAnswer::Yes;
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Brisel|Can't copy buffer back to Project Tarnwick because the buffer size has changed\r"
                         "Loose all changes?");
  EXPECT_FALSE(Form1Window().visible());
  EXPECT_EQ(host->saveUndoCount, 0);
  EXPECT_EQ(host->red, hostRed);
}

TEST_F(AppTest, ClosingAfterTheHostResizedAndNoKeepsTheCanvasOpen) {
  Start(6, 5);
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
  host->failFrom["Tarn_SetGbuffer"] = 1;
  answer = platform::MessageBoxAnswer::No;
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("The host refused Tarn_SetGbuffer"));
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
  GetImageFromTarnwick();
  EXPECT_EQ(PlaneG, BytePlane(6, 4, 3));
  EXPECT_EQ(ViewG, PlaneG);
  EXPECT_EQ(Form1Window().SurfacePixel(1, 1) >> 8 & 0xFF, 3u);
  UndoLastStep();
  EXPECT_EQ(PlaneG, before);
  EXPECT_EQ(Form1Window().SurfacePixel(1, 1) >> 8 & 0xFF, 200u);
}

TEST_F(AppTest, AFailingOrShortGetImageKeepsImageAndHistory) {
  Start(6, 4);
  const BytePlane red = PlaneR;
  host->failFrom["Tarn_GetBBuffer"] = 1;
  GetImageFromTarnwick();
  EXPECT_EQ(PlaneR, red);
  EXPECT_TRUE(UndoStack.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("440"));

  host->failFrom.clear();
  host->overrides["Tarn_GetRBuffer"] = BytePlane(2, 2);
  GetImageFromTarnwick();
  EXPECT_EQ(PlaneR, red);
  EXPECT_TRUE(UndoStack.empty());
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(AppTest, SendImageSavesUndoThenPlanesThenRefreshesAndReportsFailures) {
  Start(5, 5);
  host->ClearCalls();
  SendImageToTarnwick();
  SendImageToTarnwick();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight", "Tarn_SaveUndo", "Tarn_SetRbuffer",
                                       "Tarn_SetGbuffer", "Tarn_SetBbuffer", "tarn_Refresh", "Tarn_BufferWidth",
                                       "Tarn_BufferHeight", "Tarn_SaveUndo", "Tarn_SetRbuffer", "Tarn_SetGbuffer",
                                       "Tarn_SetBbuffer", "tarn_Refresh"));
  EXPECT_TRUE(messages.empty());

  host->failFrom["tarn_Refresh"] = 1;
  SendImageToTarnwick();  // reported, not fatal
  EXPECT_EQ(messages.size(), 1u);

  host->failFrom.clear();
  host->width = 9;  // resized in the host: the send is refused, the host's picture kept
  host->ClearCalls();
  SendImageToTarnwick();
  EXPECT_THAT(host->calls, ElementsAre("Tarn_BufferWidth", "Tarn_BufferHeight"));
  EXPECT_EQ(messages.size(), 2u);
}

}  // namespace
}  // namespace brisel::testing
