// SPDX-License-Identifier: Apache-2.0
// Profiles: the YAML 1.1 rules, the reader's refusals and the planner's
// clicks and records, on the simulator's blocks (no port).
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include "pages/output_format.h"
#include "pages/page_summary.h"
#include "profiles/profile.h"
#include "profiles/profile_plan.h"
#include "profiles/profile_writer.h"
#include "profiles/yaml11.h"
#include "sim/sim_scanner.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::profiles;
using varnet::test::Cmd;

namespace {

struct Scanner {
  DeviceInfo info;
  ScannerModel model;
};

// A scanner as the simulator's named profile starts out.
Scanner ScannerNamed(const std::string& name) {
  const sim::Profile p = sim::ProfileNamed(name);
  Scanner s;
  std::copy_n(p.paramBlock.begin(), ParamBlock::kSize, s.info.paramBlock.bytes.begin());
  std::fill_n(s.info.paramBlock.bytes.begin(), 16, 0);
  std::copy(p.modelName.begin(), p.modelName.end(), s.info.paramBlock.bytes.begin());
  s.info.paramBlock.SetU8(pb::ModelCode, p.modelCode);
  if (p.hasFormatBlock) s.info.formatBlock = p.formatBlock;
  s.model = ScannerModel::From(s.info.paramBlock, p.firmware);
  return s;
}

// The settings part of a profile, indented under "settings:".
ProfilePlan Plan(const Scanner& s, const std::string& settings, PlanOptions options = {}) {
  const ReadResult read = ReadProfile("varnet-profile: 1\nsettings:\n" + settings);
  EXPECT_TRUE(read.profile) << (read.errors.empty() ? "" : ErrorText(read.errors[0]));
  if (!read.profile) return {};
  return PlanProfile(*read.profile, s.info, s.model, options);
}

// The kind of the plan's first refusal, none when it goes ahead; a refused plan sends nothing.
std::optional<RefusalKind> RefusalOf(const Scanner& s, const std::string& settings) {
  const ProfilePlan plan = Plan(s, settings);
  if (!plan.Refused()) return std::nullopt;
  EXPECT_TRUE(plan.steps.empty()) << settings;
  return plan.refusals[0].kind;
}

std::vector<std::vector<uint8_t>> Frames(const ProfilePlan& plan) {
  std::vector<std::vector<uint8_t>> frames;
  for (const PlanStep& step : plan.steps)
    for (const PlannedFrame& f : step.frames) frames.push_back(f.bytes);
  return frames;
}

// A record command as the wire carries it: length, 'X', records, checksum.
std::vector<uint8_t> RecordFrame(const std::vector<uint8_t>& records) {
  std::vector<uint8_t> f{uint8_t(records.size() + 2), 0x58};
  for (uint8_t b : records) f.push_back(b);
  uint16_t sum = 0;
  for (uint8_t b : f) sum = uint16_t(sum + b);
  const uint16_t ck = uint16_t(0x10000 - sum);
  f.push_back(uint8_t(ck >> 8));
  f.push_back(uint8_t(ck));
  return f;
}

}  // namespace

TEST(ProfileYaml, QuotesWhatYaml11ReadersTakeForOtherThanText) {
  for (const char* s :
       {"On",  "off",        "YES", "n",       "~",    "null", "",    "9600", "010",  "1:30",      "0x1F",    "1e3",
        "1.5", "2001-12-14", "-1",  " padded", "a: b", "#x",   "[x]", "@x",   "x\"y", "tab\there", "\xC2\x85"})
    EXPECT_TRUE(NeedsQuotes(s)) << s;
  for (const char* s : {"Sense Mode", "75%", "1 sec", "2/5 Digit Add-On Code", "Image + IrDA", "CRLF"})
    EXPECT_FALSE(NeedsQuotes(s)) << s;
  // Whatever is written comes back as the same text.
  std::vector<std::string> texts{
      "On",       "9600",           "QR:",
      "a\"b\\c",  "x\x01y",         "\xC3\xA9t\xC3\xA9",
      "\xC2\x9F", "l\xE2\x80\xA8n", std::string("Transmit AI\xEF\xBC\x88") + "01\xEF\xBC\x89" + "Digit"};
  for (const std::string& t : texts)
    EXPECT_EQ(YAML::Load("k: " + YamlScalar(t))["k"].as<std::string>(), t) << YamlScalar(t);

  EXPECT_EQ(Yaml11Int("1:30"), 90);
  EXPECT_EQ(Yaml11Int("010"), 8);
  EXPECT_EQ(Yaml11Int("0x1F"), 31);
  EXPECT_EQ(Yaml11Int("-1_000"), -1000);
  EXPECT_EQ(Yaml11Int("0b101"), 5);
  EXPECT_FALSE(Yaml11Int("09"));
  EXPECT_FALSE(Yaml11Int("99999999999999999999"));
  EXPECT_EQ(Yaml11Bool("Off"), false);
  EXPECT_FALSE(Yaml11Bool("oN"));
}

