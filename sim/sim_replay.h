// SPDX-License-Identifier: Apache-2.0
// A scanner that replays a wire trace: one pseudo-terminal per port the trace
// opens, on which each request the tool sends gets the reply the trace
// recorded after it, at the recorded pace. A request other than the one the
// trace holds next is a divergence: reported with both byte strings and
// answered with silence.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_trace.h"

namespace varnet::sim {

class TraceReplay {
 public:
  // speed > 1 plays the recorded gaps faster. `report` gets each divergence
  // as it is found (from a serving thread); Problems() keeps them too.
  explicit TraceReplay(WireTrace trace, double speed = 1.0, std::function<void(const std::string&)> report = {});
  ~TraceReplay();  // Stop()
  TraceReplay(const TraceReplay&) = delete;
  TraceReplay& operator=(const TraceReplay&) = delete;

  // Makes the pseudo-terminals and starts serving. False when one cannot be made.
  bool Start();
  // "/dev/pts/N", one per port of the trace, in its order.
  std::vector<std::string> SlavePaths() const;
  const WireTrace& Trace() const;

  // Every port played out: each request seen and answered, the tool has
  // closed the port (or the recorded hang-up has closed it); a diverged port
  // counts once the tool has closed it.
  bool PlayedOut() const;
  bool WaitPlayedOut(int timeoutMs) const;
  // Every port waits for the tool: nothing left to play before its next
  // request (or it is played out). For a test that acts as a user would,
  // after the scanner has said all it said at that point.
  bool WaitIdle(int timeoutMs) const;

  // Stops serving; a port whose tool stopped before the trace did gets a
  // problem of its own. Idempotent.
  void Stop();
  // Divergences and unfinished ports, one text each.
  std::vector<std::string> Problems() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnet::sim
