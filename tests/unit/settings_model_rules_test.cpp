// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>

#include "settings/apply_option.h"
#include "settings/model_rules.h"

namespace varnet {
namespace {

ScannerModel Model(uint8_t code, std::string name, std::string firmware = "Unknow") {
  return ScannerModel{code, std::move(name), std::move(firmware)};
}

// Shown labels joined with '|'.
std::string Groups(int category, const ScannerModel& m) {
  std::string r;
  for (const EffectiveGroup& g : ShownGroups(category, m)) r += (r.empty() ? "" : "|") + std::string(g.english);
  return r;
}

EffectiveGroup Shown(const ScannerModel& m, std::string_view title) {
  for (int c = 0; c < kCategoryCount; ++c)
    for (const EffectiveGroup& g : ShownGroups(c, m))
      if (g.Title() == title) return g;
  ADD_FAILURE() << "not shown: " << title;
  return {};
}

std::string Options(const ScannerModel& m, std::string_view title) {
  std::string r;
  for (const EffectiveOption& o : ShownOptions(Shown(m, title), m))
    r += (r.empty() ? "" : "|") + std::string(o.english);
  return r;
}

TEST(SettingsModelRules, Code5And6ScannersHtr81AndQb55) {
  ParamBlock named;  // the name takes at most sixteen bytes
  std::memcpy(named.bytes.data(), "ABCDEFGHIJKLMNOP", 16);
  named.SetU8(16, 6);
  EXPECT_EQ(ScannerModel::From(named, "V1.0").name, "ABCDEFGHIJKLMNOP");

  EXPECT_EQ(Groups(0, Model(5, "HT-27-PM")), "Good Read Beep|Good Read Frequency|Aiming LED");

  const ScannerModel m = Model(6, "HT-30");
  EXPECT_EQ(Groups(0, m),
            "Power On Beep|Good Read Beep|Good Read Frequency|Aiming LED|Illumination Mode|Illumination LED");
  EXPECT_EQ(Options(m, "Illumination Mode"), "During Scan");
  EXPECT_EQ(Options(m, "Illumination Level"), "White / Red / Blue LEDs|White LED|Red LED");
  EXPECT_EQ(Groups(1, m), "Decode Area|Decode Redundancy");
  EXPECT_TRUE(Groups(2, m).ends_with("|Interleaved 2 of 5"));
  EXPECT_TRUE(Options(m, "Readable Symbologies").ends_with("|Interleaved 2 of 5"));

  // The LED colours keep the group's P1 P2 and are read at offset 61.
  const EffectiveGroup led = Shown(m, "Illumination Level");
  EXPECT_STREQ(led.chinese, "照明光源");
  const auto leds = ShownOptions(led, m);
  EXPECT_EQ(OptionCommand(led, leds[2], true), (ShortCommand{0xA1, 0x04, 0x22}));
  ParamBlock pb;
  pb.SetU8(64, 2);
  pb.SetU8(61, 1);
  EXPECT_EQ(TicksInForce(led, leds, pb), (std::vector<bool>{false, true, false}));

  const ScannerModel five = Model(5, "HT-30");
  EXPECT_EQ(ShownOptions(Shown(five, "Illumination Level"), five)[3].code.V, 3);
  // A scanner connected afterwards is judged by its own code.
  const ScannerModel one = Model(1, "HT-30");
  const EffectiveGroup level = Shown(one, "Illumination Level");
  EXPECT_STREQ(level.english, "Illumination Level");
  EXPECT_EQ(level.valueOffset, 64);
  EXPECT_EQ(ShownOptions(level, one)[0].code.P3, 0x11);

  const ScannerModel htr81 = Model(1, "HTR-81");
  EXPECT_EQ(ShownOptions(Shown(htr81, "Illumination LEDs"), htr81).size(), 7u);
  EXPECT_EQ(Options(htr81, "Illumination Level"), "Low|Medium|High");
  // The sense trigger types replace the sensitivity rows and are read at offset 56;
  // their frames go through varnet-cli against the simulator.
  const ScannerModel qb55 = Model(2, "QB-55");
  const EffectiveGroup sense = Shown(qb55, "Sense Mode Sensitivity");
  EXPECT_EQ(Options(qb55, "Sense Mode Sensitivity"), "Image + IrDA|IrDA|Image Change");
  pb.SetU8(56, 3);
  pb.SetU8(138, 1);
  EXPECT_EQ(TicksInForce(sense, ShownOptions(sense, qb55), pb), (std::vector<bool>{true, false, false}));
}

// What a scanner shows at `place`: a group's label ("Group"), or the label of
// an option found by its catalogue label ("Group/Option"); "-" when not shown.
std::string ShownAt(const ScannerModel& m, std::string_view place) {
  const size_t slash = place.find('/');
  for (int c = 0; c < kCategoryCount; ++c)
    for (const EffectiveGroup& g : ShownGroups(c, m)) {
      if (g.Title() != place.substr(0, slash)) continue;
      if (slash == std::string_view::npos) return g.english;
      for (const EffectiveOption& o : ShownOptions(g, m))
        if (o.CatalogueLabel() == place.substr(slash + 1)) return o.english;
      return "-";
    }
  return "-";
}

// Every model name a rule lists, each with a near miss that the rule leaves alone.
TEST(SettingsModelRules, EveryRuleForEveryModelItNames) {
  struct Row {
    uint8_t code;
    const char* model;
    const char* firmware;
    const char* place;
    const char* shown;
  };
  const Row rows[] = {
      // Start of "Scan Settings".
      {5, "HT-27-PM", "Unknow", "Power On Beep", "-"},
      {6, "HT-27-PM", "Unknow", "Power On Beep", "-"},
      {6, "HT-27-PM", "Unknow", "Good Read Beep", "Good Read Beep"},
      {5, "HT-27-P", "Unknow", "Power On Beep", "Power On Beep"},
      {6, "HD-60", "Unknow", "Scan Mode", "-"},
      {4, "HD-60", "Unknow", "Scan Mode", "Scan Mode"},
      // Group rule 1.
      {5, "HD-50", "Unknow", "Same Barcode Reading Mode", "-"},
      {6, "HD-60", "Unknow", "Same Barcode Interval Time", "-"},
      {4, "HD-60", "Unknow", "Same Barcode Reading Mode", "Same Barcode Reading Mode"},
      // Group rule 2 and option rule 1.
      {1, "QB-31", "Unknow", "Code 11", "-"},
      {1, "QB-31-S", "Unknow", "Code 11", "-"},
      {1, "QB-31-S", "Unknow", "GS1 DataBar Limited", "-"},
      {5, "HD-50", "Unknow", "Code 11", "-"},
      {6, "HD-60", "Unknow", "Code 11", "-"},
      {1, "QB-31-SE", "Unknow", "Code 11", "Code 11"},
      {1, "QB-3", "Unknow", "Code 11", "Code 11"},
      {1, "QB-31", "Unknow", "Readable Symbologies/Code 11", "-"},
      {1, "QB-31-S", "Unknow", "Readable Symbologies/Code 11", "-"},
      {1, "QB-31-S", "Unknow", "Readable Symbologies/Pharmacode", "-"},
      {5, "HD-50", "Unknow", "Readable Symbologies/Code 11", "-"},
      {6, "HD-60", "Unknow", "Readable Symbologies/Code 11", "-"},
      {1, "QB-31-SE", "Unknow", "Readable Symbologies/Code 11", "Code 11"},
      // Group rule 3.
      {1, "HTR-81", "Unknow", "Illumination LEDs", "Illumination LEDs"},
      {1, "HWR-81", "Unknow", "Illumination LEDs", "Illumination LEDs"},
      {1, "HTR-82", "Unknow", "Illumination LEDs", "-"},
      {1, "HTR-8", "Unknow", "Illumination LEDs", "-"},
      // Group rule 4.
      {1, "HT-27-PM", "Unknow", "Illumination Mode", "-"},
      {1, "HT-27-PM", "Unknow", "Illumination Level", "-"},
      {1, "HT-27", "Unknow", "Illumination Mode", "Illumination Mode"},
      // Group rule 5 and option rules 4, 6 and 7.
      {5, "HD-50", "Unknow", "Illumination Level", "Illumination LED"},
      {6, "HD-60", "Unknow", "Illumination Level", "Illumination LED"},
      {4, "HD-60", "Unknow", "Illumination Level", "Illumination Level"},
      {5, "HD-50", "Unknow", "Illumination Mode/Off", "-"},
      {6, "HD-60", "Unknow", "Illumination Mode/During Scan", "During Scan"},
      {4, "HD-60", "Unknow", "Illumination Mode/Off", "Off"},
      {5, "HD-50", "Unknow", "Illumination Level/Blue LED", "Blue LED"},
      {6, "HD-60", "Unknow", "Illumination Level/Blue LED", "-"},
      {6, "HD-60", "Unknow", "Illumination Level/High", "Red LED"},
      {1, "HTR-81", "Unknow", "Illumination Level/Blue LED", "-"},
      // Group rule 6 and option rule 5.
      {2, "HTR-84", "Unknow", "Sense Mode Sensitivity", "Sense Mode"},
      {2, "HTR-85", "Unknow", "Sense Mode Sensitivity", "Sense Mode"},
      {2, "QB-55", "Unknow", "Sense Mode Sensitivity", "Sense Mode"},
      {2, "QB-55", "Unknow", "Sense Mode Sensitivity/Medium", "IrDA"},
      {2, "HTR-86", "Unknow", "Sense Mode Sensitivity", "Sense Mode Sensitivity"},
      {2, "QB-5", "Unknow", "Sense Mode Sensitivity/Medium", "Medium"},
      {1, "QB-55", "Unknow", "Sense Mode Sensitivity", "Sense Mode Sensitivity"},
      {3, "HTR-84", "Unknow", "Sense Mode Sensitivity", "Sense Mode Sensitivity"},
      // Option rules 2 and 3.
      {1, "QB-32-S", "V2.1-PLC-K4702", "Readable Symbologies/DotCode", "Civic Mail"},
      {1, "QB-32", "V2.1-PLC-K4702", "Readable Symbologies/DotCode", "-"},
      {1, "QB-32-S", "V2.1-PLC-K4701", "Readable Symbologies/DotCode", "-"},
      {3, "HT-300-V2", "Unknow", "Readable Symbologies/DotCode", "DotCode"},
      {2, "HT-300-V2", "Unknow", "Readable Symbologies/DotCode", "-"},
      {3, "HT-300", "Unknow", "Readable Symbologies/DotCode", "-"},
      {1, "QB-32-S", "VT2.1", "Readable Symbologies/DotCode", "DotCode"},
      {1, "HT-20", "v1-RZK", "Readable Symbologies/DotCode", "DotCode"},
      {1, "HT-20", "T", "Readable Symbologies/DotCode", "-"},
      {1, "HT-20", "Unknow", "Readable Symbologies/DotCode", "-"},
      {1, "HT-20", "Unknow", "Readable Symbologies/MaxiCode", "MaxiCode"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ShownAt(Model(r.code, r.model, r.firmware), r.place), r.shown)
        << "code " << int(r.code) << ", " << r.model << ", " << r.firmware << ": " << r.place;
}

TEST(SettingsModelRules, CivicMailRow) {
  const ScannerModel civic = Model(1, "QB-32-S", "V2.1-PLC-K4702");
  const EffectiveGroup g = Shown(civic, "Readable Symbologies");
  const EffectiveOption last = ShownOptions(g, civic).back();
  EXPECT_STREQ(last.english, "Civic Mail");
  ParamBlock pb;
  pb.SetU32(20, 1u << 14);
  EXPECT_TRUE(IsOptionInForce(g, last, pb));
  EXPECT_EQ(OptionCommand(g, last, false), (ShortCommand{0xBF, 0x01, 0x0D}));
  RecordChoice(g, last, false, pb);
  EXPECT_EQ(pb.U32(20), 0u);
  EXPECT_TRUE(ShownGroups(4, civic).empty());
}

// Clicks `row` of a group whose rows show `ticks` ("0100"); the result as
// "-" when nothing would be sent, else the rows after the click.
std::string Click(std::string_view title, std::string_view ticks, size_t row) {
  const ScannerModel m{1, "HTR-81", "VT1.0"};
  const EffectiveGroup g = *FindShownGroup(m, title).group;
  std::vector<bool> t;
  for (char c : ticks) t.push_back(c == '1');
  const ClickDecision d = DecideClick(g, ShownOptions(g, m), t, row);
  if (!d.send) return "-";
  EXPECT_EQ(d.newState, d.ticks[row]);
  std::string r;
  for (bool b : d.ticks) r += b ? '1' : '0';
  return r;
}

TEST(SettingsClick, ChoicesMoveTheTickModesAreResentSwitchesToggle) {
  const struct {
    const char* group;
    std::string ticks;
    size_t row;
    std::string after;
  } cases[] = {
      {"Scan Mode", "0100", 1, "-"},
      {"Scan Mode", "0100", 3, "0001"},
      {"Scan Mode", "1100", 2, "0010"},
      {"MSI", "11001", 2, "00101"},
      {"MSI", "00101", 2, "-"},
      {"Codabar", "0101", 0, "1001"},
      {"Interleaved 2 of 5", "001", 2, "-"},
      // Code 11's modes are sent again when in force; switches toggle.
      {"Code 11", "0101", 1, "0101"},
      {"Code 11", "0101", 3, "0100"},
      {"Codabar", "0101", 3, "0100"},
      {"EAN-13", "10000", 3, "10010"},
      {"Readable Symbologies", std::string(25, '1'), 24, std::string(24, '1') + "0"},
      // A row outside the list, or fewer ticks than rows: nothing.
      {"Scan Mode", "0000", 4, "-"},
      {"Scan Mode", "00", 3, "-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Click(c.group, c.ticks, c.row), c.after) << c.group << " " << c.ticks << " " << c.row;
}

}  // namespace
}  // namespace varnet