TEST(ProfileReader, RefusesMalformedFilesWithTheirLine) {
  struct Case {
    const char* text;
    int line;
    const char* part;
    bool usage;
  } cases[] = {
      {"varnet-profile: 2\n", 1, "unsupported profile format", false},
      {"settings: {}\n", 1, "is missing", false},
      {"- a\n- b\n", 1, "must be a map", false},
      {"varnet-profile: 1\n---\nvarnet-profile: 1\n", 0, "exactly one YAML document", false},
      {", a\n", 0, "exactly one YAML document", false},  // the parser reports empty documents without end
      {"varnet-profile: 1\nsettings:\n  Scan Setings:\n    Scan Mode: Sense Mode\n", 3, "\"Scan Settings\"", true},
      {"varnet-profile: 1\nsettings:\n  Interface:\n    USB Keyboard: US\n    USB Keyboard: UK\n", 5, "first on line 4",
       true},
      {"varnet-profile: 1\nsettings:\n  Symbologies:\n    QR: {add: Decode Mirrored QR}\n", 4, "must be a list", true},
      {"varnet-profile: 1\nsettings:\n  Symbologies:\n    QR: {ad: []}\n", 4, "did you mean \"add\"", true},
      {"varnet-profile: 1\nmodel: {name: HS-2D, code: x}\n", 2, "model code", true},
      {"varnet-profile: 1\nsettings:\n  Trigger Settings:\n    Start Scan CMD:\n", 4, "has no value", true},
  };
  for (const Case& c : cases) {
    const ReadResult r = ReadProfile(c.text);
    ASSERT_FALSE(r.profile) << c.text;
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors[0].line, c.line) << c.text;
    EXPECT_NE(r.errors[0].message.find(c.part), std::string::npos) << r.errors[0].message;
    EXPECT_EQ(r.errors[0].usage, c.usage) << c.text;
  }
  EXPECT_FALSE(ReadProfile(std::string(kMaxProfileBytes + 1, ' ')).profile);
}

TEST(ProfilePlan, AProfileWrittenFromAScannerAsksNothingOfIt) {
  for (const std::string& name : sim::ProfileNames()) {
    const Scanner s = ScannerNamed(name);
    const ReadResult read = ReadProfile(WriteProfile(s.info, s.model));
    ASSERT_TRUE(read.profile) << name << ": " << ErrorText(read.errors.at(0));
    const ProfilePlan plan = PlanProfile(*read.profile, s.info, s.model);
    EXPECT_TRUE(plan.refusals.empty()) << name << ": " << RefusalsText(plan.refusals);
    EXPECT_TRUE(plan.steps.empty()) << name << ": " << plan.steps.at(0).what;
  }
  // Cuts of 0 are not written: another scanner's own cuts stay as they are.
  const Scanner a = ScannerNamed("usb");
  Scanner b = a;
  b.info.formatBlock->at(fb::LeadingCut + SlotOfCode(0xDB)) = 4;  // QR
  b.info.formatBlock->at(fb::EndingCut + 1) = 2;
  const ReadResult fromA = ReadProfile(WriteProfile(a.info, a.model));
  ASSERT_TRUE(fromA.profile);
  const ProfilePlan plan = PlanProfile(*fromA.profile, b.info, b.model);
  EXPECT_TRUE(plan.steps.empty()) << plan.steps.at(0).what;
}

