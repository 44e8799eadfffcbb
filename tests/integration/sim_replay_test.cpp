// SPDX-License-Identifier: Apache-2.0
// varnet-sim's replay of wire traces: the recorded pace, traces as the
// Windows build and older versions write them, and a tool that strays from
// the trace. The corpus itself runs as the Trace.* tests.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "link/protocol.h"
#include "sim/sim_replay.h"
#include "support/cli_runner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

std::string Corpus(const std::string& name) {
  std::ifstream in(std::string(VARNET_TRACES_DIR) + "/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

sim::WireTrace Parsed(const std::string& text) {
  std::string why;
  auto trace = sim::ParseWireTrace(text, why);
  EXPECT_TRUE(trace) << why;
  return trace.value_or(sim::WireTrace{});
}

}  // namespace

// A format-1 trace with CRLF line ends, a Windows port name and a program's
// own message among its lines: the reply comes after the recorded 300 ms,
// or a quarter of it at four times the speed.
TEST(TraceReplay, RepliesKeepTheRecordedPaceAtAnySpeed) {
  const std::string text =
      "# varnet-cli wire trace, pid 4242: tick 1000.000 s is 2026-12-07 02:50:27 +0100\r\n"
      "   1000.010 COM3 open at 9600 bit/s\r\n"
      "   1000.012 COM3 write 05 57 0E 0D 06 FF 83\r\n"
      "varnet-cli: something on standard error\r\n"
      "   1000.312 COM3 read  05 52 0E 0D 04 FF 8A\r\n"
      "   1000.313 COM3 closed\r\n";
  const sim::WireTrace trace = Parsed(text);
  EXPECT_EQ(trace.format, 1);
  ASSERT_EQ(trace.ports.size(), 1u);
  EXPECT_EQ(trace.ports[0].name, "COM3");
  for (double speed : {1.0, 4.0}) {
    SCOPED_TRACE(speed);
    sim::TraceReplay replay(trace, speed);
    ASSERT_TRUE(replay.Start());
    ScannerLink link;
    ASSERT_TRUE(OpenLink(link, replay.SlavePaths().at(0), 9600));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QueryDeviceType(link), 4);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    CloseLink(link);
    if (speed == 1.0) EXPECT_GE(ms.count(), 295);
    else EXPECT_LT(ms.count(), 200);
    EXPECT_TRUE(replay.WaitPlayedOut(2000));
    replay.Stop();
    EXPECT_TRUE(replay.Problems().empty());
  }

  std::string why;
  EXPECT_FALSE(sim::ParseWireTrace("# varnet wire trace, format 3, pid 1: tick 1.000 s is now\n", why));
  EXPECT_NE(why.find("format 3 is newer"), std::string::npos) << why;
}

// The trace of one command replayed for another: the request where they part
// is shown both ways and gets no answer; a tool that stops early is named too.
TEST(TraceReplay, ARequestOtherThanTheTracesFailsWithBothByteStrings) {
  const sim::WireTrace trace = Parsed(Corpus("set-save.trace"));
  {
    sim::TraceReplay replay(trace);
    ASSERT_TRUE(replay.Start());
    const auto r = RunCli({"--port", replay.SlavePaths().at(0), "--save", "set", "Power On Beep", "Off"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "Set Failed")) << r.err;
    replay.Stop();
    const auto problems = replay.Problems();
    ASSERT_EQ(problems.size(), 1u);
    const auto beep = ShortCommandFrame({0xA1, 0x05, 0x0D}), power = ShortCommandFrame({0xA1, 0x05, 0x1D});
    EXPECT_TRUE(Has(problems[0], "request 7 (trace line")) << problems[0];
    EXPECT_TRUE(Has(problems[0], "expected: " + sim::HexText({beep.begin(), beep.end()}))) << problems[0];
    EXPECT_TRUE(Has(problems[0], "sent:     " + sim::HexText({power.begin(), power.end()}))) << problems[0];
  }
  sim::TraceReplay replay(trace);
  ASSERT_TRUE(replay.Start());
  EXPECT_EQ(RunCli({"--port", replay.SlavePaths().at(0), "info"}).status, 0);
  replay.Stop();
  ASSERT_EQ(replay.Problems().size(), 1u);
  EXPECT_TRUE(Has(replay.Problems()[0], "the tool stopped before the trace did: request 7")) << replay.Problems()[0];
}
