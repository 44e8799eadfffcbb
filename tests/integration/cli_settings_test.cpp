// SPDX-License-Identifier: Apache-2.0
// get and set on a "QB-55" (code 2): "Sense Mode Sensitivity" is shown as
// "Sense Mode" with the sense trigger types, read at offset 56.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Frames = std::vector<std::vector<uint8_t>>;

namespace {

const nlohmann::json* FindGroup(const nlohmann::json& categories, const std::string& title) {
  for (auto& c : categories)
    for (auto& g : c["groups"])
      if (g["title"] == title) return &g;
  return nullptr;
}

std::vector<std::string> InForce(const nlohmann::json* group) {
  std::vector<std::string> labels;
  for (auto& o : (*group)["options"])
    if (o["in_force"]) labels.push_back(o["label"]);
  return labels;
}

class CliSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Profile p = sim::ProfileNamed("code2-qb55");
    p.firmware = "V3.1";
    p.paramBlock[pb::SymbologyMask] = p.paramBlock[pb::SymbologyMask + 1] = p.paramBlock[pb::SymbologyMask + 2] = 0;
    p.paramBlock[pb::SymbologyMask + 3] = 0x06;  // mask bits 25, 26: Data Matrix, QR
    p.paramBlock[pb::ScanMode] = 1;              // Level Trigger
    p.paramBlock[56] = 1;                        // IrDA
    s = std::make_unique<sim::SimScanner>(p);
    ASSERT_TRUE(s->Start());
  }
  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", s->SlavePath()});
    return RunCli(args);
  }
  Frames Sent() const { return Writes(s->Received()); }
  std::unique_ptr<sim::SimScanner> s;
};

}  // namespace

TEST_F(CliSettings, GetShowsTheGroupsAndOptionsThisScannerShows) {
  auto r = Run({"--json", "get"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["model_name"], "QB-55");
  EXPECT_EQ(j["model_code"], 2);
  const auto& cats = j["categories"];
  ASSERT_TRUE(FindGroup(cats, "Sense Mode Sensitivity"));
  EXPECT_EQ((*FindGroup(cats, "Sense Mode Sensitivity"))["label"], "Sense Mode");
  EXPECT_EQ(InForce(FindGroup(cats, "Sense Mode Sensitivity")), (std::vector<std::string>{"IrDA"}));
  EXPECT_EQ(InForce(FindGroup(cats, "Scan Mode")), (std::vector<std::string>{"Level Trigger"}));
  EXPECT_EQ(InForce(FindGroup(cats, "Readable Symbologies")), (std::vector<std::string>{"Data Matrix", "QR"}));

  // One group, by its shown label; wrong names.
  r = Run({"--json", "get", "sense mode"});
  ASSERT_EQ(r.status, 0) << r.err;
  j = nlohmann::json::parse(r.out)["categories"];
  ASSERT_TRUE(j.size() == 1 && j[0]["groups"].size() == 1) << j;
  EXPECT_EQ(j[0]["groups"][0]["title"], "Sense Mode Sensitivity");
  r = Run({"get", "Readable Symbologies"});
  EXPECT_EQ(r.out, "Symbologies\n  Readable Symbologies  Data Matrix, QR\n");
  r = Run({"get", "Scan Mod"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "\"Scan Mode\"")) << r.err;
  // "Illumination LEDs" is only for the HTR-81 and HWR-81.
  r = Run({"--json", "get", "Illumination LEDs"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "not shown for this scanner")) << r.err;
}

TEST_F(CliSettings, SetSendsOnlyWhatAClickSends) {
  // Already in force: nothing goes out, and that is no failure.
  auto r = Run({"set", "Scan Mode", "Level Trigger"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "already in force"));
  r = Run({"set", "Readable Symbologies", "QR", "on"});
  EXPECT_TRUE(Has(r.out, "already on"));
  EXPECT_TRUE(Sent().empty());

  // The substituted row sends the substituted code; --save follows the change.
  EXPECT_EQ(Run({"--save", "set", "Sense Mode", "Image Change"}).status, 0);
  EXPECT_EQ(Sent(), (Frames{Cmd(0xA1, 0x02, 0x12), Cmd(kSave)}));
  // A wanted state, and a toggle without one (EAN-13 is off, so it goes on).
  EXPECT_EQ(Run({"set", "Readable Symbologies", "qr", "OFF"}).status, 0);
  r = Run({"--json", "set", "Readable Symbologies", "EAN-13"});
  EXPECT_EQ(nlohmann::json::parse(r.out)["ok"], true);
  EXPECT_EQ(Sent(), (Frames{Cmd(0xA1, 0x02, 0x12), Cmd(kSave), Cmd(0xDB, 0x01, 0x0D), Cmd(0xB4, 0x01, 0x0E)}));
  s->ClearReceived();

  // Refused: exit 1, and one step says "Set Failed" without naming it.
  s->faults().RefuseCommand(0xA1, 0x02, 0x04);
  r = Run({"--save", "--json", "set", "Scan Mode", "Pulse Trigger"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(nlohmann::json::parse(r.out)["message"], "Set Failed");

  // Set, but the save is refused: the command fails with "Save Failed".
  s->ClearReceived();
  s->faults().ClearRefused();
  Refuse(s->faults(), kSave);
  r = Run({"--save", "set", "Scan Mode", "Pulse Trigger"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Save Failed")) << r.err;
  EXPECT_EQ(Sent(), (Frames{Cmd(0xA1, 0x02, 0x04), Cmd(kSave)}));
}

TEST_F(CliSettings, WrongNamesExitTwoWithCloseMatches) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"Readable Symbology", "QR"}, "\"Readable Symbologies\""},
      {{"Readable Symbologies", "EAN13"}, "\"EAN-13\""},
      // In the catalogue, but not for this firmware.
      {{"Readable Symbologies", "DotCode"}, "not shown for this scanner"},
  };
  for (const auto& [args, hint] : cases) {
    std::vector<std::string> a = {"set"};
    a.insert(a.end(), args.begin(), args.end());
    auto r = Run(a);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_TRUE(Has(r.err, hint)) << r.err;
  }
  EXPECT_TRUE(Sent().empty());
}

// Without a format block the page greys the interface and decode area groups:
// a change there by name is refused before anything is sent, and is no usage error.
TEST(CliSetGreyed, GroupsThePageGreysAreRefusedWithoutAFormatBlock) {
  sim::SimScanner s(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(s.Start());
  ASSERT_EQ(RunCli({"--port", s.SlavePath(), "info"}).status, 0);
  const auto connect = s.Received();
  for (const char* group : {"Output Interface", "USB Keyboard", "Decode Area"}) {
    s.ClearReceived();
    const std::string option = group[0] == 'O' ? "RS-232" : group[0] == 'U' ? "UK" : "50%";
    auto r = RunCli({"--port", s.SlavePath(), "--save", "set", "Scan Mode", "Sense Mode", group, option});
    EXPECT_EQ(r.status, 1) << group;
    EXPECT_TRUE(Has(r.err, std::string("\"") + group + "\"") && Has(r.err, "no format block")) << r.err;
    EXPECT_EQ(s.Received(), connect) << group;
  }
  // With a format block the same change goes out.
  sim::SimScanner usb;
  ASSERT_TRUE(usb.Start());
  EXPECT_EQ(RunCli({"--port", usb.SlavePath(), "set", "Decode Area", "50%"}).status, 0);
  EXPECT_TRUE(Heard(usb.Received(), Cmd(0xA1, 0x03, 0x13)));
}
