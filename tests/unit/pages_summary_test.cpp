#include <gtest/gtest.h>

#include <cstring>

#include "pages/page_summary.h"

using namespace varnet;

namespace {

using Groups = std::vector<std::pair<std::string, std::vector<std::string>>>;

Groups Flat(const PageCategory& c) {
  Groups g;
  for (auto& group : c.groups) {
    EXPECT_EQ(group.title, group.label);
    g.emplace_back(group.title, group.values);
  }
  return g;
}

}  // namespace

TEST(PageSummary, OutputSettingsListOnlyTheSymbologiesThatAreSet) {
  ParamBlock pb;
  pb.SetU8(pb::CodePage, 4);
  pb.SetU8(pb::CaseConversion, 1);
  pb.SetU8(pb::CodeId, 7);  // no such row
  pb.SetU8(pb::EndingChar, 2);
  FormatBlock block(640, 0);
  std::memcpy(&block[6 * 8], "C39", 3);   // Code 39 prefix
  block[595 + 9] = 3;                      // Code 11 ending cut
  std::memcpy(&block[280 + 31 * 8], "\xE9", 1);  // DotCode suffix
  block[560 + 31] = 30;                    // above the list's 20, still in force

  PageCategory c = OutputSettingsCategory(pb, block);
  EXPECT_EQ(c.name, "Output Settings");
  EXPECT_EQ(Flat(c), (Groups{{"Country Code Page", {"GB2312 / Big5 to UTF8"}},
                             {"Case Conversion", {"Upper Case"}},
                             {"Code ID", {}},
                             {"Ending Character", {"CR"}},
                             {"Code 39 Prefix", {"C39"}},
                             {"Code 11 Truncate Ending Data", {"3"}},
                             {"DotCode Truncate Leading Data", {"30"}},
                             {"DotCode Suffix", {"\xC3\xA9"}}}));

  // Model 5 shows no symbology from "Code 11" on; without a block, none at all.
  pb.SetU8(pb::ModelCode, 5);
  EXPECT_EQ(OutputSettingsCategory(pb, block).groups.size(), 5u);
  EXPECT_EQ(OutputSettingsCategory(pb, std::nullopt).groups.size(), 4u);
  // A short block lists only what it holds.
  pb.SetU8(pb::ModelCode, 1);
  block.resize(300);
  EXPECT_EQ(Flat(OutputSettingsCategory(pb, block)).back(), (Groups::value_type{"Code 39 Prefix", {"C39"}}));
}

TEST(PageSummary, TriggerSettings) {
  ParamBlock pb;
  pb.SetU8(156, 1);
  std::memcpy(&pb.bytes[168], "GO", 2);
  std::memcpy(&pb.bytes[145], "NR\xFC", 3);
  auto both = PageCategories(pb, FormatBlock(640, 0));
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].name, "Output Settings");
  EXPECT_EQ(both[1].name, "Trigger Settings");
  EXPECT_EQ(Flat(both[1]), (Groups{{"Pulse Trigger", {"PNP"}},
                                   {"Start Scan CMD", {"GO"}},
                                   {"Stop Scan CMD", {""}},
                                   {"Transmit Bad Read Message", {"Off"}},
                                   {"Bad Read Message", {"NR\xC3\xBC"}}}));
  EXPECT_TRUE(TriggerSettingsCategory(pb, std::nullopt).groups.empty());
}
