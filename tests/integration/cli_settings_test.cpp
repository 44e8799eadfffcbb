#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "support/cli_runner.h"
#include "support/scripted_scanner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

const std::vector<uint8_t> kAck{0x52, 0xA0, 0xEC, 0xFE, 0x74};

// A "QB-55" (code 2): "Sense Mode Sensitivity" is shown as "Sense Mode" with
// the sense trigger types, read at offset 56.
std::unique_ptr<ScriptedScanner> Qb55() {
  auto s = std::make_unique<ScriptedScanner>();
  std::vector<uint8_t> p(192, 0);
  std::memcpy(p.data(), "QB-55", 5);
  p[16] = 2;
  p[20 + 3] = 0x06;  // mask bits 25, 26: Data Matrix, QR
  p[55] = 1;         // Level Trigger
  p[56] = 1;         // IrDA
  p[188] = 0x40;
  s->On(0x0E, 0x0D, 0x06, DataReply({0x01}));
  s->On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", p));
  s->On(0x0E, 0x0D, 0x0A, BlockReply("*DFF*", std::vector<uint8_t>(640, 0)));
  s->On(0x0E, 0x0D, 0x02, DataReply({'V', '3', '.', '1'}));
  s->On(0x0E, 0x0D, 0x53, DataReply({'S', 'N', '7'}));
  return s;
}

// The frames after connecting: everything but the 0E 0D queries.
std::vector<std::vector<uint8_t>> Writes(ScriptedScanner& s) {
  std::vector<std::vector<uint8_t>> w;
  for (auto& f : s.Frames())
    if (!(f.size() == 7 && f[2] == 0x0E && f[3] == 0x0D)) w.push_back(f);
  return w;
}

std::vector<uint8_t> Frame(uint8_t p1, uint8_t p2, uint8_t p3) {
  std::vector<uint8_t> f{0x05, 0x57, p1, p2, p3};
  uint16_t ck = uint16_t(65536 - (0x05 + 0x57 + p1 + p2 + p3));
  f.push_back(uint8_t(ck >> 8));
  f.push_back(uint8_t(ck));
  return f;
}

const nlohmann::json* FindGroup(const nlohmann::json& categories, const std::string& title) {
  for (auto& c : categories)
    for (auto& g : c["groups"])
      if (g["title"] == title) return &g;
  return nullptr;
}

std::vector<std::string> InForce(const nlohmann::json& group) {
  std::vector<std::string> labels;
  for (auto& o : group["options"])
    if (o["in_force"]) labels.push_back(o["label"]);
  return labels;
}

}  // namespace

