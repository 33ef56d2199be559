// Random sequences of everything a user can do (with a tablet on even seeds), checked after every event: the image keeps its size, pixels
// change only under rectangles saved for undo, every painting release leaves the stroke mask empty, a host
// that takes only the box each send names still ends with the program's picture, and undoing every step
// brings back the starting picture. A second run does the same with an undo budget of a few small steps and
// some steps refused for want of memory, where the history must also keep within its budget.
//
// Reproducible by seed. BRISEL_RANDOM_SEEDS (default 20) and BRISEL_RANDOM_EVENTS (default 500) ask for more;
// BRISEL_RANDOM_SEED=N replays one seed, and BRISEL_RANDOM_VERBOSE=1 lists its events as they run.

#include <QPointingDevice>
#include <qpa/qwindowsysteminterface.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <sstream>

#include "app/canvas_input.h"
#include "app/canvas_stroke.h"
#include "app/canvas_tablet.h"
#include "app/canvas_window.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "panel/mode_menu.h"
#include "panel/panel_buttons.h"
#include "panel/presets.h"
#include "panel/tool_panel.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{1, 1}, {2, 3}, {5, 4}, {17, 9}, {40, 31}, {64, 64}, {100, 3}, {257, 129}};

// The undo history's limits for a run: a budget in bytes (0: the settings' own) and one step in refuseOneIn
// refused for want of memory (0: none).
struct UndoLimits {
  uint64_t budget = 0;
  int refuseOneIn = 0;
};

class RandomEvents : public AppTest {
 protected:
  // A whole number in [lo, hi].
  int Pick(int lo, int hi) { return lo + int(rng() % uint32_t(hi - lo + 1)); }

  float Position(int extent) {
    if (Pick(0, 9) < 7) return float(Pick(-3, extent + 3)) + float(Pick(0, 3)) * 0.25f;
    return float(Pick(-5000, 5000));  // far outside the canvas, as a drag off the window goes
  }

  double SliderValue() {
    switch (Pick(0, 4)) {
      case 0: return 0;
      case 1: return 1;
      case 2: return 255;
      case 3: return Pick(-20, 300);  // beyond the ends, as only code can set them
      default: return Pick(1, 40) + Pick(0, 1) * 0.5;
    }
  }

  // Runs one random event; returns a description for the failure message.
  std::string Event() {
    paintingRelease = sent = rectangleRedraw = false;
    const int kind = Pick(0, 99);
    const int16_t button = int16_t(Pick(0, 9) < 8 ? 1 << Pick(0, 2) : Pick(0, 7));
    const int16_t shift = int16_t(Pick(0, 9) < 7 ? 0 : Pick(0, 7));
    const float x = Position(Form1Window().clientWidth()), y = Position(Form1Window().clientHeight());
    std::ostringstream what;
    if (kind < 10) {
      what << "press " << button << " shift " << shift << " at " << x << "," << y;
      Form1::Form_MouseDown(button, shift, x, y);
    } else if (kind < 40) {
      what << "move " << button << " shift " << shift << " to " << x << "," << y;
      Form1::Form_MouseMove(button, shift, x, y);
    } else if (kind < 50) {
      what << "release " << button << " shift " << shift << " at " << x << "," << y;
      paintingRelease = shift != 3 && !PickMode;
      Form1::Form_MouseUp(button, shift, x, y);
    } else if (kind < 54) {
      int16_t code = 188, none = 0;
      what << "comma " << (PickMode ? "up" : "down");
      PickMode ? Form1::Form_KeyUp(code, none) : Form1::Form_KeyDown(code, none);
    } else if (kind < 64) {
      const int n = Pick(1, 8);
      const double value = SliderValue();
      what << "slider " << n << " = " << value;
      platform::HProp* sliders[] = {&panel::HProp1(), &panel::HProp2(), &panel::HProp3(), &panel::HProp4(),
                                    &panel::HProp5(), &panel::HProp6(), &panel::HProp7(), &panel::HProp8()};
      sliders[n - 1]->SetValue(value);
    } else if (kind < 67) {
      const int item = Pick(-1, 10);
      what << "mode menu " << item;
      platform::SetPopupMenuChooser([item](const std::vector<std::string>&) -> std::optional<int> {
        if (item < 0) return std::nullopt;
        return item;
      });
      Form2::vx_pte_button15_Click();
    } else if (kind < 70) {
      const int preset = Pick(6, 9);
      what << "preset " << preset;
      void (*presets[])(int16_t, int16_t, float, float) = {Form2::vx_button6_MouseDown, Form2::vx_button7_MouseDown,
                                                           Form2::vx_button8_MouseDown, Form2::vx_button9_MouseDown};
      presets[preset - 6](button, shift, x, y);
    } else if (kind < 76) {
      int16_t code = int16_t(Pick(0, 1) ? 187 : 189), keys = int16_t(Pick(0, 3) ? 2 : 3);
      what << "zoom key " << code << " shift " << keys;
      Form1::Form_KeyUp(code, keys);
    } else if (kind < 79) {
      const bool actualSize = Pick(0, 1);
      what << (actualSize ? "100 %" : "fit");
      actualSize ? Form2::vx_button11_Click() : Form2::vx_button12_Click();
    } else if (kind < 85) {
      what << "undo";
      WholeRedrawBefore();
      Pick(0, 1) ? Form2::vx_button1_Click() : [] { int16_t u = 'u'; Form1::Form_KeyPress(u); }();
    } else if (kind < 88) {
      what << "clear";
      WholeRedrawBefore();
      Form2::vx_button2_Click();
    } else if (kind < 92) {
      what << "get image";
      WholeRedrawBefore();
      Form2::vx_button3_Click();
    } else if (kind < 96) {
      what << "send image";
      Form2::vx_button4_Click();
      sent = true;
    } else if (kind < 98) {
      what << "get paper";
      Form1::GetPaperMenu_Click();
    } else if (kind < 99 && TabletPresent) {
      if (Pick(0, 3) == 0) {
        int16_t in = int16_t(Pick(0, 3) == 0 ? Pick(-3, 3) : -Pick(0, 1)), physical = -1;
        int32_t handle = 1;
        std::string name = "FirstContext";
        what << "proximity " << in;
        Form1::Tablet_ProximityChange(in, physical, handle, name);
      } else {
        int32_t n = 0, X = Pick(-10, TabletExtentX + 10), Y = Pick(-10, TabletExtentY + 10), pressure = Pick(0, 1023);
        int32_t altitude = Pick(0, 5) == 0 ? -900 : 900;
        what << "packet " << X << "," << Y << " pressure " << pressure << " altitude " << altitude;
        Form1::Tablet_PacketArrival(n, n, X, Y, n, n, pressure, n, n, altitude, n, n, n, n, n, n);
      }
    } else {
      what << "window " << int(x) << " x " << int(y);
      Form1Window().SetClientSize(std::max(1, int(std::abs(x)) % 400), std::max(1, int(std::abs(y)) % 300));
    }
    return what.str();
  }

