// SPDX-License-Identifier: Apache-2.0
// varnet-sim --replay: the scanner's side of a wire trace, until the trace
// is played out and the tool has closed its ports, or a signal.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "sim/sim_replay.h"

namespace varnet::sim {

// Exit status: 0 the tool sent what the trace holds, 3 it did not (each
// difference on standard error), 1 the trace cannot be read or served.
int RunReplay(const std::string& path, double speed, const sigset_t& signals) {
  std::string why;
  auto trace = ReadWireTrace(path, why);
  if (!trace) {
    std::fprintf(stderr, "varnet-sim: %s\n", why.c_str());
    return 1;
  }
  if (trace->ports.empty()) {
    std::fprintf(stderr, "varnet-sim: %s: the trace opens no port\n", path.c_str());
    return 1;
  }
  TraceReplay replay(std::move(*trace), speed, [](const std::string& text) {
    std::fprintf(stderr, "varnet-sim: %s\n", text.c_str());
    std::fflush(stderr);
  });
  if (!replay.Start()) {
    std::fprintf(stderr, "varnet-sim: cannot create a pseudo-terminal\n");
    return 1;
  }
  for (const auto& slave : replay.SlavePaths()) std::printf("%s\n", slave.c_str());
  std::fflush(stdout);
  const timespec tick{0, 20 * 1000 * 1000};
  for (;;) {
    const int sig = sigtimedwait(&signals, nullptr, &tick);
    if (sig == SIGINT || sig == SIGTERM || replay.PlayedOut()) break;
  }
  replay.Stop();
  return replay.Problems().empty() ? 0 : 3;
}

}  // namespace varnet::sim
