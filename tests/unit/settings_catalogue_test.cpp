#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "settings/catalogue.h"

namespace varnet {
namespace {

EffectiveGroup Group(std::string_view title) {
  for (int c = 0; c < kCategoryCount; ++c)
    for (const SettingGroup& g : Category(c)->groups)
      if (title == g.english) return PlainGroup(&g);
  ADD_FAILURE() << "no group " << title;
  return {};
}

EffectiveOption Option(const EffectiveGroup& g, std::string_view label) {
  for (size_t i = 0; i < g.group->options.size(); ++i)
    if (label == g.group->options[i].english) return PlainOption(g.group, int(i));
  ADD_FAILURE() << "no option " << label;
  return {};
}

std::vector<bool> InForce(const EffectiveGroup& g, const ParamBlock& pb) {
  std::vector<bool> r;
  for (size_t i = 0; i < g.group->options.size(); ++i) r.push_back(IsOptionInForce(g, PlainOption(g.group, int(i)), pb));
  return r;
}

std::vector<bool> OnlyRows(size_t n, std::initializer_list<size_t> rows) {
  std::vector<bool> r(n, false);
  for (size_t i : rows) r[i] = true;
  return r;
}

ParamBlock WithModel(uint8_t code, const char* name) {
  ParamBlock pb;
  std::memcpy(pb.bytes.data(), name, std::strlen(name));
  pb.SetU8(pb::ModelCode, code);
  return pb;
}

TEST(SettingsCatalogue, CategoriesAndLookupBounds) {
  const ParamBlock pb = WithModel(1, "HT-20");
  const size_t counts[] = {9, 4, 15, 3};
  const char* names[] = {"Scan Settings", "Decode Settings", "Symbologies", "Interface"};
  for (int c = 0; c < kCategoryCount; ++c) {
    std::string name;
    int n = 0;
    while (!GetSettingGroup(n, c, pb, &name)->IsEndMarker()) ++n;
    EXPECT_EQ(size_t(n), counts[c]);
    EXPECT_EQ(name, names[c]);
    const SettingGroup* end = GetSettingGroup(n, c, pb);
    EXPECT_STREQ(end->english, "");
    EXPECT_TRUE(end->options.empty());
    EXPECT_EQ(GetSettingGroup(n + 1, c, pb), nullptr);
  }
  std::string untouched = "x";
  EXPECT_EQ(GetSettingGroup(0, 4, pb, &untouched), nullptr);
  EXPECT_EQ(untouched, "x");
  EXPECT_EQ(GetSettingGroup(0, -1, pb), nullptr);
}

TEST(SettingsCatalogue, ScanSettingsStartDependsOnModel) {
  EXPECT_STREQ(GetSettingGroup(0, 0, WithModel(1, "HT-27-PM"))->english, "Scan Mode");
  EXPECT_STREQ(GetSettingGroup(0, 0, WithModel(5, "HT-20"))->english, "Power On Beep");
  EXPECT_STREQ(GetSettingGroup(0, 0, WithModel(6, "HT-27-PM"))->english, "Good Read Beep");
  EXPECT_STREQ(GetSettingGroup(1, 0, WithModel(5, "HT-27-PM"))->english, "Good Read Frequency");
  // Only the exact name counts.
  EXPECT_STREQ(GetSettingGroup(0, 0, WithModel(5, "HT-27-PMX"))->english, "Power On Beep");
  EXPECT_STREQ(GetSettingGroup(0, 1, WithModel(5, "HT-27-PM"))->english, "Decode Area");
}

TEST(SettingsCatalogue, LabelsKeepBlanksAndFullWidthParentheses) {
  const EffectiveGroup freq = Group("Good Read Frequency");
  EXPECT_STREQ(freq.group->options[1].english, "Low ");
  EXPECT_STREQ(freq.group->options[3].english, "High  ");
  EXPECT_STREQ(freq.group->options[3].chinese, "高-4200 Hz");
  // U+FF08 and U+FF09 in UTF-8.
  EXPECT_STREQ(Group("GS1 DataBar Limited").group->options[0].english, "Transmit AI\xEF\xBC\x88" "01\xEF\xBC\x89" "Digit");
  EXPECT_STREQ(Group("Code 11").group->options[0].chinese, "关闭校验 ");
  EXPECT_STREQ(Group("Scan Mode").group->options[2].english, "Continuous Scane");
}

TEST(SettingsCatalogue, EqualityRuleReadsAndStoresV) {
  const EffectiveGroup g = Group("Scan Mode");
  ParamBlock pb;
  pb.SetU8(55, 2);
  EXPECT_EQ(InForce(g, pb), OnlyRows(4, {1}));
  RecordChoice(g, Option(g, "Pulse Trigger"), true, pb);
  EXPECT_EQ(pb.U8(55), 4);
  pb.SetU8(55, 9);
  EXPECT_EQ(InForce(g, pb), OnlyRows(4, {}));

  // V differs from P3 here: the byte holds 9 for "Low".
  const EffectiveGroup sens = Group("Sense Mode Sensitivity");
  pb.SetU8(138, 9);
  EXPECT_EQ(InForce(sens, pb), OnlyRows(3, {0}));
}

TEST(SettingsCatalogue, ThirtyTwoBitTables) {
  ParamBlock pb;
  const EffectiveGroup freq = Group("Good Read Frequency");
  pb.SetU32(68, 1000);
  EXPECT_EQ(InForce(freq, pb), OnlyRows(4, {}));
  pb.SetU32(68, 2730);
  EXPECT_EQ(InForce(freq, pb), OnlyRows(4, {2}));

  const EffectiveGroup interval = Group("Same Barcode Interval Time");
  pb.SetU32(84, 5000);
  EXPECT_EQ(InForce(interval, pb), OnlyRows(10, {9}));
  RecordChoice(interval, Option(interval, "Disable"), true, pb);
  EXPECT_EQ(pb.U32(84), 0u);
  EXPECT_EQ(InForce(interval, pb), OnlyRows(10, {0}));

  const EffectiveGroup baud = Group("RS232 Baud Rate");
  pb.SetU32(44, 4800);
  pb.SetU8(48, 0x5A);
  EXPECT_EQ(InForce(baud, pb), OnlyRows(6, {}));
  RecordChoice(baud, Option(baud, "115200"), true, pb);
  EXPECT_EQ(pb.U8(44), 0x00);
  EXPECT_EQ(pb.U8(45), 0xC2);
  EXPECT_EQ(pb.U8(46), 0x01);
  EXPECT_EQ(pb.U8(47), 0x00);
  EXPECT_EQ(pb.U8(48), 0x5A);
  EXPECT_EQ(InForce(baud, pb), OnlyRows(6, {4}));
}

TEST(SettingsCatalogue, DecodeAreaAimingFlag) {
  const EffectiveGroup g = Group("Decode Area");
  ParamBlock pb;
  pb.SetU8(139, 2);
  pb.SetU8(140, 3);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {4}));
  pb.SetU8(139, 0);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {1}));

  RecordChoice(g, Option(g, "Aiming Bar Code"), true, pb);
  EXPECT_EQ(pb.U8(139), 1);
  EXPECT_EQ(pb.U8(140), 0);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {4}));
  RecordChoice(g, Option(g, "50%"), true, pb);
  EXPECT_EQ(pb.U8(139), 0);
  EXPECT_EQ(pb.U8(140), 2);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {2}));
}