TEST(ProfilePlan, ClicksFollowTheCatalogueAndThePagesRules) {
  const Scanner s = ScannerNamed("usb");
  // Unquoted booleans and numbers as a YAML 1.1 tool writes them back.
  const std::string settings =
      "  Interface:\n    RS232 Baud Rate: 115200\n"
      "  Symbologies:\n"
      "    Code 11: [2 Digits Checksum Checking]\n"
      "    Readable Symbologies: {add: [Code 93, QR], remove: [EAN-8]}\n"
      "    Codabar: [Disable Check Digit Verification, Transmit Start/Stop Character]\n"
      "    MSI: {add: [MOD10]}\n"
      "  Scan Settings:\n    Power On Beep: false\n    Scan Mode: sense mode\n"
      "    Good Read Beep: On\n";
  std::string typo = settings;
  typo.replace(typo.find("remove: [EAN-8]"), 15, "remove: [EAN-81, EAN-8]");
  const ProfilePlan plan = Plan(s, typo);
  ASSERT_EQ(plan.refusals.size(), 1u);  // "EAN-81" is no option
  EXPECT_EQ(plan.refusals[0].line, 7);
  EXPECT_NE(plan.refusals[0].message.find("did you mean \"EAN-8\""), std::string::npos) << plan.refusals[0].message;

  const ProfilePlan ok = Plan(s, settings);
  ASSERT_TRUE(ok.refusals.empty()) << RefusalsText(ok.refusals);
  const std::vector<std::vector<uint8_t>> expected{
      Cmd(0xA1, 0x02, 0x02),                         // Scan Mode before Power On Beep: catalogue order, not file order
      Cmd(0xA1, 0x05, 0x1D),                         // Good Read Beep is already on: nothing
      Cmd(0xB3, 0x01, 0x0D),                         // QR is already on; EAN-8 (row 4) before Code 93 (row 10)
      Cmd(0xB7, 0x01, 0x0E), Cmd(0xBA, 0x02, 0x01),  // the check-digit choice, then the switch
      Cmd(0xBA, 0x03, 0x0E), Cmd(0xB9, 0x02, 0x03),  // Code 11's mode; its "Transmit Check Digit" goes off (bit 3 set)
      Cmd(0xB9, 0x03, 0x0D), Cmd(0xA1, 0x0C, 0x05),
  };
  EXPECT_EQ(Frames(ok), expected);
  ASSERT_EQ(ok.changes.size(), 6u);
  EXPECT_EQ(ok.changes[0].group, "Scan Mode");
  EXPECT_EQ(ok.changes[0].from, std::vector<std::string>{"Level Trigger"});
  EXPECT_EQ(ok.changes[0].to, std::vector<std::string>{"Sense Mode"});
}

TEST(ProfilePlan, InnerChoicesAreNamedOnceOrLeftAlone) {
  const Scanner s = ScannerNamed("usb");  // MSI: MOD10; Code 11: 1 digit
  const auto usage = RefusalKind::Usage;
  const std::pair<const char*, std::optional<RefusalKind>> cases[] = {
      {"  Symbologies:\n    MSI: [MOD10, MOD10/MOD11]\n", usage},
      {"  Symbologies:\n    Codabar: [Transmit Start/Stop Character]\n", usage},
      {"  Symbologies:\n    MSI: {add: [MOD10/MOD11]}\n", usage},
      {"  Symbologies:\n    MSI: {remove: [MOD10]}\n", usage},
      {"  Symbologies:\n    MSI: {add: [MOD10], remove: [Transmit Check Digits]}\n", std::nullopt},
      // Code 11 may leave its mode out, but no click takes a mode out of force.
      {"  Symbologies:\n    Code 11: [Transmit Check Digit]\n", RefusalKind::Scanner},
      {"  Symbologies:\n    Code 11: [1 Digit Checksum Checking, Transmit Check Digit]\n", std::nullopt},
      // Code 32 and "Convert Code 39 to Code 32" are one command: asked both ways.
      {"  Symbologies:\n    Readable Symbologies: {add: [Code 32]}\n    Code 39: []\n", usage},
  };
  for (const auto& [settings, kind] : cases) EXPECT_EQ(RefusalOf(s, settings), kind) << settings;
  // Both of one setting agree: one click switches both.
  const ProfilePlan linked = Plan(
      s, "  Symbologies:\n    Readable Symbologies: {add: [Code 32]}\n    Code 39: [Convert Code 39 to Code 32]\n");
  EXPECT_EQ(Frames(linked), std::vector<std::vector<uint8_t>>{Cmd(0xB8, 0x01, 0x0E)});
}