TEST(CliGet, JsonShowsTheGroupsAndOptionsThisScannerShows) {
  auto s = Qb55();
  auto r = RunCli({"--port", s->SlavePath(), "--json", "get"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["port"], s->SlavePath());
  EXPECT_EQ(j["model_name"], "QB-55");
  EXPECT_EQ(j["model_code"], 2);
  const auto& cats = j["categories"];
  ASSERT_EQ(cats.size(), 6u);  // the four settings categories, then "Output Settings" and "Trigger Settings"
  EXPECT_EQ(cats[0]["name"], "Scan Settings");
  EXPECT_EQ(cats[3]["name"], "Interface");
  std::vector<std::string> scan;
  for (auto& g : cats[0]["groups"]) scan.push_back(g["label"]);
  // "Illumination LEDs" is only for the HTR-81 and HWR-81.
  EXPECT_EQ(scan, (std::vector<std::string>{"Scan Mode", "Sense Mode", "Power On Beep", "Good Read Beep",
                                             "Good Read Frequency", "Aiming LED", "Illumination Mode",
                                             "Illumination Level"}));

  const auto* sense = FindGroup(cats, "Sense Mode Sensitivity");
  ASSERT_TRUE(sense);
  EXPECT_EQ((*sense)["label"], "Sense Mode");
  EXPECT_EQ(InForce(*sense), (std::vector<std::string>{"IrDA"}));
  EXPECT_EQ(InForce(*FindGroup(cats, "Scan Mode")), (std::vector<std::string>{"Level Trigger"}));
  EXPECT_EQ(InForce(*FindGroup(cats, "Readable Symbologies")), (std::vector<std::string>{"Data Matrix", "QR"}));
}

TEST(CliGet, OneGroupByTitleOrShownLabelAndWrongNames) {
  auto s = Qb55();
  auto r = RunCli({"--port", s->SlavePath(), "--json", "get", "sense mode"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["categories"].size(), 1u);
  ASSERT_EQ(j["categories"][0]["groups"].size(), 1u);
  EXPECT_EQ(j["categories"][0]["groups"][0]["title"], "Sense Mode Sensitivity");

  r = RunCli({"--port", s->SlavePath(), "get", "Scan Mod"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("\"Scan Mode\""), std::string::npos) << r.err;
  // A catalogue group this model does not show is named as such.
  r = RunCli({"--port", s->SlavePath(), "--json", "get", "Illumination LEDs"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("not shown for this scanner"), std::string::npos) << r.err;

  r = RunCli({"--port", s->SlavePath(), "get", "Readable Symbologies"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Symbologies\n  Readable Symbologies  Data Matrix, QR\n");
}

TEST(CliSet, ChoicesSendOnlyWhatAClickSends) {
  auto s = Qb55();
  // Already in force: nothing goes out, and that is no failure.
  auto r = RunCli({"--port", s->SlavePath(), "set", "Scan Mode", "Level Trigger"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("already in force"), std::string::npos);
  EXPECT_TRUE(Writes(*s).empty());
  // A choice cannot be switched off.
  r = RunCli({"--port", s->SlavePath(), "set", "Scan Mode", "Sense Mode", "off"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Writes(*s).empty());

  // The substituted row sends the substituted code; --save follows the change.
  s->On(0xA1, 0x02, 0x12, kAck);
  s->On(0xA0, 0x08, 0x01, kAck);
  r = RunCli({"--port", s->SlavePath(), "--save", "set", "Sense Mode", "Image Change"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Writes(*s), (std::vector<std::vector<uint8_t>>{Frame(0xA1, 0x02, 0x12), Frame(0xA0, 0x08, 0x01)}));

  // Without an acknowledgement: "Set Failed", exit 1, and nothing is saved.
  r = RunCli({"--port", s->SlavePath(), "--save", "--json", "set", "Scan Mode", "Pulse Trigger"});
  EXPECT_EQ(r.status, 1);
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["ok"], false);
  EXPECT_EQ(j["message"], "Set Failed");
  auto w = Writes(*s);
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[2], Frame(0xA1, 0x02, 0x04));
}

TEST(CliSet, OnOffOptionsFollowTheWantedState) {
  auto s = Qb55();
  s->On(0xB4, 0x01, 0x0E, kAck);
  s->On(0xDB, 0x01, 0x0D, kAck);
  // QR is on: "on" sends nothing.
  auto r = RunCli({"--port", s->SlavePath(), "set", "Readable Symbologies", "QR", "on"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("already on"), std::string::npos);
  EXPECT_TRUE(Writes(*s).empty());
  r = RunCli({"--port", s->SlavePath(), "set", "Readable Symbologies", "qr", "OFF"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Without a state the click toggles: EAN-13 is off, so it goes on.
  r = RunCli({"--port", s->SlavePath(), "--json", "set", "Readable Symbologies", "EAN-13"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["ok"], true);
  EXPECT_EQ(Writes(*s), (std::vector<std::vector<uint8_t>>{Frame(0xDB, 0x01, 0x0D), Frame(0xB4, 0x01, 0x0E)}));

  r = RunCli({"--port", s->SlavePath(), "set", "Readable Symbologies", "QR", "maybe"});
  EXPECT_EQ(r.status, 2);
}

TEST(CliSet, WrongNamesExitTwoWithCloseMatches) {
  auto s = Qb55();
  auto r = RunCli({"--port", s->SlavePath(), "--json", "set", "Readable Symbology", "QR"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("\"Readable Symbologies\""), std::string::npos) << r.err;
  r = RunCli({"--port", s->SlavePath(), "set", "Readable Symbologies", "EAN13"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("\"EAN-13\""), std::string::npos) << r.err;
  // "DotCode" exists in the catalogue but not for this firmware.
  r = RunCli({"--port", s->SlavePath(), "set", "Readable Symbologies", "DotCode"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("not shown for this scanner"), std::string::npos) << r.err;
  // The sensitivity rows are replaced on this model: no way round that.
  r = RunCli({"--port", s->SlavePath(), "set", "Sense Mode Sensitivity", "High"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Writes(*s).empty());
}
