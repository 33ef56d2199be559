// The benchmarks' main: runs every registered benchmark, then prints how each of Brisel's rows compares
// with the peer rows measured beside it in the same run.
//
// Naming convention for comparisons: "<family>/<subject>/<case>", where subject "brisel" is our code and any
// other subject is a peer (pixman, libmypaint, ...). Rows that report items per second
// (state.SetItemsProcessed) and share family and case are paired, and the summary prints
// brisel / peer as a speed ratio: above 1 means Brisel is faster. Rates are per CPU second unless a
// benchmark asks for real time, which keeps them steady on a machine busy with other work; with
// --benchmark_repetitions the summary uses the medians.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Row {
  std::string family, subject, kase;
  double itemsPerSecond = 0;
  bool fromMedian = false;
};

// Whether a run failed or was skipped: Google Benchmark 1.7 (Debian 12) says error_occurred, 1.8 and later
// (Debian 13) skipped.
template <typename R>
auto Failed(const R& run, int) -> decltype(bool(run.skipped)) {
  return bool(run.skipped);
}
template <typename R>
auto Failed(const R& run, long) -> decltype(bool(run.error_occurred)) {
  return run.error_occurred;
}

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions the median stands for the row; without, the single run does.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (Failed(run, 0) || (run.run_type != Run::RT_Iteration && !median)) continue;
      const auto rate = run.counters.find("items_per_second");
      if (rate == run.counters.end()) continue;
      const std::string name = run.run_name.str();
      const size_t a = name.find('/'), b = a == std::string::npos ? a : name.find('/', a + 1);
      if (b == std::string::npos) continue;
      Row& row = rows_[name];
      if (row.fromMedian && !median) continue;
      row.family = name.substr(0, a);
      row.subject = name.substr(a + 1, b - a - 1);
      row.kase = name.substr(b + 1);
      row.itemsPerSecond = rate->second.value;
      row.fromMedian = median;
    }
  }

  void PrintSummary() const {
    bool header = false;
    for (const auto& [name, ours] : rows_) {
      if (ours.subject != "brisel") continue;
      for (const auto& [peerName, peer] : rows_) {
        if (peer.subject == "brisel" || peer.family != ours.family || peer.kase != ours.kase) continue;
        if (!header)
          std::printf("\n%-12s %-28s %12s %-12s %12s %14s\n", "family", "case", "brisel M/s", "peer", "peer M/s",
                      "brisel/peer");
        header = true;
        std::printf("%-12s %-28s %12.1f %-12s %12.1f %14.2f\n", ours.family.c_str(), ours.kase.c_str(),
                    ours.itemsPerSecond / 1e6, peer.subject.c_str(), peer.itemsPerSecond / 1e6,
                    ours.itemsPerSecond / peer.itemsPerSecond);
      }
    }
  }

 private:
  std::map<std::string, Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  // Another output format asked for on the command line keeps the library's own reporter.
  bool customFormat = false;
  for (int i = 1; i < argc; ++i) customFormat |= std::strncmp(argv[i], "--benchmark_format", 18) == 0;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (customFormat) {
    benchmark::RunSpecifiedBenchmarks();
  } else {
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
  }
  benchmark::Shutdown();
  return 0;
}
