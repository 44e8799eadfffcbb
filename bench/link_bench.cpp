// SPDX-License-Identifier: Apache-2.0
// Waiting on the link must not burn CPU: these report CPU time against wall
// time for the silent waits, and the cost of a block read.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "bench_util.h"
#include "link/device_info.h"
#include "link/protocol.h"
#include "sim/sim_scanner.h"
#include "support/pty_peer.h"

using namespace varnet;

namespace {

using bench::ProcessCpuSeconds;

template <typename F>
void MeasureCpuShare(benchmark::State& state, F wait) {
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double c0 = ProcessCpuSeconds();
    auto w0 = std::chrono::steady_clock::now();
    wait();
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    cpu += ProcessCpuSeconds() - c0;
  }
  state.counters["cpu_share_pct"] = 100.0 * cpu / wall;
}

void BM_WaitAckSilent(benchmark::State& state) {
  test::PtyPeer peer;
  ScannerLink link;
  OpenLink(link, peer.SlavePath(), 115200);
  MeasureCpuShare(state, [&] { benchmark::DoNotOptimize(WaitAck(link, 250)); });
}
BENCHMARK(BM_WaitAckSilent)->Iterations(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CollectUntilIdleSilent(benchmark::State& state) {
  test::PtyPeer peer;
  ScannerLink link;
  OpenLink(link, peer.SlavePath(), 115200);
  uint8_t buf[1024];
  MeasureCpuShare(state, [&] { benchmark::DoNotOptimize(CollectUntilIdle(link, buf, sizeof buf, 500, 100)); });
}
BENCHMARK(BM_CollectUntilIdleSilent)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadParameterBlock(benchmark::State& state) {
  sim::SimScanner scanner(sim::ProfileNamed("usb"));
  scanner.Start();
  ScannerLink link;
  OpenLink(link, scanner.SlavePath(), 921600);
  DeviceInfo info;
  for (auto _ : state) {
    SendShortCommand(link, kReadParamBlock);
    if (!ReadBlock(link, info)) state.SkipWithError("block read failed");
  }
}
BENCHMARK(BM_ReadParameterBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
