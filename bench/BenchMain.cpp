// The benchmark program's main: the library's own, except that the reports name every
// benchmark exactly as registered. The dab workloads are timed in wall-clock time (their
// threaded path runs on other threads), and the library would otherwise append
// "/real_time" to their names, which the comparison with the peers' runs matches on.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

std::vector<benchmark::BenchmarkReporter::Run> PlainNames(
    const std::vector<benchmark::BenchmarkReporter::Run>& runs) {
  std::vector<benchmark::BenchmarkReporter::Run> renamed = runs;
  for (auto& run : renamed) run.run_name.time_type.clear();
  return renamed;
}

class CConsoleReport : public benchmark::ConsoleReporter {
 public:
  using benchmark::ConsoleReporter::ConsoleReporter;
  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::ConsoleReporter::ReportRuns(PlainNames(runs));
  }
};

class CJsonReport : public benchmark::JSONReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::JSONReporter::ReportRuns(PlainNames(runs));
  }
};

// The library refuses a file reporter when no output file was asked for.
bool WantsOutputFile(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--benchmark_out=", 16) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const bool toFile = WantsOutputFile(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CConsoleReport console(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                               : benchmark::ConsoleReporter::OO_None);
  CJsonReport json;
  benchmark::RunSpecifiedBenchmarks(&console, toFile ? &json : nullptr);
  benchmark::Shutdown();
  return 0;
}
