// SPDX-License-Identifier: Apache-2.0
// How a command-line connection ends: the save, then the restart the desktop
// program sends when the output interface changed; progress on several ports.
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "link/device_info.h"
#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Frames = std::vector<std::vector<uint8_t>>;

namespace {

// The restart goes out without waiting for an answer: give the simulator a
// moment to hear all `count` frames.
Frames WritesHeard(const sim::SimScanner& s, size_t count) {
  for (int i = 0; i < 200 && Writes(s.Received()).size() < count; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Writes(s.Received());
}

}  // namespace

TEST(CliClose, AChangedOutputInterfaceRestartsTheScannerLast) {
  sim::SimScanner s;  // USB CDC Port
  ASSERT_TRUE(s.Start());
  const auto rs232 = Cmd(0xA1, 0x49, 0x01), cdc = Cmd(0xA1, 0x49, 0x03), save = Cmd(kSave), restart = Cmd(kRestart);

  auto r = RunCli({"--port", s.SlavePath(), "--save", "--json", "set", "Output Interface", "RS-232"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["restart"], true);
  EXPECT_TRUE(Has(j["message"], "Scanner will be reboot after saving the settings."));
  EXPECT_EQ(WritesHeard(s, 3), (Frames{rs232, save, restart}));
  TempDir dir;
  ASSERT_EQ(RunCli({"--port", s.SlavePath(), "export", dir.File("rs232.vt")}).status, 0);

  // Without --save the restart goes all the same; changed and changed back sends none.
  s.ClearReceived();
  r = RunCli({"--port", s.SlavePath(), "set", "Output Interface", "USB CDC Port"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "restart"));
  EXPECT_EQ(WritesHeard(s, 2), (Frames{cdc, restart}));
  s.ClearReceived();
  r = RunCli({"--port", s.SlavePath(), "set", "Output Interface", "RS-232", "Output Interface", "USB CDC Port"});
  EXPECT_EQ(Writes(s.Received()), (Frames{rs232, cdc}));
  EXPECT_FALSE(Has(r.out, "restart"));

  // A dry run lists the restart as the last frame.
  r = RunCli({"--port", s.SlavePath(), "--save", "--json", "--dry-run", "set", "Output Interface", "RS-232"});
  ASSERT_EQ(r.status, 0) << r.err;
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["restart"], true);
  ASSERT_EQ(j["frames"].size(), 3u);
  EXPECT_EQ(j["frames"][2]["hex"], cli::Hex(restart));

  // An import is not a change of the connection's own: another interface from a file restarts nothing.
  s.ClearReceived();
  ASSERT_EQ(RunCli({"--port", s.SlavePath(), "import", dir.File("rs232.vt")}).status, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(s.ParamBlock()[pb::OutputInterface], 1);
  EXPECT_NE(Writes(s.Received()).back(), restart);
}

TEST(CliProgress, ShownOnATerminalOnlyForSeveralPortsWithoutJson) {
  sim::SimScanner a, b;
  ASSERT_TRUE(a.Start() && b.Start());
  int master = -1, slave = -1, pipeFds[2];
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(pipe(pipeFds), 0);
  FakeRegistry none;
  const std::vector<std::string> both = {"--port", a.SlavePath(), "--port", "ttyVARNET-NONE", "--baud", "115200"};
  auto run = [&](std::vector<std::string> extra, int fd) {
    std::vector<std::string> args = both;
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args, none, fd);
  };

  // The ports run at once: each one's lines in its order, whatever comes between.
  auto linesOf = [](const std::string& text, const std::string& start) {
    std::string mine;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
      if (line.rfind(start, 0) == 0) mine += line + "\n";
    return mine;
  };
  auto r = run({"info"}, slave);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(linesOf(r.err, "[1/2]"), "[1/2] " + a.SlavePath() + ": connecting\n[1/2] " + a.SlavePath() +
                                         ": info\n[1/2] " + a.SlavePath() + ": done\n")
      << r.err;
  EXPECT_EQ(linesOf(r.err, "[2/2]"), "[2/2] ttyVARNET-NONE: connecting\n[2/2] ttyVARNET-NONE: failed\n") << r.err;
  for (const auto& quiet : {run({"info"}, pipeFds[1]), run({"--json", "info"}, slave),
                            RunCli({"--port", b.SlavePath(), "info"}, none, slave)})
    EXPECT_FALSE(Has(quiet.err, "[1/")) << quiet.err;
  for (int fd : {master, slave, pipeFds[0], pipeFds[1]}) close(fd);
}
