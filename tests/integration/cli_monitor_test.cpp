// SPDX-License-Identifier: Apache-2.0
// varnet-cli monitor against the simulator: the lines the data list would
// show, and the ways a monitor ends.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "sim/sim_scanner.h"
#include "support/cli_process.h"
#include "support/cli_runner.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

// Waits until the next connection is made (its serial number asked and the
// answer's wait over).
void AwaitConnection(const sim::SimScanner& s) {
  for (int i = 0; i < 300 && !Heard(s.Received(), Cmd(kQuerySerial)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
}

// The scanner sends each burst once the next connection is made, `gapMs` apart.
std::thread FeedAfterConnect(sim::SimScanner& s, std::vector<Bytes> bursts, int gapMs = 80) {
  s.ClearReceived();
  return std::thread([&s, bursts = std::move(bursts), gapMs] {
    AwaitConnection(s);
    for (const Bytes& b : bursts) {
      std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      s.SendRaw(b);
    }
  });
}

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()); }
  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim.SlavePath(), "--baud", "115200", "monitor"});
    return RunCli(args);
  }
  sim::SimScanner sim;
};

}  // namespace

TEST_F(Monitor, EachReadingAsTheDataListShowsIt) {
  // The readings' texts are the data list's (checked on their own); here what
  // the monitor adds: a late acknowledgement is no reading, every byte is listed.
  std::thread feed = FeedAfterConnect(sim, {Text("ABC123\r\n"), kAck, Text("AB\rCD")});
  const auto r = Run({"--json", "--count", "2", "--timeout", "3"});
  feed.join();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  const std::vector<std::pair<std::string, std::string>> expected = {{"ABC123[CR][LF]", "41 42 43 31 32 33 0D 0A"},
                                                                     {"AB[CR]", "41 42 0D 43 44"}};
  const std::regex iso("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d");
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["port"], sim.SlavePath());
    EXPECT_EQ(lines[i]["text"], expected[i].first);
    EXPECT_EQ(lines[i]["bytes"], expected[i].second);
    EXPECT_TRUE(std::regex_match(lines[i]["time"].get<std::string>(), iso)) << lines[i]["time"];
  }

  // As text: the time, then the reading.
  feed = FeedAfterConnect(sim, {Text("X1\r\n")});
  const auto text = Run({"--count", "1"});
  feed.join();
  EXPECT_TRUE(std::regex_match(text.out,
                               std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  X1\\[CR\\]\\[LF\\]\n")))
      << text.out;
}

TEST_F(Monitor, EndsAfterTheTimeoutFailingWhenTheCountDidNotCome) {
  auto t0 = std::chrono::steady_clock::now();
  auto r = Run({"--timeout", "0.3"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));

  std::thread feed = FeedAfterConnect(sim, {Text("ONE\r\n")});
  r = Run({"--json", "--count", "2", "--timeout", "0.5"});
  feed.join();
  EXPECT_EQ(r.status, 1);
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0]["text"], "ONE[CR][LF]");
  EXPECT_EQ(lines[1]["ok"], false);
  EXPECT_TRUE(Has(lines[1]["message"], "1 of 2 readings")) << lines[1];
}

TEST_F(Monitor, AVanishedOrBabblingScannerIsNamed) {
  std::thread gone([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    sim.Vanish();
  });
  auto r = Run({});
  gone.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "The connection to the scanner was lost.")) << r.err;

  sim::SimScanner babbler;
  ASSERT_TRUE(babbler.Start());
  std::thread babble([&] {
    AwaitConnection(babbler);
    babbler.SetScanData(Bytes(4096, 'x'), 1);
  });
  r = RunCli({"--port", babbler.SlavePath(), "--baud", "115200", "monitor", "--timeout", "10"});
  babble.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "sends without a pause")) << r.err;
}

TEST_F(Monitor, CtrlCEndsItCleanly) {
  sim.SetScanData(Text("TICK\r\n"), 100);
  CliProcess p({"--port", sim.SlavePath(), "--baud", "115200", "monitor"});
  ASSERT_TRUE(p.Started());
  ASSERT_TRUE(Has(p.ReadLines(2, 5000), "TICK[CR][LF]\n")) << p.out;
  p.Signal(SIGINT);
  EXPECT_EQ(p.Wait(2000), 0);
  // The port is free again: the program closed it.
  EXPECT_EQ(RunCli({"--port", sim.SlavePath(), "--baud", "115200", "info"}).status, 0);
}
