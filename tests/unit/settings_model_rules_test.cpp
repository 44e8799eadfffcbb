#include <gtest/gtest.h>

#include <cstring>

#include "settings/apply_option.h"
#include "settings/model_rules.h"

namespace varnet {
namespace {

ScannerModel Model(uint8_t code, std::string name, std::string firmware = "Unknow") {
  return ScannerModel{code, std::move(name), std::move(firmware)};
}

std::vector<std::string> GroupLabels(int category, const ScannerModel& m) {
  std::vector<std::string> r;
  for (const EffectiveGroup& g : ShownGroups(category, m)) r.emplace_back(g.english);
  return r;
}

EffectiveGroup Shown(const ScannerModel& m, std::string_view title) {
  for (int c = 0; c < kCategoryCount; ++c)
    for (const EffectiveGroup& g : ShownGroups(c, m))
      if (g.Title() == title) return g;
  ADD_FAILURE() << "not shown: " << title;
  return {};
}

std::vector<std::string> OptionLabels(const EffectiveGroup& g, const ScannerModel& m) {
  std::vector<std::string> r;
  for (const EffectiveOption& o : ShownOptions(g, m)) r.emplace_back(o.english);
  return r;
}

using Labels = std::vector<std::string>;

TEST(SettingsModelRules, ModelFromParamBlock) {
  ParamBlock pb;
  std::memcpy(pb.bytes.data(), "ABCDEFGHIJKLMNOP", 16);  // no terminator within 16 bytes
  pb.SetU8(16, 6);
  const ScannerModel m = ScannerModel::From(pb, "V1.0");
  EXPECT_EQ(m.name, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(m.code, 6);
  EXPECT_EQ(m.firmware, "V1.0");
}

TEST(SettingsModelRules, Ht27PmShowsOnlyThreeScanSettings) {
  EXPECT_EQ(GroupLabels(0, Model(5, "HT-27-PM")), (Labels{"Good Read Beep", "Good Read Frequency", "Aiming LED"}));
}

TEST(SettingsModelRules, Code6ScannerLists) {
  const ScannerModel m = Model(6, "HT-30");
  EXPECT_EQ(GroupLabels(0, m), (Labels{"Power On Beep", "Good Read Beep", "Good Read Frequency", "Aiming LED",
                                       "Illumination Mode", "Illumination LED"}));
  EXPECT_EQ(OptionLabels(Shown(m, "Illumination Mode"), m), (Labels{"During Scan"}));

  const EffectiveGroup led = Shown(m, "Illumination Level");
  EXPECT_STREQ(led.chinese, "照明光源");
  EXPECT_EQ(led.valueOffset, 61);
  const auto leds = ShownOptions(led, m);
  ASSERT_EQ(leds.size(), 3u);
  EXPECT_EQ(leds[0].english, std::string("White / Red / Blue LEDs"));
  EXPECT_EQ(leds[2].english, std::string("Red LED"));
  EXPECT_EQ(leds[2].code.P1, 0xA1);
  EXPECT_EQ(leds[2].code.P2, 0x04);
  EXPECT_EQ(leds[2].code.P3, 0x22);
  EXPECT_EQ(leds[2].code.V, 0x02);
  ParamBlock pb;
  pb.SetU8(64, 2);  // the catalogue location must no longer count
  pb.SetU8(61, 1);
  EXPECT_EQ(TicksInForce(led, leds, pb), (std::vector<bool>{false, true, false}));

  EXPECT_EQ(GroupLabels(1, m), (Labels{"Decode Area", "Decode Redundancy"}));
  const Labels sym = GroupLabels(2, m);
  EXPECT_EQ(sym.back(), "Interleaved 2 of 5");
  EXPECT_EQ(OptionLabels(Shown(m, "Readable Symbologies"), m).back(), "Interleaved 2 of 5");
}

TEST(SettingsModelRules, IlluminationOnOtherModels) {
  const ScannerModel htr81 = Model(1, "HTR-81");
  EXPECT_EQ(OptionLabels(Shown(htr81, "Illumination LEDs"), htr81).size(), 7u);
  EXPECT_EQ(OptionLabels(Shown(htr81, "Illumination Level"), htr81), (Labels{"Low", "Medium", "High"}));
  EXPECT_EQ(GroupLabels(0, Model(1, "HTR-82")).back(), "Illumination Level");
  // The model that lacks illumination altogether.
  EXPECT_EQ(GroupLabels(0, Model(1, "HT-27-PM")).back(), "Aiming LED");

  const ScannerModel code5 = Model(5, "HT-30");
  const auto five = ShownOptions(Shown(code5, "Illumination Level"), code5);
  ASSERT_EQ(five.size(), 4u);
  EXPECT_EQ(five[3].english, std::string("Blue LED"));
  EXPECT_EQ(five[3].code.P3, 0x23);
  EXPECT_EQ(five[3].code.V, 0x03);

  // A later scanner of another code is judged afresh.
  const ScannerModel code1 = Model(1, "HT-30");
  const EffectiveGroup level = Shown(code1, "Illumination Level");
  EXPECT_STREQ(level.english, "Illumination Level");
  EXPECT_EQ(level.valueOffset, 64);
  const auto one = ShownOptions(level, code1);
  EXPECT_EQ(one[0].code.P3, 0x11);
  EXPECT_EQ(one[0].code.V, 0x01);
}

TEST(SettingsModelRules, SenseTriggerTypesOnQb55) {
  const ScannerModel m = Model(2, "QB-55");
  const EffectiveGroup g = Shown(m, "Sense Mode Sensitivity");
  EXPECT_STREQ(g.english, "Sense Mode");
  EXPECT_EQ(g.valueOffset, 56);
  const auto opts = ShownOptions(g, m);
  EXPECT_EQ(OptionLabels(g, m), (Labels{"Image + IrDA", "IrDA", "Image Change"}));
  ParamBlock pb;
  pb.SetU8(56, 3);
  pb.SetU8(138, 1);
  EXPECT_EQ(TicksInForce(g, opts, pb), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(OptionCommand(g, opts[1], true), (std::array<uint8_t, 3>{0xA1, 0x02, 0x11}));
  RecordChoice(g, opts[1], true, pb);
  EXPECT_EQ(pb.U8(56), 1);
  EXPECT_EQ(pb.U8(138), 1);

  // Same name on another code keeps the sensitivity.
  EXPECT_STREQ(Shown(Model(1, "QB-55"), "Sense Mode Sensitivity").english, "Sense Mode Sensitivity");
}

TEST(SettingsModelRules, CivicMailReplacesDotCode) {
  const ScannerModel m = Model(1, "QB-32-S", "V2.1-PLC-K4702");
  const EffectiveGroup g = Shown(m, "Readable Symbologies");
  const auto opts = ShownOptions(g, m);
  const EffectiveOption& last = opts.back();
  EXPECT_EQ(last.english, std::string("Civic Mail"));
  ParamBlock pb;
  EXPECT_FALSE(IsOptionInForce(g, last, pb));
  pb.SetU32(20, 1u << 14);
  EXPECT_TRUE(IsOptionInForce(g, last, pb));
  EXPECT_EQ(OptionCommand(g, last, true), (std::array<uint8_t, 3>{0xBF, 0x01, 0x0E}));
  EXPECT_EQ(OptionCommand(g, last, false), (std::array<uint8_t, 3>{0xBF, 0x01, 0x0D}));
  RecordChoice(g, last, false, pb);
  EXPECT_EQ(pb.U32(20), 0u);

  // Without the firmware mark the same model falls back to the DotCode rule.
  EXPECT_EQ(OptionLabels(g, Model(1, "QB-32-S", "VT2.1")).back(), "DotCode");
}

TEST(SettingsModelRules, DotCodeConditions) {
  auto last = [](const ScannerModel& m) { return OptionLabels(Shown(m, "Readable Symbologies"), m).back(); };
  EXPECT_EQ(last(Model(1, "HT-20", "Unknow")), "MaxiCode");
  EXPECT_EQ(last(Model(1, "HT-20", "T")), "MaxiCode");
  EXPECT_EQ(last(Model(1, "HT-20", "")), "MaxiCode");
  EXPECT_EQ(last(Model(1, "HT-20", "VT1.0")), "DotCode");
  EXPECT_EQ(last(Model(1, "HT-20", "v1-RZK")), "DotCode");
  EXPECT_EQ(last(Model(3, "HT-300-V2")), "DotCode");
  EXPECT_EQ(last(Model(2, "HT-300-V2")), "MaxiCode");
}

TEST(SettingsModelRules, Code11EndsOnQb31AndCode5) {
  for (const ScannerModel& m : {Model(1, "QB-31"), Model(1, "QB-31-S"), Model(5, "HT-30")}) {
    EXPECT_EQ(GroupLabels(2, m).back(), "Interleaved 2 of 5") << m.name;
    EXPECT_EQ(OptionLabels(Shown(m, "Readable Symbologies"), m).back(), "Interleaved 2 of 5") << m.name;
  }
  EXPECT_EQ(GroupLabels(2, Model(1, "QB-31-X")).back(), "GS1 DataBar Limited");
  EXPECT_TRUE(ShownGroups(4, Model(1, "HT-20")).empty());
}

TEST(SettingsModelRules, LookupByNameForCommandLine) {
  const ScannerModel m = Model(2, "QB-55");
  EXPECT_EQ(FindShownGroup(m, "scan mode").group->Title(), "Scan Mode");
  EXPECT_EQ(FindShownGroup(m, "Sense Mode").group->Title(), "Sense Mode Sensitivity");
  EXPECT_EQ(FindShownGroup(m, "Sense Mode Sensitivity").group->valueOffset, 56);

  const GroupLookup typo = FindShownGroup(m, "Scan Mod");
  EXPECT_FALSE(typo.group);
  EXPECT_FALSE(typo.hiddenForModel);
  ASSERT_FALSE(typo.suggestions.empty());
  EXPECT_EQ(typo.suggestions[0], "Scan Mode");

  const GroupLookup hidden = FindShownGroup(Model(5, "HT-30"), "Scan Mode");
  EXPECT_FALSE(hidden.group);
  EXPECT_TRUE(hidden.hiddenForModel);

  const EffectiveGroup freq = *FindShownGroup(m, "Good Read Frequency").group;
  EXPECT_EQ(FindShownOption(freq, m, "Low").option->index, 1);
  EXPECT_EQ(FindShownOption(freq, m, "extra low").option->index, 0);
  EXPECT_EQ(FindShownOption(freq, m, "Hihg").suggestions, (Labels{"High"}));

  const EffectiveGroup sense = *FindShownGroup(m, "Sense Mode").group;
  EXPECT_EQ(FindShownOption(sense, m, "IrDA").option->code.P3, 0x11);
  EXPECT_TRUE(FindShownOption(sense, m, "Low").hiddenForModel);
}

TEST(SettingsModelRules, OptionListEnabledNeedsFormatBlockForThreeGroups) {
  const ScannerModel m = Model(1, "HT-20");
  for (const char* t : {"Output Interface", "USB Keyboard", "Decode Area"}) {
    EXPECT_FALSE(OptionListEnabled(Shown(m, t), false)) << t;
    EXPECT_TRUE(OptionListEnabled(Shown(m, t), true)) << t;
  }
  EXPECT_TRUE(OptionListEnabled(Shown(m, "RS232 Baud Rate"), false));
}

}  // namespace
}  // namespace varnet
