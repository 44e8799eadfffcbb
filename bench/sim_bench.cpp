// SPDX-License-Identifier: Apache-2.0
// How long the simulated scanner takes to make a capture and to answer a
// query: the tool may ask for a capture every 150 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim/sim_camera.h"
#include "sim/sim_scanner.h"

namespace {

void BM_SimRenderFullFrame(benchmark::State& state) {
  uint32_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(varnet::sim::RenderShot(++n, true, 0, 0));
}
BENCHMARK(BM_SimRenderFullFrame)->Unit(benchmark::kMillisecond);

void BM_SimRenderNarrowFrame(benchmark::State& state) {
  uint32_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(varnet::sim::RenderShot(++n, true, 320, 240));
}
BENCHMARK(BM_SimRenderNarrowFrame)->Unit(benchmark::kMillisecond);

// One device type query through the pty, request to complete reply.
void BM_SimDeviceTypeRoundTrip(benchmark::State& state) {
  varnet::sim::SimScanner sim;
  if (!sim.Start()) {
    state.SkipWithError("no pty");
    return;
  }
  const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  const uint8_t query[] = {0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83};
  for (auto _ : state) {
    if (::write(fd, query, sizeof query) != sizeof query) break;
    uint8_t reply[16];
    size_t got = 0;
    while (got < 7) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) break;
      const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got != 7) state.SkipWithError("no reply");
  }
  ::close(fd);
}
BENCHMARK(BM_SimDeviceTypeRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