TEST(ProfilePlan, ModelRulesDecideNamesAndCommands) {
  const Scanner qb55 = ScannerNamed("code2-qb55");
  EXPECT_EQ(Frames(Plan(qb55, "  Scan Settings:\n    Sense Mode: IrDA\n")),
            std::vector<std::vector<uint8_t>>{Cmd(0xA1, 0x02, 0x11)});
  // By its catalogue title too; the sensitivity rows are not shown here.
  EXPECT_EQ(Frames(Plan(qb55, "  Scan Settings:\n    Sense Mode Sensitivity: Image Change\n")),
            std::vector<std::vector<uint8_t>>{Cmd(0xA1, 0x02, 0x12)});
  const ProfilePlan hidden = Plan(qb55, "  Scan Settings:\n    Sense Mode: High\n");
  ASSERT_TRUE(hidden.Refused());
  EXPECT_EQ(hidden.refusals[0].kind, RefusalKind::Scanner);
  EXPECT_EQ(hidden.refusals[0].line, 4);

  const Scanner code5 = ScannerNamed("code5"), code6 = ScannerNamed("code6");
  EXPECT_EQ(Frames(Plan(code5, "  Scan Settings:\n    Illumination LED: Blue LED\n")),
            std::vector<std::vector<uint8_t>>{Cmd(0xA1, 0x04, 0x23)});
  for (const char* settings : {"  Scan Settings:\n    Illumination LED: Blue LED\n",  // code 6 ends before it
                               "  Scan Settings:\n    Scan Mode: Sense Mode\n",       // not reached on code 6
                               "  Symbologies:\n    Code 11: []\n", "  Output Settings:\n    Code 11 Prefix: x\n"})
    EXPECT_EQ(RefusalOf(code6, settings), RefusalKind::Scanner) << settings;
  const ProfilePlan typo = Plan(code6, "  Scan Settings:\n    Illumination Levle: Low\n");
  ASSERT_TRUE(typo.UsageError());
  EXPECT_NE(typo.refusals[0].message.find("\"Illumination LED\""), std::string::npos) << typo.refusals[0].message;
  const ProfilePlan elsewhere = Plan(code6, "  Interface:\n    Decode Area: 50%\n");
  ASSERT_TRUE(elsewhere.UsageError());
  EXPECT_NE(elsewhere.refusals[0].message.find("belongs to \"Decode Settings\""), std::string::npos);
}

