// SPDX-License-Identifier: Apache-2.0
// monitor: the desktop program's scanned data list in Setting Mode, on a
// terminal: each reading as a line with its time, until told to stop.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "cli/cli_stream.h"
#include "imaging/scan_monitor.h"
#include "link/ticks.h"

namespace varnet::cli {

namespace {

// Bursts of 1024 bytes without a pause for this long: the scanner babbles
// and no reading can be told apart.
constexpr uint32_t kBabbleMs = 2000;
constexpr uint32_t kMaxTimeoutMs = 2000000000;

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

PortResult Monitor(Session& s, const Options& o) {
  PortResult r;
  r.streamed = true;
  auto fail = [&](std::string why) {
    r.ok = false;
    r.message = std::move(why);
    return r;
  };
  // Kept well inside the 32-bit tick (a timeout of weeks is as good as none).
  const uint32_t timeoutMs =
      o.timeoutSeconds > 0 ? uint32_t(std::min(o.timeoutSeconds * 1000 + 0.5, double(kMaxTimeoutMs))) : 0;
  size_t items = 0;
  uint32_t lastReading = TickCount();
  uint32_t babbleSince = 0;
  bool babbling = false;
  while (!StopRequested()) {
    // The desktop program's tick without its timer: listen, show, listen again.
    const ScanReading reading = ListenForScanData(s.link);
    if (!s.link.IsOpen() || s.link.hungUp) return fail(ReasonText(Reason::ScannerGone));
    if (reading.kind != ScanBurst::TooLong) {
      babbling = false;
    } else if (!babbling) {
      babbling = true;
      babbleSince = TickCount();
    } else if (TicksSince(babbleSince) >= kBabbleMs) {
      return fail("The scanner sends without a pause: no reading can be told apart (" +
                  std::to_string(kBabbleMs / 1000) + " s of data without a 10 ms gap).");
    }
    if (reading.kind == ScanBurst::Reading) {
      lastReading = TickCount();
      std::string line;
      if (o.json) {
        line =
            nlohmann::ordered_json{
                {"port", s.port}, {"time", LocalTimestamp(true)}, {"text", reading.text}, {"bytes", Hex(reading.bytes)}}
                .dump();
      } else {
        line = LocalTimestamp(false) + "  " + (s.severalTargets ? s.port + "  " : "") + reading.text;
      }
      // A reader that went away (monitor | head) ends every port.
      if (!s.lines->Line(line)) {
        RequestStop();
        return r;
      }
      if (o.count && ++items >= *o.count) return r;
    }
    if (timeoutMs && TicksSince(lastReading) >= timeoutMs) {
      if (!o.count) return r;
      std::ostringstream seconds;
      seconds << o.timeoutSeconds;
      return fail("no reading for " + seconds.str() + " s: " + std::to_string(items) + " of " +
                  Plural(*o.count, "reading", "readings") + " came");
    }
  }
  return r;
}

}  // namespace

CommandSpec MonitorCommand() {
  CommandSpec c{.name = "monitor", .summary = "scanned data as it arrives, until Ctrl-C"};
  c.details =
      "Connects in Setting Mode and prints each reading the scanner sends as the desktop program's data list shows "
      "it (control characters by name, a CR not followed by LF ends the reading, bytes 7E to FF left out), one "
      "line with its time each. Acknowledgements, refusals and bursts of 1024 bytes without a pause are not "
      "readings. On several ports their readings come as they arrive, each line naming its port; --count and "
      "--timeout count per port. Ctrl-C ends it and closes the connections as the desktop program does. With "
      "--json: {\"port\", \"time\", \"text\", \"bytes\"} per reading, bytes the data as received in hexadecimal.";
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"--port ttyACM0 monitor", "--all --json monitor --count 1 --timeout 30"};
  c.streaming = true;
  c.run = Monitor;
  c.addOptions = [](CLI::App& app, Options& o) {
    app.add_option("--count", o.count, "end after N readings (per port)")->type_name("N")->check(CLI::PositiveNumber);
    app.add_option("--timeout", o.timeoutSeconds,
                   "end after S seconds without a reading (a failure when --count readings have not come)")
        ->type_name("S")
        ->check(CLI::PositiveNumber);
  };
  return c;
}

}  // namespace varnet::cli
