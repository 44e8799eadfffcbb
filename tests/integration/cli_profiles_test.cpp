// SPDX-License-Identifier: Apache-2.0
// profile, apply, schema, and show/diff of profiles, through the command
// line against simulated scanners: what reaches the scanner, to the byte.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The profile `profile` wrote, with one group's line changed.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct CliProfiles : ::testing::Test {
  TempDir dir;
  std::string yaml = dir.File("till.yaml");
  CliRun On(sim::SimScanner& s, std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", s.SlavePath()});
    return RunCli(args);
  }
};

}  // namespace

TEST_F(CliProfiles, OneEditAppliedOnceVerifiedSavedThenNothingToSend) {
  sim::SimScanner a;
  ASSERT_TRUE(a.Start());
  ASSERT_EQ(On(a, {"profile", yaml}).status, 0);
  std::string text = Edited(ReadText(yaml), "    Scan Mode: Level Trigger\n", "    Scan Mode: Sense Mode\n");
  text = Edited(text, "    Power On Beep: \"On\"\n", "    Power On Beep: Off\n");  // unquoted, as people type it
  WriteText(yaml, text);

  a.ClearReceived();
  CliRun r = On(a, {"--json", "--save", "apply", "--dry-run", yaml});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Writes(a.Received()).empty());
  const nlohmann::json dry = JsonLines(r.out).at(0);
  EXPECT_TRUE(dry["dry_run"] && dry["changed"]);
  EXPECT_EQ(dry["frames"].size(), 5u);  // two clicks, two read-backs, the save

  r = On(a, {"--json", "--save", "apply", yaml});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json j = JsonLines(r.out).at(0);
  EXPECT_TRUE(j["ok"] && j["changed"] && j["verified"]);
  EXPECT_EQ(j["changes"], nlohmann::json::parse(R"([
      {"category": "Scan Settings", "group": "Scan Mode", "from": ["Level Trigger"], "to": ["Sense Mode"]},
      {"category": "Scan Settings", "group": "Power On Beep", "from": ["On"], "to": ["Off"]}])"));
  EXPECT_EQ(Writes(a.Received()), (std::vector<Bytes>{Cmd(0xA1, 0x02, 0x02), Cmd(0xA1, 0x05, 0x1D), Cmd(kSave)}));
  EXPECT_EQ(a.SaveCount(), 1);

  // Again: only the connect requests; no save without a change.
  a.ClearReceived();
  r = On(a, {"--json", "--save", "apply", yaml});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(JsonLines(r.out).at(0)["changed"]);
  EXPECT_TRUE(JsonLines(r.out).at(0)["verified"]);
  EXPECT_TRUE(Writes(a.Received()).empty());
  EXPECT_EQ(a.SaveCount(), 1);
}

TEST_F(CliProfiles, ARefusedStepStopsTheApplyAndNothingIsSaved) {
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  WriteText(yaml,
            "varnet-profile: 1\nsettings:\n  Scan Settings:\n    Scan Mode: Sense Mode\n    Power On Beep: \"Off\"\n"
            "    Good Read Beep: \"Off\"\n");
  s.faults().RefuseCommand(0xA1, 0x05, 0x1D);
  const CliRun r = On(s, {"--json", "--save", "apply", yaml});
  EXPECT_EQ(r.status, 1);
  const nlohmann::json j = JsonLines(r.out).at(0);
  EXPECT_FALSE(j["ok"] || j["verified"]);
  EXPECT_TRUE(j["changed"]);
  EXPECT_EQ(j["changes"].size(), 1u);
  EXPECT_TRUE(Has(j["message"], "Set Failed: Power On Beep: Off\ntaken before it: Scan Mode: Sense Mode"));
  EXPECT_EQ(Writes(s.Received()), (std::vector<Bytes>{Cmd(0xA1, 0x02, 0x02), Cmd(0xA1, 0x05, 0x1D)}));
  EXPECT_EQ(s.SaveCount(), 0);

  // A new output interface: the restart goes last, in the dry run's list too.
  s.faults().ClearRefused();
  WriteText(yaml, "varnet-profile: 1\nsettings:\n  Interface:\n    Output Interface: RS-232\n");
  const nlohmann::json dry = JsonLines(On(s, {"--json", "--dry-run", "apply", yaml}).out).at(0);
  EXPECT_TRUE(Has(dry["frames"].back()["what"], "restart"));
  s.ClearReceived();
  EXPECT_TRUE(JsonLines(On(s, {"--json", "apply", yaml}).out).at(0)["restart"]);
  s.WaitReceived(10, 2000);  // connecting (6), the click, two read-backs, the restart, sent without a wait
  EXPECT_EQ(Writes(s.Received()), (std::vector<Bytes>{Cmd(0xA1, 0x49, 0x01), Cmd(kRestart)}));

  // Taken, but the read-back fails: not verified, so not saved either.
  sim::SimScanner t;
  ASSERT_TRUE(t.Start());
  WriteText(yaml, "varnet-profile: 1\nsettings:\n  Scan Settings:\n    Scan Mode: Sense Mode\n");
  std::thread spoil([&] {
    // Connecting takes six requests (the rate probe asks for the device type first); the click is the seventh.
    if (t.WaitReceived(7, 5000)) t.faults().blockShortBy = 20;
  });
  const CliRun unverified = On(t, {"--json", "--save", "apply", yaml});
  spoil.join();
  EXPECT_EQ(unverified.status, 1);
  const nlohmann::json u = JsonLines(unverified.out).at(0);
  EXPECT_FALSE(u["verified"]);
  EXPECT_TRUE(Has(u["message"], "verification failed: the scanner's settings could not be read back"));
  EXPECT_EQ(t.SaveCount(), 0);
}

