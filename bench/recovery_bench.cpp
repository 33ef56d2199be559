// What keeping every stroke costs the canvas's thread, on an 8192 x 8192 picture, beside the copies of before
// (the whole picture copied for the background writer at each autosave, and encoded on the canvas's thread
// at an orderly end):
//   recovery/brisel/record_100x100_8192    a stroke's journal record handed over, microseconds per stroke
//   recovery/brisel/fold_8192              the longest the canvas's thread stops for a fold (the call; the
//                                          fold itself runs on the journal's thread: fold_s, its wall time)
//   recovery/before/autosave_8192          the autosave as it was: the planes copied for the writer's thread
//   recovery/before/full_encode_8192       the copy encoded and written on the canvas's thread
//   recovery/brisel/journal_after_1000_strokes_8192 and _2048
//                                          the journal's size on disk after 1,000 strokes of 100 x 100 (and
//                                          the most it reached), beside the picture's own size

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/recovery_copies.h"

namespace {

using namespace brisel;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Picture {
  BytePlane r, g, b;
  explicit Picture(int32_t side) : r(side, side), g(side, side), b(side, side) {
    for (int32_t y = 0; y < side; ++y)
      for (int32_t x = 0; x < side; ++x) {
        const int texture = ((x * 7919) ^ (y * 104729)) & 15;
        r(x, y) = uint8_t((x * 255 / side + texture) & 255);
        g(x, y) = uint8_t((y * 255 / side + texture) & 255);
        b(x, y) = uint8_t(((x + y) * 127 / side + texture) & 255);
      }
  }
  // Stroke k: a 100 x 100 square somewhere in the picture, painted.
  void Stroke(int k, int32_t& x, int32_t& y) {
    const int32_t side = r.width();
    x = int32_t((uint32_t(k) * 2654435761u) % uint32_t(side - 100));
    y = int32_t((uint32_t(k) * 40503u + 977u) % uint32_t(side - 100));
    for (int32_t row = y; row < y + 100; ++row)
      for (int32_t col = x; col < x + 100; ++col) r(col, row) = uint8_t(k), g(col, row) = uint8_t(k >> 3);
  }
};

// The recovery folder in a temporary folder of the run's own.
struct StateFolder {
  QTemporaryDir folder;
  StateFolder() { ::setenv("XDG_STATE_HOME", folder.path().toLocal8Bit().constData(), 1); }
};

Picture& Big() {
  static Picture picture(8192);
  return picture;
}

void Record(benchmark::State& state) {
  StateFolder here;
  Picture& p = Big();
  platform::RecoveryJournal journal;
  journal.Begin(platform::NewRecoveryPath("/bench/big.png"), "/bench/big.png", p.r, p.g, p.b);
  int k = 0;
  for (auto _ : state) {
    int32_t x, y;
    p.Stroke(++k, x, y);
    const auto start = Clock::now();
    journal.Record(x, y, 100, 100, p.r, p.g, p.b);
    state.SetIterationTime(Seconds(start));
    journal.WaitForRecords();  // a painter's pace: the next stroke comes after this one is written
  }
  journal.Flush();
  journal.Discard();
}

void Fold(benchmark::State& state) {
  StateFolder here;
  Picture& p = Big();
  platform::RecoveryJournal journal;
  journal.Begin(platform::NewRecoveryPath("/bench/big.png"), "/bench/big.png", p.r, p.g, p.b);
  double longest = 0, folding = 0;
  int k = 0;
  for (auto _ : state) {
    int32_t x, y;
    p.Stroke(++k, x, y);
    journal.Record(x, y, 100, 100, p.r, p.g, p.b);
    const auto start = Clock::now();
    journal.Fold();
    const double stop = Seconds(start);
    state.SetIterationTime(stop);
    longest = std::max(longest, stop);
    journal.Flush();
    folding += Seconds(start);
  }
  state.counters["longest_stop_ms"] = longest * 1e3;
  state.counters["fold_s"] = folding / double(state.iterations());
  journal.Discard();
}

void AutosaveBefore(benchmark::State& state) {
  StateFolder here;
  Picture& p = Big();
  platform::RecoveryWriter writer;
  const std::string path = platform::NewRecoveryPath("/bench/big.png");
  int k = 0;
  for (auto _ : state) {
    int32_t x, y;
    p.Stroke(++k, x, y);
    const auto start = Clock::now();
    writer.WriteInBackground(path, "/bench/big.png", p.r, p.g, p.b);
    state.SetIterationTime(Seconds(start));
    writer.Wait();
  }
  writer.Discard(path);
}

void FullEncodeBefore(benchmark::State& state) {
  StateFolder here;
  Picture& p = Big();
  platform::RecoveryWriter writer;
  const std::string path = platform::NewRecoveryPath("/bench/big.png");
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!writer.WriteNow(path, "/bench/big.png", p.r, p.g, p.b).empty()) state.SkipWithError("no copy");
    state.SetIterationTime(Seconds(start));
  }
  writer.Discard(path);
}

void JournalAfterStrokes(benchmark::State& state) {
  StateFolder here;
  const int32_t side = int32_t(state.range(0));
  Picture p(side);
  for (auto _ : state) {
    platform::RecoveryJournal journal;
    journal.Begin(platform::NewRecoveryPath("/bench/p.png"), "/bench/p.png", p.r, p.g, p.b);
    uint64_t most = 0;
    for (int k = 1; k <= 1000; ++k) {
      int32_t x, y;
      p.Stroke(k, x, y);
      journal.Record(x, y, 100, 100, p.r, p.g, p.b);
      journal.WaitForRecords();
      most = std::max(most, journal.JournalBytes());
    }
    journal.Flush();
    state.counters["journal_MiB"] = double(journal.JournalBytes()) / (1 << 20);
    state.counters["most_MiB"] = double(most) / (1 << 20);
    state.counters["picture_MiB"] = 3.0 * side * side / (1 << 20);
    journal.Discard();
  }
}

}  // namespace

BENCHMARK(Record)->Name("recovery/brisel/record_100x100_8192")->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(Fold)->Name("recovery/brisel/fold_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AutosaveBefore)->Name("recovery/before/autosave_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FullEncodeBefore)->Name("recovery/before/full_encode_8192")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(JournalAfterStrokes)->Name("recovery/brisel/journal_after_1000_strokes")->Arg(8192)->Arg(2048)->Iterations(1)->Unit(benchmark::kMillisecond);
