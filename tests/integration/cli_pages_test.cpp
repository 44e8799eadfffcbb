#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "cli/cli_pages.h"

using namespace varnet;

namespace {

// Group label -> the labels of its options, in order.
using Groups = std::vector<std::pair<std::string, std::vector<std::string>>>;
Groups Flat(const nlohmann::json& category) {
  Groups g;
  for (auto& group : category["groups"]) {
    EXPECT_EQ(group["title"], group["label"]);
    std::vector<std::string> labels;
    for (auto& o : group["options"]) {
      EXPECT_EQ(o["in_force"], true);
      labels.push_back(o["label"]);
    }
    g.emplace_back(group["label"], labels);
  }
  return g;
}

}  // namespace

TEST(CliPages, OutputAndTriggerCategories) {
  ParamBlock pb;
  pb.SetU8(pb::CodePage, 4);
  pb.SetU8(pb::CaseConversion, 1);
  pb.SetU8(pb::CodeId, 7);  // no such row
  pb.SetU8(pb::EndingChar, 2);
  pb.SetU8(156, 1);  // PNP
  pb.bytes[145] = 0xE9;
  FormatBlock block(640, 0);
  std::memcpy(&block[6 * 8], "C39", 3);
  block[595 + 9] = 3;
  block[280 + 31 * 8] = 0xE9;
  block[560 + 31] = 30;  // above the page's 20, still in force
  nlohmann::json categories = cli::CategoriesJson(cli::PageCategoryStates(pb, block));
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0]["name"], "Output Settings");
  EXPECT_EQ(Flat(categories[0]), (Groups{{"Country Code Page", {"GB2312 / Big5 to UTF8"}},
                                         {"Case Conversion", {"Upper Case"}},
                                         {"Code ID", {}},
                                         {"Ending Character", {"CR"}},
                                         {"Code 39 Prefix", {"C39"}},
                                         {"Code 11 Truncate Ending Data", {"3"}},
                                         {"DotCode Truncate Leading Data", {"30"}},
                                         {"DotCode Suffix", {"\xC3\xA9"}}}));
  EXPECT_EQ(categories[1]["name"], "Trigger Settings");
  EXPECT_EQ(Flat(categories[1]), (Groups{{"Pulse Trigger", {"PNP"}},
                                         {"Start Scan CMD", {""}},
                                         {"Stop Scan CMD", {""}},
                                         {"Transmit Bad Read Message", {"Off"}},
                                         {"Bad Read Message", {"\xC3\xA9"}}}));
  EXPECT_NO_THROW(categories.dump());

  // Model 5 lists no symbology from Code 11 on; without a format block there is
  // no symbology and no trigger page at all.
  pb.SetU8(pb::ModelCode, 5);
  EXPECT_EQ(cli::PageCategoryStates(pb, block)[0].groups.size(), 5u);
  auto none = cli::PageCategoryStates(pb, std::nullopt);
  EXPECT_EQ(none[0].groups.size(), 4u);
  EXPECT_TRUE(none[1].groups.empty());
}
