// SPDX-License-Identifier: Apache-2.0
// An idle Setting Mode connection: the timer's tick every 100 ms listens
// 20 ms for scanned data on a silent port. Target: under 2 % of one core.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>

#include "bench_util.h"
#include "imaging/scan_monitor.h"
#include "link/serial_link.h"
#include "support/pty_peer.h"

using namespace varnet;

namespace {

using bench::ProcessCpuSeconds;

void BM_IdleSettingModeTicks(benchmark::State& state) {
  test::PtyPeer peer;
  ScannerLink link;
  if (!OpenLink(link, peer.SlavePath(), 115200)) {
    state.SkipWithError("no pty");
    return;
  }
  constexpr int kTicks = 30;  // 3 s at the Setting Mode period
  constexpr auto kPeriod = std::chrono::milliseconds(100);
  double cpu = 0, wall = 0, listening = 0;
  int readings = 0;
  for (auto _ : state) {
    const double c0 = ProcessCpuSeconds();
    const auto w0 = std::chrono::steady_clock::now();
    auto next = w0;
    for (int i = 0; i < kTicks; ++i) {
      next += kPeriod;
      const auto t0 = std::chrono::steady_clock::now();
      std::string text;
      readings += ReadScanData(link, text);
      listening += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::this_thread::sleep_until(next);  // the event loop between ticks
    }
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    cpu += ProcessCpuSeconds() - c0;
  }
  CloseLink(link);
  const double ticks = double(state.iterations()) * kTicks;
  state.counters["cpu_share_pct"] = 100.0 * cpu / wall;
  state.counters["listen_ms_per_tick"] = 1000.0 * listening / ticks;
  state.counters["cpu_us_per_tick"] = 1e6 * cpu / ticks;
  state.counters["readings"] = readings;
}
BENCHMARK(BM_IdleSettingModeTicks)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