TEST(SettingsCatalogue, SymbologyMaskOneBitPerOption) {
  const EffectiveGroup g = Group("Readable Symbologies");
  std::set<int> bits;
  for (size_t i = 0; i < g.group->options.size(); ++i) {
    const EffectiveOption o = PlainOption(g.group, int(i));
    bits.insert(o.code.V);
    ParamBlock pb;
    RecordChoice(g, o, true, pb);
    EXPECT_EQ(pb.U32(20), 1u << o.code.V) << o.english;
    EXPECT_EQ(InForce(g, pb), OnlyRows(g.group->options.size(), {i})) << o.english;
    pb.SetU32(20, 0xFFFFFFFFu);
    RecordChoice(g, o, false, pb);
    EXPECT_EQ(pb.U32(20), ~(1u << o.code.V)) << o.english;
  }
  std::set<int> expected;
  for (int b = 0; b <= 12; ++b) expected.insert(b);
  for (int b = 16; b <= 19; ++b) expected.insert(b);
  for (int b = 23; b <= 30; ++b) expected.insert(b);
  EXPECT_EQ(bits, expected);
}

TEST(SettingsCatalogue, SymbologyByteDefaultRuleIsBitI) {
  const EffectiveGroup g = Group("EAN-13");
  ParamBlock pb;
  pb.SetU8(27, 0x05);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {0, 2}));
  RecordChoice(g, Option(g, "2/5 Digit Add-On Code"), true, pb);
  EXPECT_EQ(pb.U8(27), 0x0D);
  RecordChoice(g, Option(g, "Transmit Check Digit"), false, pb);
  EXPECT_EQ(pb.U8(27), 0x0C);
  EXPECT_EQ(pb.U8(26), 0);
  EXPECT_EQ(pb.U8(28), 0);
}

