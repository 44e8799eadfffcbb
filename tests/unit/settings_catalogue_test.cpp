// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>

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

EffectiveOption Opt(const EffectiveGroup& g, int i) { return PlainOption(g.group, i); }

// The rows in force as "0100".
std::string Rows(const EffectiveGroup& g, const ParamBlock& pb) {
  std::string r;
  for (size_t i = 0; i < g.group->options.size(); ++i) r += IsOptionInForce(g, Opt(g, int(i)), pb) ? '1' : '0';
  return r;
}

ParamBlock WithModel(uint8_t code, const char* name) {
  ParamBlock pb;
  std::memcpy(pb.bytes.data(), name, std::strlen(name));
  pb.SetU8(pb::ModelCode, code);
  return pb;
}

TEST(SettingsCatalogue, CategoriesStartsAndBounds) {
  const ParamBlock pb = WithModel(1, "HT-27-PM");
  const char* names[] = {"Scan Settings", "Decode Settings", "Symbologies", "Interface"};
  for (int c = 0; c < kCategoryCount; ++c) {
    std::string name;
    int n = 0;
    while (!GetSettingGroup(n, c, pb, &name)->IsEndMarker()) ++n;
    EXPECT_EQ(name, names[c]);
    EXPECT_TRUE(GetSettingGroup(n, c, pb)->options.empty());
    EXPECT_EQ(GetSettingGroup(n + 1, c, pb), nullptr);
  }
  EXPECT_EQ(GetSettingGroup(0, 4, pb), nullptr);
  EXPECT_EQ(GetSettingGroup(0, -1, pb), nullptr);
  // Where the code 5 and 6 scanners start is checked with the model rules.
  EXPECT_STREQ(GetSettingGroup(0, 0, pb)->english, "Scan Mode");
}

// How each choice is recorded, and the command each click sends, are checked
// against the simulated scanner option by option; here, how a block is read.
TEST(SettingsCatalogue, ByteAndThirtyTwoBitValueRules) {
  ParamBlock pb;
  const EffectiveGroup scan = Group("Scan Mode"), sens = Group("Sense Mode Sensitivity");
  pb.SetU8(55, 2);
  pb.SetU8(138, 9);  // V, not P3, is what the byte holds
  EXPECT_EQ(Rows(scan, pb), "0100");
  EXPECT_EQ(Rows(sens, pb), "100");

  const EffectiveGroup freq = Group("Good Read Frequency"), baud = Group("RS232 Baud Rate");
  pb.SetU32(68, 1000);
  pb.SetU32(44, 4800);
  EXPECT_EQ(Rows(freq, pb), "0000");
  EXPECT_EQ(Rows(baud, pb), "000000");
  pb.SetU32(68, 2730);
  EXPECT_EQ(Rows(freq, pb), "0010");

  const EffectiveGroup interval = Group("Same Barcode Interval Time");
  pb.SetU32(84, 5000);
  EXPECT_EQ(Rows(interval, pb), "0000000001");
}

TEST(SettingsCatalogue, DecodeAreaAimingFlag) {
  const EffectiveGroup g = Group("Decode Area");
  ParamBlock pb;
  pb.SetU8(139, 2);
  pb.SetU8(140, 3);
  EXPECT_EQ(Rows(g, pb), "00001");
  pb.SetU8(139, 0);
  EXPECT_EQ(Rows(g, pb), "01000");
}

TEST(SettingsCatalogue, SymbologyMaskBitsAreDistinctAndEachRowReadsOnlyItsOwn) {
  const EffectiveGroup g = Group("Readable Symbologies");
  const size_t n = g.group->options.size();
  uint32_t seen = 0;
  for (int i = 0; i < int(n); ++i) {
    const uint8_t bit = Opt(g, i).code.V;
    ASSERT_LT(bit, 32) << Opt(g, i).english;
    EXPECT_FALSE(seen & (1u << bit)) << "two symbologies on bit " << int(bit);
    seen |= 1u << bit;
    // Every bit set but this one: only its own row reads off.
    ParamBlock pb;
    pb.SetU32(pb::SymbologyMask, ~(1u << bit));
    std::string expected(n, '1');
    expected[size_t(i)] = '0';
    EXPECT_EQ(Rows(g, pb), expected);
  }
  // Bits the scanner documents: EAN-13 is bit 3, Data Matrix bit 25.
  auto bitOf = [&](const std::string& name) {
    for (int i = 0; i < int(n); ++i)
      if (Opt(g, i).english == name) return int(Opt(g, i).code.V);
    return -1;
  };
  EXPECT_EQ(bitOf("EAN-13"), 3);
  EXPECT_EQ(bitOf("Data Matrix"), 25);
}

TEST(SettingsCatalogue, SymbologyByteRules) {
  ParamBlock pb;
  const EffectiveGroup ean = Group("EAN-13");
  pb.SetU8(27, 0x05);
  EXPECT_EQ(Rows(ean, pb), "10100");

  for (const char* title : {"Codabar", "Interleaved 2 of 5"}) {
    const EffectiveGroup g = Group(title);
    const std::string rest(g.group->options.size() - 3, '0');
    for (auto [byte, rows] : {std::pair{0x02, "100"}, {0x01, "010"}, {0x03, "001"}}) {
      pb.SetU8(g.valueOffset, uint8_t(byte));
      EXPECT_EQ(Rows(g, pb), rows + rest) << title;
    }
  }
  const EffectiveGroup codabar = Group("Codabar");
  pb.SetU8(29, 0x04);
  EXPECT_EQ(Rows(codabar, pb), "1001");

  // MSI is checked through the settings page.
  // Code 11 keeps "transmit" inverted in bit 3.
  const EffectiveGroup c11 = Group("Code 11");
  pb.SetU8(32, 0x08);
  EXPECT_EQ(Rows(c11, pb), "0000");
  pb.SetU8(32, 0x02);
  EXPECT_EQ(Rows(c11, pb), "0101");
}

}  // namespace
}  // namespace varnet
