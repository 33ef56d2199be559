// The pressure curve's window: the graph is a picture box of kCurveSide pixels a side, pen pressure to the
// right, painted pressure upwards, the points as small squares. A press near a point takes it, elsewhere
// adds one (up to eight); a drag moves it between its neighbours (the end points only up and down); a
// release stores the curve.

#include "app/pressure_window.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "platform/window.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "stroke/pressure_curve.h"

namespace brisel::app {
namespace {

constexpr int32_t kMargin = 10;
constexpr platform::Color kPaper = platform::RGB(255, 255, 255), kGrid = platform::RGB(220, 220, 220),
                          kInk = platform::RGB(32, 32, 32), kPoint = platform::RGB(200, 40, 40),
                          kMark = platform::RGB(40, 90, 220);

struct PressureWindow {
  platform::Form form;
  std::unique_ptr<platform::PictureBox> graph;
  std::unique_ptr<platform::Label> reading;
};
std::unique_ptr<PressureWindow> gWindow;
stroke::PressureCurve gEdited;
int gDragged = -1;  // the point a press took, or none
float gLastPressure = -1;
// Reports counted over the last whole second, for the rate.
std::chrono::steady_clock::time_point gSecondStart;
int gReportsThisSecond = 0, gReportsPerSecond = 0;

int32_t ToX(float p) { return int32_t(std::lround(p * (kCurveSide - 1))); }
int32_t ToY(float p) { return int32_t(std::lround((1 - p) * (kCurveSide - 1))); }
float FromX(float X) { return std::clamp(X / float(kCurveSide - 1), 0.0f, 1.0f); }
float FromY(float Y) { return std::clamp(1 - Y / float(kCurveSide - 1), 0.0f, 1.0f); }

void Draw() {
  if (!gWindow) return;
  platform::PictureBox& g = *gWindow->graph;
  g.FillBox(0, 0, kCurveSide - 1, kCurveSide - 1, kPaper);
  for (int i = 1; i < 4; ++i) {
    g.DrawLine(i * kCurveSide / 4, 0, i * kCurveSide / 4, kCurveSide, kGrid);
    g.DrawLine(0, i * kCurveSide / 4, kCurveSide, i * kCurveSide / 4, kGrid);
  }
  if (gLastPressure >= 0) {
    const int32_t x = ToX(gLastPressure), y = ToY(gEdited.Apply(gLastPressure));
    g.DrawLine(x, kCurveSide - 1, x, y, kMark);
    g.DrawLine(0, y, x, y, kMark);
  }
  for (int32_t x = 0; x + 1 < kCurveSide; ++x)
    g.DrawLine(x, ToY(gEdited.Apply(FromX(float(x)))), x + 1, ToY(gEdited.Apply(FromX(float(x + 1)))), kInk);
  for (const auto& [px, py] : gEdited.points) g.FillBox(ToX(px) - 3, ToY(py) - 3, ToX(px) + 3, ToY(py) + 3, kPoint);
  g.Refresh();
}

void ShowReading() {
  if (!gWindow) return;
  gWindow->reading->SetCaption(
      gLastPressure < 0 ? std::string("Touch the tablet with the pen")
                        : "Pen " + std::to_string(int(std::lround(gLastPressure * 100))) + " % paints " +
                              std::to_string(int(std::lround(gEdited.Apply(gLastPressure) * 100))) + " %, " +
                              std::to_string(gReportsPerSecond) + " reports a second");
}

void Start(stroke::PressureCurve curve) {
  gEdited = std::move(curve);
  stroke::SetPenCurve(gEdited);
  Draw();
  ShowReading();
}

void Build(PressureWindow& w) {
  w.form.SetCaption("Pressure curve");
  platform::SetFixedClientSize(w.form, 2 * kMargin + kCurveSide, 3 * kMargin + kCurveSide + 30);
  w.graph = std::make_unique<platform::PictureBox>(w.form, kMargin, kMargin, kCurveSide, kCurveSide);
  w.reading = std::make_unique<platform::Label>(w.form, kMargin, 2 * kMargin + kCurveSide, kCurveSide, 20);
  w.graph->MouseDown = [](int16_t, int16_t, float X, float Y) { CurveMouseDown(X, Y); };
  w.graph->MouseMove = [](int16_t Button, int16_t, float X, float Y) {
    if (Button != 0) CurveMouseMove(X, Y);
  };
  w.graph->MouseUp = [](int16_t, int16_t, float, float) { CurveMouseUp(); };
  w.graph->Paint = Draw;
  w.form.AddMenuItem("Start from", "Linear", [] { Start(stroke::LinearCurve()); });
  w.form.AddMenuItem("Start from", "Soft", [] { Start(stroke::SoftCurve()); });
  w.form.AddMenuItem("Start from", "Firm", [] { Start(stroke::FirmCurve()); });
}

}  // namespace

void CurveMouseDown(float X, float Y) {
  if (gEdited.points.size() < 2) gEdited = stroke::PenCurve();
  gDragged = -1;
  for (size_t i = 0; i < gEdited.points.size(); ++i)
    if (std::abs(ToX(gEdited.points[i].first) - X) <= 5 && std::abs(ToY(gEdited.points[i].second) - Y) <= 5)
      gDragged = int(i);
  if (gDragged < 0 && gEdited.points.size() < stroke::kCurvePointsMost) {
    const float x = FromX(X);
    const auto at = std::upper_bound(gEdited.points.begin(), gEdited.points.end(), std::make_pair(x, 2.0f));
    // A point only strictly between two others: inputs rise.
    if (at != gEdited.points.begin() && at != gEdited.points.end() && x > (at - 1)->first && x < at->first) {
      gDragged = int(at - gEdited.points.begin());
      gEdited.points.insert(at, {x, FromY(Y)});
    }
  }
  CurveMouseMove(X, Y);
}

void CurveMouseMove(float X, float Y) {
  if (gDragged < 0 || size_t(gDragged) >= gEdited.points.size()) return;
  auto& [x, y] = gEdited.points[size_t(gDragged)];
  y = FromY(Y);
  const size_t i = size_t(gDragged);
  if (i > 0 && i + 1 < gEdited.points.size()) {
    // Kept a hair inside its neighbours, so that the inputs go on rising.
    const float lo = gEdited.points[i - 1].first + 1e-3f, hi = gEdited.points[i + 1].first - 1e-3f;
    x = std::clamp(FromX(X), lo, hi);
  }
  Draw();
}

void CurveMouseUp() {
  if (gDragged >= 0) stroke::SetPenCurve(gEdited);
  gDragged = -1;
  ShowReading();
}

void ShowPressureWindow() {
  gEdited = stroke::PenCurve();
  if (!gWindow) {
    gWindow = std::make_unique<PressureWindow>();
    Build(*gWindow);
  }
  gWindow->form.ShowOwnedBy(Form1Window());
  Draw();
  ShowReading();
}

void DestroyPressureWindow() {
  gWindow.reset();
  gLastPressure = -1;
  gReportsThisSecond = gReportsPerSecond = 0;
}

std::string PressureReading() { return gWindow ? gWindow->reading->caption() : std::string(); }

void PenReport(float pressure) {
  PenPressure = stroke::PenCurve().Apply(pressure);
  const auto now = std::chrono::steady_clock::now();
  if (now - gSecondStart >= std::chrono::seconds(1)) {
    gReportsPerSecond = now - gSecondStart < std::chrono::seconds(2) ? gReportsThisSecond : 0;
    gReportsThisSecond = 0;
    gSecondStart = now;
  }
  ++gReportsThisSecond;
  gLastPressure = std::clamp(pressure, 0.0f, 1.0f);
  if (gWindow) {
    if (gDragged < 0) gEdited = stroke::PenCurve();  // the window shows the curve the pen goes through
    Draw();
    ShowReading();
  }
}

}  // namespace brisel::app