TEST(ProfilePlan, PageFieldsBecomeTheRecordsOfOneSetEach) {
  const Scanner s = ScannerNamed("usb");
  const ProfilePlan plan = Plan(s,
                                "  Trigger Settings:\n    Pulse Trigger: PNP\n    Start Scan CMD: ST\n"
                                "    Transmit Bad Read Message: yes\n"
                                "  Output Settings:\n    Ending Character: CR\n    Data Matrix Prefix: \"DM:\"\n"
                                "    QR Truncate Ending Data: 3\n    Aztec Suffix: \"\xC3\xA9\"\n");
  ASSERT_TRUE(plan.refusals.empty()) << RefusalsText(plan.refusals);
  const std::vector<uint8_t> general{0xA1, 0x4C, 0x01, 0xFF, 0xA2, 0x04, 0x00, 0xFF,
                                     0xA2, 0x02, 0x00, 0xFF, 0xA2, 0x03, 0x03, 0xFF};
  auto set = [&](std::vector<uint8_t> records) {
    std::vector<uint8_t> all = general;
    for (uint8_t b : records) all.push_back(b);
    return RecordFrame(all);
  };
  const std::vector<std::vector<uint8_t>> expected{
      // One "Set" per symbology, in the list's order; each re-reads the format block.
      set({0xDA, 0x4C, 0x00, 0xFF, 0xDA, 0x45, 0x00, 0xFF, 0xDA, 0x50, 'D', 'M', ':', 0xFF}),
      Cmd(kReadFormatBlock),
      set({0xDB, 0x4C, 0x00, 0xFF, 0xDB, 0x45, 0x03, 0xFF, 0xDB, 0x50, 'Q', 'R', ':', 0xFF, 0xDB, 0x53, '#', 0xFF}),
      Cmd(kReadFormatBlock),
      set({0xDD, 0x4C, 0x00, 0xFF, 0xDD, 0x45, 0x00, 0xFF, 0xDD, 0x53, 0xE9, 0xFF}),
      Cmd(kReadFormatBlock),
      RecordFrame({0xA1, 0x0F, 0x01, 0xFF, 0xA1, 0x19, 'S',  'T',  0xFF, 0xA1, 0x1A,
                   0x00, 0xFF, 0xA1, 0x0E, 0x01, 0xFF, 0xA1, 0x1E, 0x00, 0xFF}),
  };
  EXPECT_EQ(Frames(plan), expected);

  // What the page's edits refuse, and the one change an edit cannot make.
  for (const char* settings :
       {"  Output Settings:\n    QR Prefix: \"123456789\"\n", "  Output Settings:\n    QR Prefix: \"\\xFF\"\n",
        "  Trigger Settings:\n    Bad Read Message: \"\xE6\x89\xAB\"\n", "  Output Settings:\n    QR Prefix: \"\"\n"})
    EXPECT_EQ(RefusalOf(s, settings), RefusalKind::Scanner) << settings;
  for (const char* settings :
       {"  Output Settings:\n    QR Truncate Leading Data: 21\n", "  Output Settings:\n    Ending Character: LF\n"})
    EXPECT_EQ(RefusalOf(s, settings), RefusalKind::Usage) << settings;
}

TEST(ProfilePlan, ModelAndGreyedGroupsRefuseOnlyWhatWouldChange) {
  const Scanner legacy = ScannerNamed("legacy");  // no format block
  EXPECT_TRUE(Plan(legacy,
                   "  Interface:\n    Output Interface: USB CDC Port\n  Output Settings:\n"
                   "    Ending Character: CRLF\n")
                  .steps.empty());
  for (const char* settings :
       {"  Interface:\n    Output Interface: RS-232\n", "  Output Settings:\n    Ending Character: TAB\n",
        "  Trigger Settings:\n    Pulse Trigger: NPN\n"})
    EXPECT_EQ(RefusalOf(legacy, settings), RefusalKind::Scanner) << settings;
  // Another model by its name or its code alone is another model; --any-model takes it.
  const Scanner usb = ScannerNamed("usb");  // HS-2D, code 1
  for (const auto& [model, refused] : {std::pair{"{name: QB-55, code: 2}", true},
                                       {"{name: HS-2D, code: 2}", true},
                                       {"{name: QB-55, code: 1}", true},
                                       {"{code: 2}", true},
                                       {"{name: QB-55}", true},
                                       {"{name: HS-2D, code: 1}", false},
                                       {"{code: 1}", false}}) {
    const ReadResult read = ReadProfile(std::string("varnet-profile: 1\nmodel: ") + model + "\n");
    ASSERT_TRUE(read.profile) << model;
    const ProfilePlan plan = PlanProfile(*read.profile, usb.info, usb.model);
    EXPECT_EQ(plan.Refused(), refused) << model;
    if (refused) {
      EXPECT_EQ(plan.refusals[0].line, 2);
    }
    EXPECT_FALSE(PlanProfile(*read.profile, usb.info, usb.model, {true}).Refused()) << model;
  }
}
