// From the pointer's report to the changed pixels on the screen: the whole path a painter feels, through Qt,
// the window's backing store and the X server, which bench/stroke_latency_bench.cpp (the handler alone)
// leaves out.
//
// On a private Xvfb, the real brisel paints a stroke that XTEST drives at 1,000 pointer events a second
// along a figure of eight (about 5 to 7 screen pixels an event, button held), on a 4096 x 4096 picture at
// zoom 1 and on a 2048 x 2048 picture at zoom 4, in a canvas of about 1920 x 1080 with the smallest brush.
// For every event it takes the time until the pixels that event draws first differ on the screen: a 3 x 3
// box where its piece of the stroke ends, just inside the dab's front edge, where no earlier piece reached.
// A move draws the piece that ends at the point before it (the spline needs a point ahead), so the first
// piece comes with the third move after the press. Also the press's first pixels, and the release's
// committed stroke (the first redraw that covers the whole figure), each from the moment the bench sent it.
// Beside them the floor: bench/screen/dot_floor.cpp, a Qt widget that repaints a one-pixel dot per event.
// Eight strokes a case, after one not counted, each undone before the next (the floor changes its colour
// instead). The three programs run side by side and take turns, a stroke each, with the one painting raised
// above the others, so that a busy moment of the machine (a virtual one has many) weighs on them alike.
// Figures in microseconds.

#include <QImage>

#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "screen_probe.h"
#include "x_session.h"