  void Run(uint32_t seed, int events, UndoLimits limits = {}) {
    // Half the seeds run with a tablet, whose pen brings varying pressure and the eraser end.
    if (seed % 2 == 0 && !pen) {
      pen = new QPointingDevice("random pen", 4800, QInputDevice::DeviceType::Stylus,
                                QPointingDevice::PointerType::Pen, QInputDevice::Capability::Position, 1, 3);
      QWindowSystemInterface::registerInputDevice(pen);
    } else if (seed % 2 == 1) {
      UnplugPen();
    }
    rng.seed(seed);
    const bool verbose = EnvInt("BRISEL_RANDOM_VERBOSE", 0) != 0;
    const Size size = kSizes[seed % std::size(kSizes)];
    Start(size.w, size.h);
    host->trustsChangedBox = true;  // a change the send's box leaves out never reaches the host
    canvas::History& history = canvas::TheHistory();
    if (limits.budget) history.SetUndoMemoryBudget(limits.budget);
    if (limits.refuseOneIn)
      history.SetAllocationHook([this, n = limits.refuseOneIn](uint64_t) {
        if (Pick(1, n) == 1) throw std::bad_alloc();
      });
    answer = platform::MessageBoxAnswer::No;
    const BytePlane red = PlaneR, green = PlaneG, blue = PlaneB;
    BytePlane saved(size.w, size.h);  // 1 where some undo step has covered the pixel
    size_t deepest = 0;  // the stack never reached its bound: no step was dropped
    const std::string replay = "replay: BRISEL_RANDOM_SEED=" + std::to_string(seed) +
                               " BRISEL_RANDOM_EVENTS=" + std::to_string(events) +
                               " brisel_tests --gtest_filter=RandomEvents.*";
    for (int i = 0; i < events; ++i) {
      const std::string what = Event();
      if (verbose) std::fprintf(stderr, "%d: %s\n", i, what.c_str());
      SCOPED_TRACE("event " + std::to_string(i) + ": " + what + "; " + replay);
      deepest = std::max(deepest, history.undoStack().size());
      if (history.undoStack().size() > 1 && history.UndoStackBytes() > history.undoMemoryBudget())
        FAIL() << history.undoStack().size() << " steps hold " << history.UndoStackBytes() << " bytes, past the budget";
      if (paintingRelease)
        for (size_t k = 0; k < FXbuffer.size(); ++k)
          if (FXbuffer.data()[k] != 0)
            FAIL() << "stroke mask left at " << k % size_t(size.w) << "," << k / size_t(size.w) << " rect "
                   << app::CanvasStroke().StrokeMinX << "," << app::CanvasStroke().StrokeMinY << " - " << app::CanvasStroke().StrokeMaxX << "," << app::CanvasStroke().StrokeMaxY << " size "
                   << BrushSize << " zoom " << Zoom << " pan " << PanX << "," << PanY << " last " << app::CanvasStroke().LastDabX << ","
                   << app::CanvasStroke().LastDabY << " count " << app::CanvasStroke().StrokeCount;
      // Each event saves at most one step, always the newest: mark what it covers.
      if (!history.undoStack().empty()) {
        const canvas::UndoStep& s = history.undoStack().back();
        for (int yy = 0; yy < s.red.height(); ++yy)
          for (int xx = 0; xx < s.red.width(); ++xx) saved(s.left + xx, s.top + yy) = 1;
      }
      ASSERT_EQ(PlaneR.width(), size.w);
      ASSERT_EQ(PlaneB.height(), size.h);
      ASSERT_EQ(FXbuffer.width(), size.w);
      for (int yy = 0; yy < size.h; ++yy)
        for (int xx = 0; xx < size.w; ++xx)
          if (!saved(xx, yy) && (PlaneR(xx, yy) != red(xx, yy) || PlaneG(xx, yy) != green(xx, yy) ||
                                 PlaneB(xx, yy) != blue(xx, yy)))
            FAIL() << "pixel " << xx << "," << yy << " changed outside every saved rectangle";
      if (sent && (host->red != PlaneR || host->green != PlaneG || host->blue != PlaneB))
        FAIL() << "the send's box left out a change";
      // Between strokes the display copy is the image; and an undo, a clear or a fetch, which redraw only
      // their rectangle, leave the window as a whole redraw would show it.
      if (!app::CanvasStroke().StrokeUncommitted) {
        if (ViewR != PlaneR || ViewG != PlaneG || ViewB != PlaneB) FAIL() << "the display copy is not the image";
        if (rectangleRedraw) ExpectWindowIsAWholeRedraw();
      }
      if (::testing::Test::HasFailure()) return;
    }
    SCOPED_TRACE(replay);
    if (deepest < 257 && limits.budget == 0) {  // no step was dropped
      while (!history.undoStack().empty()) history.UndoLastStep(app::CanvasStroke().StrokeUncommitted);
      EXPECT_EQ(PlaneR, red);
      EXPECT_EQ(PlaneG, green);
      EXPECT_EQ(PlaneB, blue);
    }
  }

