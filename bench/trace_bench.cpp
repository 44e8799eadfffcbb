// SPDX-License-Identifier: Apache-2.0
// The wire trace's cost on the link's reads. Argument 0: tracing off (the
// hooks' one load per read); 1: tracing on, into /dev/null. The baseline
// without hooks is the same benchmark built with -DVARNET_WIRE_TRACE=OFF.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "link/serial_link.h"
#include "link/trace.h"
#include "support/pty_peer.h"

using namespace varnet;

namespace {

class TraceScope {
 public:
  explicit TraceScope(bool on) {
    if (!on) return;
    devNull_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    trace::ToFd(devNull_, "bench");
  }
  ~TraceScope() {
    if (devNull_ < 0) return;
    trace::Stop();
    ::close(devNull_);
  }

 private:
  int devNull_ = -1;
};

// The reply readers' way: 1024 bytes one read each (a hook per byte).
void BM_CollectByteAtATime(benchmark::State& state) {
  test::PtyPeer peer;
  ScannerLink link;
  if (!OpenLink(link, peer.SlavePath(), 115200)) return state.SkipWithError("no pty");
  TraceScope scope(state.range(0) != 0);
  const std::vector<uint8_t> burst(1024, 0x41);
  uint8_t buf[1024];
  for (auto _ : state) {
    peer.Write(burst);
    if (CollectUntilIdle(link, buf, sizeof buf, 100, 100).count != sizeof buf) state.SkipWithError("short");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof buf));
}
BENCHMARK(BM_CollectByteAtATime)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The image reader's way: 16 KiB in reads of up to 2048 bytes.
void BM_ReadExactChunks(benchmark::State& state) {
  test::PtyPeer peer;
  ScannerLink link;
  if (!OpenLink(link, peer.SlavePath(), 115200)) return state.SkipWithError("no pty");
  TraceScope scope(state.range(0) != 0);
  std::vector<uint8_t> image(16 * 1024, 0x5A), buf(image.size());
  for (auto _ : state) {
    peer.WriteLater(image, 0);
    if (ReadExact(link, buf.data(), buf.size(), 250, 2048) != buf.size()) state.SkipWithError("short");
    peer.Join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_ReadExactChunks)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