TEST(SettingsCatalogue, CodabarAndInterleavedCheckDigitModes) {
  for (const char* title : {"Codabar", "Interleaved 2 of 5"}) {
    const EffectiveGroup g = Group(title);
    const size_t n = g.group->options.size();
    const size_t off = g.valueOffset;
    ParamBlock pb;
    pb.SetU8(off, 0x02);  // bit 0 clear: verification off, whatever bit 1 says
    EXPECT_EQ(InForce(g, pb), OnlyRows(n, {0})) << title;
    pb.SetU8(off, 0x01);
    EXPECT_EQ(InForce(g, pb), OnlyRows(n, {1})) << title;
    pb.SetU8(off, 0x03);
    EXPECT_EQ(InForce(g, pb), OnlyRows(n, {2})) << title;
    RecordChoice(g, PlainOption(g.group, 1), true, pb);
    EXPECT_EQ(pb.U8(off), 0x01) << title;
    RecordChoice(g, PlainOption(g.group, 0), true, pb);
    EXPECT_EQ(pb.U8(off), 0x00) << title;
    RecordChoice(g, PlainOption(g.group, 2), true, pb);
    EXPECT_EQ(pb.U8(off), 0x03) << title;
  }
  const EffectiveGroup codabar = Group("Codabar");
  ParamBlock pb;
  pb.SetU8(29, 0x04);
  EXPECT_EQ(InForce(codabar, pb), OnlyRows(4, {0, 3}));
  RecordChoice(codabar, PlainOption(codabar.group, 3), false, pb);
  RecordChoice(codabar, PlainOption(codabar.group, 2), true, pb);
  EXPECT_EQ(pb.U8(29), 0x03);
}

TEST(SettingsCatalogue, MsiRowsReadIndependentlyAndUpdateExclusively) {
  const EffectiveGroup g = Group("MSI");
  ParamBlock pb;
  pb.SetU8(31, 0x04);  // bit 0 clear and bit 2 set
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {0, 1}));
  pb.SetU8(31, 0x1F);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {1, 2, 3, 4}));

  RecordChoice(g, Option(g, "MOD10/MOD10"), true, pb);
  EXPECT_EQ(pb.U8(31), 0x0B);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {2, 4}));
  RecordChoice(g, Option(g, "Disable Check Digit Algorithm"), true, pb);
  EXPECT_EQ(pb.U8(31), 0x02);
  RecordChoice(g, Option(g, "Transmit Check Digits"), false, pb);
  RecordChoice(g, Option(g, "MOD10/MOD11"), true, pb);
  EXPECT_EQ(pb.U8(31), 0x11);
  EXPECT_EQ(InForce(g, pb), OnlyRows(5, {3}));
}

TEST(SettingsCatalogue, Code11ChecksumModesAndInvertedTransmit) {
  const EffectiveGroup g = Group("Code 11");
  ParamBlock pb;
  pb.SetU8(32, 0x08);
  EXPECT_EQ(InForce(g, pb), OnlyRows(4, {}));
  pb.SetU8(32, 0x00);
  EXPECT_EQ(InForce(g, pb), OnlyRows(4, {3}));
  pb.SetU8(32, 0x07);
  RecordChoice(g, PlainOption(g.group, 1), true, pb);
  EXPECT_EQ(pb.U8(32), 0x02);
  RecordChoice(g, PlainOption(g.group, 3), false, pb);
  EXPECT_EQ(pb.U8(32), 0x0A);
  EXPECT_EQ(InForce(g, pb), OnlyRows(4, {1}));
  RecordChoice(g, PlainOption(g.group, 3), true, pb);
  EXPECT_EQ(pb.U8(32), 0x02);
}

TEST(SettingsCatalogue, OptionCommandOnOffVersusChoice) {
  using Bytes = std::array<uint8_t, 3>;
  const EffectiveGroup beep = Group("Good Read Beep");
  EXPECT_EQ(OptionCommand(beep, Option(beep, "On"), true), (Bytes{0xA1, 0x05, 0x0E}));
  EXPECT_EQ(OptionCommand(beep, Option(beep, "Off"), true), (Bytes{0xA1, 0x05, 0x0D}));

  const EffectiveGroup kb = Group("USB Keyboard");
  EXPECT_EQ(OptionCommand(kb, Option(kb, "Czech"), true), (Bytes{0xA1, 0x4B, 0x0E}));
  ParamBlock pb;
  RecordChoice(kb, Option(kb, "Czech"), true, pb);
  EXPECT_EQ(pb.U8(52), 0x0E);
  RecordChoice(beep, Option(beep, "On"), true, pb);
  EXPECT_EQ(pb.U8(66), 1);

  const EffectiveGroup sym = Group("Readable Symbologies");
  EXPECT_EQ(OptionCommand(sym, Option(sym, "EAN-13"), true), (Bytes{0xB4, 0x01, 0x0E}));
  EXPECT_EQ(OptionCommand(sym, Option(sym, "EAN-13"), false), (Bytes{0xB4, 0x01, 0x0D}));
  const EffectiveGroup code11 = Group("Code 11");
  EXPECT_EQ(OptionCommand(code11, PlainOption(code11.group, 3), false), (Bytes{0xB9, 0x03, 0x0D}));
  EXPECT_EQ(OptionCommand(code11, PlainOption(code11.group, 2), true), (Bytes{0xB9, 0x02, 0x03}));
  const EffectiveGroup msi = Group("MSI");
  EXPECT_EQ(OptionCommand(msi, PlainOption(msi.group, 1), true), (Bytes{0xBC, 0x02, 0x02}));
}

}  // namespace
}  // namespace varnet
