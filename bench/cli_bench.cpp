// SPDX-License-Identifier: Apache-2.0
// `varnet-cli import FILE` with its read-back on N simulated scanners: the
// ports run at once (default --jobs: every port given), so N = 16 should take
// little more than N = 1. The same run with --jobs 1 (one port after the
// other) is the baseline, and --jobs 8 shows what turns of eight cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

using namespace varnet;

namespace {

struct Fleet {
  Fleet() {
    for (int i = 0; i < 16; ++i) {
      scanners.push_back(std::make_unique<sim::SimScanner>(sim::ProfileNamed("usb")));
      scanners.back()->Start();
    }
    golden = dir.File("golden.vt");
    ok = test::RunCli({"--port", scanners[0]->SlavePath(), "export", golden}).status == 0;
  }
  std::vector<std::string> Import(size_t n, const char* jobs) const {
    std::vector<std::string> args;
    for (size_t i = 0; i < n; ++i) args.insert(args.end(), {"--port", scanners[i]->SlavePath()});
    if (jobs) args.insert(args.end(), {"--jobs", jobs});
    args.insert(args.end(), {"import", golden});
    return args;
  }
  test::TempDir dir;
  std::vector<std::unique_ptr<sim::SimScanner>> scanners;
  std::string golden;
  bool ok = false;
};

Fleet& TheFleet() {
  static Fleet fleet;
  return fleet;
}

void RunImport(benchmark::State& state, const char* jobs) {
  Fleet& fleet = TheFleet();
  if (!fleet.ok) return state.SkipWithError("no configuration file to import");
  const auto args = fleet.Import(size_t(state.range(0)), jobs);
  for (auto _ : state)
    if (test::RunCli(args).status != 0) state.SkipWithError("an import failed");
}

void BM_ImportDefaultJobs(benchmark::State& state) { RunImport(state, nullptr); }
BENCHMARK(BM_ImportDefaultJobs)->Arg(1)->Arg(4)->Arg(16)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ImportOneAfterTheOther(benchmark::State& state) { RunImport(state, "1"); }
BENCHMARK(BM_ImportOneAfterTheOther)->Arg(1)->Arg(4)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ImportEightJobs(benchmark::State& state) { RunImport(state, "8"); }
BENCHMARK(BM_ImportEightJobs)->Arg(16)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