namespace brisel::bench {
namespace {

constexpr int kScreenWidth = 2200, kScreenHeight = 1200;
constexpr int kCanvasWidth = 1920, kCanvasHeight = 1110;  // with the menu bar: a client of about 1920 x 1080
constexpr int kMoves = 1000;
constexpr double kPeriod = 0.001;  // seconds between two events
constexpr int kStrokes = 8;

struct Point {
  double x, y;
};

// The figure of eight in screen pixels, once round in kMoves moves after the press point (index 0).
std::vector<Point> FigureOfEight() {
  std::vector<Point> points;
  for (int i = 0; i <= kMoves; ++i) {
    const double t = 2 * M_PI * i / kMoves;
    points.push_back({960 + 760 * std::sin(t), 580 + 380 * std::sin(2 * t)});
  }
  return points;
}

struct Case {
  std::string name;
  std::string program;
  std::vector<std::string> arguments;
  int side = 0;        // the picture's, 0 for none
  int zoomSteps = 0;   // Ctrl + plus presses, each 25 % more
  int lag = 0;         // the point an event's pixels end at, counted back from the event's own
  int firstDrawn = 0;  // the first event that draws: the press is 0
  double reach = 0;    // the dab's radius in screen pixels
  bool undoAfterStroke = false;
};

struct Figures {
  std::vector<double> moves, presses, releases;
  int never = 0, events = 0;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// The box whose pixels event k is the first to change.
Box BoxOf(const Case& c, const std::vector<Point>& points, int k) {
  const Point end = points[size_t(k - c.lag)];
  Point at = end;
  if (c.reach > 0 && k - c.lag > 0) {
    const Point from = points[size_t(k - c.lag - 1)];
    const double dx = end.x - from.x, dy = end.y - from.y, length = std::hypot(dx, dy);
    at = {end.x + dx / length * c.reach / 2, end.y + dy / length * c.reach / 2};
  }
  return {int(std::lround(at.x)) - 1, int(std::lround(at.y)) - 1, 3, 3};
}

struct Pending {
  int k;
  Box box;
  std::vector<uint32_t> before;
  double sent;
};

void Stroke(ScreenProbe& probe, Window canvas, const Case& c, const std::vector<Point>& points, Figures* figures) {
  probe.MovePointer(int(std::lround(points[0].x)), int(std::lround(points[0].y)));
  probe.WaitQuiet(0.15, Now() + 2);
  std::vector<Pending> pending;
  double firstPixels = 0, released = 0, committed = 0;
  Box sinceRelease;
  Box figure = {int(points[0].x), int(points[0].y), 1, 1};
  for (const Point& p : points) figure = figure.United({int(std::lround(p.x)), int(std::lround(p.y)), 1, 1});
  std::vector<double> latencies;
  const auto onDamage = [&](const Box& area, double at) {
    for (auto it = pending.begin(); it != pending.end();) {
      if (area.Meets(it->box) && probe.Read(it->box) != it->before) {
        latencies.push_back(at - it->sent);
        if (firstPixels == 0) firstPixels = at;
        it = pending.erase(it);
      } else {
        ++it;
      }
    }
    if (released > 0 && committed == 0) {
      sinceRelease = sinceRelease.United(area);
      if (sinceRelease.Holds(figure)) committed = at;
    }
  };
  const double start = Now();
  for (int k = 0; k <= kMoves + 1; ++k) {
    probe.Pump(start + k * kPeriod, onDamage);
    const bool draws = k >= c.firstDrawn && k <= kMoves;
    Pending next;
    if (draws) next = {k, BoxOf(c, points, k), {}, 0};
    if (draws) next.before = probe.Read(next.box);
    if (k == 0) probe.Button(true);
    else if (k <= kMoves)
      probe.MovePointer(int(std::lround(points[size_t(k)].x)), int(std::lround(points[size_t(k)].y)));
    else probe.Button(false);
    const double sent = Now();
    if (k > kMoves) released = sent;
    if (draws) {
      next.sent = sent;
      pending.push_back(std::move(next));
    }
  }
  const double pressed = start;
  probe.Pump(Now() + 0.5, onDamage);
  // The next stroke goes over the same figure: its pixels must change again.
  if (c.undoAfterStroke) {
    probe.Focus(canvas);
    for (const bool down : {true, false}) probe.Key(XK_u, down);
    probe.WaitQuiet(0.2, Now() + 5);
  }
  if (!figures) return;
  figures->moves.insert(figures->moves.end(), latencies.begin(), latencies.end());
  figures->events += kMoves + 1 - c.firstDrawn;
  figures->never += int(pending.size());
  if (firstPixels > 0) figures->presses.push_back(firstPixels - pressed);
  if (committed > 0) figures->releases.push_back(committed - released);
}

bool WritePicture(const std::string& path, int side) {
  QImage picture(side, side, QImage::Format_RGB32);
  picture.fill(Qt::white);
  return picture.save(QString::fromStdString(path), "PNG");
}

// A case's program on the X server, its windows (the canvas first) and what its strokes measured.
struct Session {
  const Case* c = nullptr;
  std::unique_ptr<Client> client;
  std::vector<Window> windows;
  Figures figures;
};

// Starts a case's program beside the windows of those already started, ready to paint; false with a reason
// when it could not.
bool Open(ScreenProbe& probe, const std::string& display, const Case& c, Session& session, std::string& why) {
  const std::string folder = MakeTemporaryFolder();
  std::vector<std::string> arguments = c.arguments;
  if (c.side > 0) {
    const std::string picture = folder + "/picture.png";
    if (!WritePicture(picture, c.side)) return why = "cannot write " + picture, false;
    arguments.push_back(picture);
  }
  const std::vector<Window> before = probe.Windows();
  const auto own = [&] {
    std::vector<Window> windows;
    for (Window w : probe.Windows())
      if (std::find(before.begin(), before.end(), w) == before.end()) windows.push_back(w);
    return windows;
  };
  session.c = &c;
  session.client = std::make_unique<Client>(display, folder, c.program, arguments);
  std::vector<Window> windows;
  for (const double deadline = Now() + 60; windows.empty() || own().size() < windows.size();) {
    if (Now() > deadline || !session.client->running()) return why = c.program + " showed no window", false;
    probe.Pump(Now() + 0.2, [](const Box&, double) {});
    windows = own();
  }
  // A long read shows a busy window for a while: the windows that stay are the program's own.
  probe.Pump(Now() + 1.5, [](const Box&, double) {});
  windows = own();
  if (windows.empty()) return why = c.program + " showed no window", false;
  // The canvas (the largest window) at the screen's corner, the rest (the tool panel) beside it.
  probe.Place(windows[0], 0, 0, kCanvasWidth, kCanvasHeight);
  for (size_t i = 1; i < windows.size(); ++i) probe.Place(windows[i], kCanvasWidth + 10, 0, 250, 700);
  probe.WatchDamage(windows[0]);
  // The keyboard's focus once the canvas is up and the busy window of a long read is gone.
  probe.WaitQuiet(0.5, Now() + 10);
  probe.Focus(windows[0]);
  if (c.side > 0) {
    probe.Key(XK_Control_L, true);
    for (int i = 0; i < c.zoomSteps; ++i)
      for (const bool down : {true, false}) probe.Key(XK_equal, down), probe.WaitQuiet(0.05, Now() + 2);
    probe.Key(XK_Control_L, false);
    for (const bool down : {true, false}) probe.Key(XK_bracketleft, down);  // the smallest brush
    probe.WaitQuiet(0.5, Now() + 10);
  }
  session.windows = std::move(windows);
  return true;
}

void Row(const char* name, const std::vector<double>& seconds, const char* extra = "") {
  std::printf("  %-22s median %7.0f   p99 %7.0f   max %7.0f%s\n", name, Percentile(seconds, 0.5) * 1e6,
              Percentile(seconds, 0.99) * 1e6, Percentile(seconds, 1.0) * 1e6, extra);
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five;
  file >> one >> five;
  return one + " " + five;
}

}  // namespace
}  // namespace brisel::bench

int main() {
  using namespace brisel::bench;
  XServer server(kScreenWidth, kScreenHeight);
  if (server.display().empty()) {
    std::fprintf(stderr, "screen latency: Xvfb did not start (is it installed?)\n");
    return 1;
  }
  const std::vector<Case> cases = {
      {"brisel 4096 x 4096, zoom 1", BRISEL_PROGRAM, {}, 4096, 0, 1, 3, 1.0, true},
      {"brisel 2048 x 2048, zoom 4", BRISEL_PROGRAM, {}, 2048, 12, 1, 3, 4.0, true},
      {"floor: a Qt dot", DOT_FLOOR_PROGRAM, {}, 0, 0, 0, 0, 0.0},
  };
  std::printf("Screen latency on Xvfb %s, %d events a second, %d strokes of %d moves, microseconds "
              "(load average %s)\n",
              server.display().c_str(), int(1 / kPeriod), kStrokes, kMoves, LoadAverage().c_str());
  ScreenProbe probe(server.display());
  if (!probe.failure().empty()) {
    std::fprintf(stderr, "screen latency: %s\n", probe.failure().c_str());
    return 1;
  }
  int status = 0;
  std::vector<Session> sessions;
  for (const Case& c : cases) {
    Session session;
    std::string why;
    if (!Open(probe, server.display(), c, session, why)) {
      std::printf("%s: not measured: %s\n", c.name.c_str(), why.c_str());
      status = 1;
      continue;
    }
    sessions.push_back(std::move(session));
  }
  // The cases take turns, a stroke each, so that a busy moment of the machine falls on all of them alike.
  const std::vector<Point> points = FigureOfEight();
  for (int stroke = 0; stroke <= kStrokes; ++stroke) {
    for (Session& s : sessions) {
      for (const Window w : s.windows) probe.Raise(w);
      probe.Focus(s.windows[0]);
      probe.WaitQuiet(0.3, Now() + 10);  // the raised canvas drawn whole again
      Stroke(probe, s.windows[0], *s.c, points, stroke ? &s.figures : nullptr);
    }
  }
  std::map<std::string, Figures> results;
  for (const Session& s : sessions) {
    if (!s.client->running()) {
      std::printf("%s: not measured: %s ended during the strokes\n", s.c->name.c_str(), s.c->program.c_str());
      status = 1;
      continue;
    }
    const Figures& figures = s.figures;
    std::printf("%s\n", s.c->name.c_str());
    char never[64];
    std::snprintf(never, sizeof never, "   never shown %d of %d", figures.never, figures.events);
    Row("event to pixels", figures.moves, never);
    Row("press to first pixels", figures.presses);
    Row("release to commit", figures.releases);
    results[s.c->name] = figures;
  }
  const auto floor = results.find(cases.back().name);
  if (floor != results.end() && !floor->second.moves.empty())
    for (size_t i = 0; i + 1 < cases.size(); ++i)
      if (const auto it = results.find(cases[i].name); it != results.end())
        std::printf("%s / floor: median %.2f, p99 %.2f\n", cases[i].name.c_str(),
                    Percentile(it->second.moves, 0.5) / Percentile(floor->second.moves, 0.5),
                    Percentile(it->second.moves, 0.99) / Percentile(floor->second.moves, 0.99));
  return status;
}