TEST_F(CliProfiles, EveryRefusalComesBeforeAnythingIsSent) {
  struct Case {
    const char* simProfile;
    const char* text;
    std::vector<std::string> options;
    int status;
    const char* says;
  } cases[] = {
      // Each kind of refusal once; the planner's refusals one by one are unit tests.
      {"usb",
       "settings:\n  Scan Settings:\n    Scan Mode: Sense Mod\n",
       {},
       2,
       "till.yaml: line 4: unknown option \"Sense Mod\" of \"Scan Mode\"; did you mean \"Sense Mode\""},
      {"code2-qb55", "settings:\n  Scan Settings:\n    Sense Mode: High\n", {}, 1, "is not shown for this scanner"},
      {"usb",
       "model: {name: QB-55, code: 2}\nsettings:\n  Scan Settings:\n    Scan Mode: Sense Mode\n",
       {},
       1,
       "--any-model"},
      {"usb", "settings:\n  Scan Settings: [\n", {}, 1, "line 4: not valid YAML"},
  };
  for (const Case& c : cases) {
    sim::SimScanner s(sim::ProfileNamed(c.simProfile));
    ASSERT_TRUE(s.Start());
    WriteText(yaml, std::string("varnet-profile: 1\n") + c.text);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--save", "apply", yaml});
    const CliRun r = On(s, args);
    EXPECT_EQ(r.status, c.status) << c.text << r.err;
    EXPECT_TRUE(Has(r.err, c.says)) << r.err;
    EXPECT_TRUE(Writes(s.Received()).empty()) << c.text;
  }
  // Another model's profile, when asked for.
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  WriteText(
      yaml,
      "varnet-profile: 1\nmodel: {name: QB-55, code: 2}\nsettings:\n  Scan Settings:\n    Scan Mode: Sense Mode\n");
  EXPECT_EQ(On(s, {"apply", "--any-model", yaml}).status, 0);
  EXPECT_EQ(s.ParamBlock()[55], 2);
}

TEST_F(CliProfiles, ShowDiffAndSchemaTakeProfiles) {
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  WriteText(yaml,
            "varnet-profile: 1\nsettings:\n  Scan Settings:\n    Sense Mode Sensitivity: Medium\n"
            "  Symbologies:\n    Code 11: {add: [Transmit Check Digit], remove: [1 Digit Checksum Checking]}\n");
  CliRun r = RunCli({"--json", "show", yaml});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json shown = JsonLines(r.out).at(0);
  EXPECT_EQ(shown["categories"][1]["groups"][0]["options"], nlohmann::json::parse(R"([
      {"label": "Transmit Check Digit", "in_force": true}, {"label": "1 Digit Checksum Checking", "in_force": false}])"));

  // Only the named groups are compared; the remove: cannot take the mode out
  // of force, so diff says why instead of guessing.
  r = RunCli({"diff", yaml, "port:" + s.SlavePath()});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  WriteText(yaml, "varnet-profile: 1\nsettings:\n  Scan Settings:\n    Sense Mode Sensitivity: High\n");
  r = RunCli({"--json", "diff", yaml, "port:" + s.SlavePath()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(JsonLines(r.out).at(0)["differences"], nlohmann::json::parse(R"([
      {"category": "Scan Settings", "group": "Sense Mode Sensitivity", "a": ["High"], "b": ["Medium"]}])"));
  const std::string other = dir.File("other.yaml");
  WriteText(other, "varnet-profile: 1\nsettings:\n  Scan Settings:\n    sense mode sensitivity: high\n");
  EXPECT_EQ(RunCli({"diff", yaml, other}).status, 0);

  r = RunCli({"schema"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(nlohmann::json::parse(r.out)["$schema"], "https://json-schema.org/draft/2020-12/schema");
}