  // The window as the window system's repaint leaves it (a stroke's partly covered bitmap pixels at a zoom
  // other than 1 may show its preview until then), so that what the next event redraws can be checked alone.
  void WholeRedrawBefore() {
    Form1::Form_Paint();
    rectangleRedraw = true;
  }

  // The window's pixels over the image, against those of a whole redraw (which the check then leaves).
  void ExpectWindowIsAWholeRedraw() {
    platform::Form& canvas = Form1Window();
    const int32_t right = std::min(canvas.clientWidth(), PanX + Dibs::ZoomedWidth());
    const int32_t bottom = std::min(canvas.clientHeight(), PanY + Dibs::ZoomedHeight());
    std::vector<platform::Color> shown;
    for (int32_t y = std::max(0, PanY); y < bottom; ++y)
      for (int32_t x = std::max(0, PanX); x < right; ++x) shown.push_back(canvas.SurfacePixel(x, y));
    Form1::Form_Paint();
    size_t i = 0;
    for (int32_t y = std::max(0, PanY); y < bottom; ++y)
      for (int32_t x = std::max(0, PanX); x < right; ++x, ++i)
        if (shown[i] != canvas.SurfacePixel(x, y))
          FAIL() << "window pixel " << x << "," << y << " differs from a whole redraw at zoom " << Zoom;
  }

  void RunSeeds(int defaultSeeds, UndoLimits limits = {}) {
    const int events = EnvInt("BRISEL_RANDOM_EVENTS", 500);
    if (const int one = EnvInt("BRISEL_RANDOM_SEED", -1); one >= 0) {
      Run(uint32_t(one), events, limits);
      return;
    }
    const int seeds = EnvInt("BRISEL_RANDOM_SEEDS", defaultSeeds);
    for (int seed = 1; seed <= seeds && !HasFailure(); ++seed) {
      Run(uint32_t(seed), events, limits);
      TearDown();
      SetUp();
    }
  }

  // The platform's devices outlive a test; the next test must not find this one.
  void TearDown() override {
    canvas::TheHistory().SetAllocationHook(nullptr);
    UnplugPen();
    AppTest::TearDown();
  }
  void UnplugPen() {
    delete pen;
    pen = nullptr;
  }

  std::mt19937 rng;
  bool paintingRelease = false;
  bool sent = false;  // the event was a send
  bool rectangleRedraw = false;  // the event was an undo, a clear or a fetch
  QPointingDevice* pen = nullptr;
};

TEST_F(RandomEvents, SequencesKeepThePictureSafe) { RunSeeds(20); }

// An undo budget of a few small steps, and one step in eight refused for want of memory: the steps dropped
// and the changes refused never let a pixel change outside a saved rectangle, nor the history pass the budget.
TEST_F(RandomEvents, ATinyUndoBudgetAndRefusedStepsKeepThePictureSafe) {
  RunSeeds(10, {.budget = 20000, .refuseOneIn = 8});
}

}  // namespace
}  // namespace brisel::testing
