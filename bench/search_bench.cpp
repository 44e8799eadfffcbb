// SPDX-License-Identifier: Apache-2.0
// The search on N silent serial ports (pseudo-terminals that never answer):
// every port costs six probes of about a second. The parallel search should
// take about as long for eight ports as for one; the one-port-after-the-other
// walk of the same probes is measured beside it as the baseline.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "link/discovery.h"
#include "support/fake_registry.h"
#include "support/pty_peer.h"

using namespace varnet;

namespace {

struct SilentPorts {
  explicit SilentPorts(int n) {
    for (int i = 0; i < n; ++i) peers.push_back(std::make_unique<test::PtyPeer>());
    std::vector<std::string> paths;
    for (auto& p : peers) paths.push_back(p->SlavePath());
    registry.Set(0, {}, paths);
  }
  std::vector<std::unique_ptr<test::PtyPeer>> peers;
  test::FakeRegistry registry;
};

// The two 500 ms pauses of the progress bar are left out (no sleep callback):
// they are the same for any number of ports.
void BM_SearchSilentPortsParallel(benchmark::State& state) {
  SilentPorts ports(int(state.range(0)));
  for (auto _ : state) {
    SearchResult r = RunSearch(ports.registry, true, {});
    if (r.rows != 0) state.SkipWithError("a silent port answered");
  }
}
BENCHMARK(BM_SearchSilentPortsParallel)->Arg(1)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The same probes one port after the other, as the search did before.
void BM_SearchSilentPortsOneAfterTheOther(benchmark::State& state) {
  SilentPorts ports(int(state.range(0)));
  for (auto _ : state) {
    ScannerLink link;
    for (const auto& port : ports.registry.ListSerialPorts())
      for (uint32_t rate : kRs232Rates) {
        FoundScanner found;
        if (ProbePort(link, port, rate, found)) state.SkipWithError("a silent port answered");
      }
  }
}
BENCHMARK(BM_SearchSilentPortsOneAfterTheOther)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
