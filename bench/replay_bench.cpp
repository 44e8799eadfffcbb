// SPDX-License-Identifier: Apache-2.0
// How faithfully varnet-sim --replay keeps a trace's pace, and what the
// corpus of tests/traces costs. Each entry is replayed for its command with
// the trace on; the gaps the replayed run shows (request to first reply byte,
// and between the lines of a reply) are set against the recorded ones.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/trace.h"
#include "sim/sim_replay.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

using namespace varnet;

namespace {

const std::string kCorpus = VARNET_TRACES_DIR;

// Per port and request: the ms from its last write to the first read after
// it, then between the reads that follow (none when nothing came).
using Gaps = std::vector<std::vector<std::vector<int>>>;

Gaps ReplyGaps(const sim::WireTrace& trace) {
  Gaps gaps;
  for (const sim::WirePort& port : trace.ports) {
    auto& requests = gaps.emplace_back();
    uint32_t last = 0;
    bool writing = false;
    for (const sim::WireEvent& e : port.events) {
      if (e.kind == sim::WireEventKind::Write) {
        if (!writing) requests.emplace_back();
        last = e.tick;
        writing = true;
        continue;
      }
      writing = false;
      if (e.kind != sim::WireEventKind::Read || requests.empty()) continue;
      requests.back().push_back(int32_t(e.tick - last));
      last = e.tick;
    }
  }
  return gaps;
}

double Median(std::vector<int> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void BM_ReplayCorpusFidelity(benchmark::State& state) {
  std::vector<int> first, inner;
  size_t entries = 0;
  for (auto _ : state) {
    for (const auto& file : std::filesystem::directory_iterator(kCorpus)) {
      if (file.path().extension() != ".args") continue;
      const std::string name = file.path().stem().string();
      std::string why;
      std::filesystem::path tracePath = file.path();
      auto recorded = sim::ReadWireTrace(tracePath.replace_extension(".trace").string(), why);
      if (!recorded) return state.SkipWithError(why.c_str());
      test::TempDir dir;
      sim::TraceReplay replay(*recorded);
      if (!replay.Start()) return state.SkipWithError("no pty");
      std::vector<std::string> args;
      std::ifstream in(file.path());
      for (std::string line; std::getline(in, line);) {
        for (size_t i = 0; i < replay.SlavePaths().size(); ++i) {
          const std::string key = "{PORT" + std::to_string(i + 1) + "}";
          if (line == key) line = replay.SlavePaths()[i];
        }
        if (line.rfind("{DIR}", 0) == 0) line.replace(0, 5, dir.path());
        if (line.rfind("{HERE}", 0) == 0) line.replace(0, 6, kCorpus);
        args.push_back(line);
      }
      if (!trace::ToFile(dir.File("replayed.trace"), "bench", why)) return state.SkipWithError(why.c_str());
      test::RunCli(args);
      trace::Stop();
      replay.WaitPlayedOut(5000);
      replay.Stop();
      if (!replay.Problems().empty()) return state.SkipWithError((name + ": " + replay.Problems()[0]).c_str());
      auto replayed = sim::ReadWireTrace(dir.File("replayed.trace"), why);
      if (!replayed) return state.SkipWithError(why.c_str());
      const Gaps a = ReplyGaps(*recorded), b = ReplyGaps(*replayed);
      for (size_t p = 0; p < std::min(a.size(), b.size()); ++p)
        for (size_t r = 0; r < std::min(a[p].size(), b[p].size()); ++r)
          for (size_t k = 0; k < std::min(a[p][r].size(), b[p][r].size()); ++k)
            (k == 0 ? first : inner).push_back(std::abs(b[p][r][k] - a[p][r][k]));
      ++entries;
    }
  }
  state.counters["entries"] = double(entries) / double(state.iterations());
  state.counters["first_byte_median_ms"] = Median(first);
  state.counters["first_byte_worst_ms"] = first.empty() ? 0 : *std::max_element(first.begin(), first.end());
  state.counters["inner_gap_median_ms"] = Median(inner);
  state.counters["inner_gap_worst_ms"] = inner.empty() ? 0 : *std::max_element(inner.begin(), inner.end());
  state.counters["gaps"] = double(first.size() + inner.size());
}
BENCHMARK(BM_ReplayCorpusFidelity)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
