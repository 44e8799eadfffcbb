#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli/cli_pages.h"
#include "sim/sim_scanner.h"

using namespace varnet;

// The page categories of a connected simulator, as get would list them.
TEST(CliPages, CategoriesOfAConnectedScanner) {
  sim::SimScanner scanner(sim::ProfileNamed("usb"));
  ASSERT_TRUE(scanner.Start());
  std::ostringstream err;
  cli::Session s(err);
  s.port = scanner.SlavePath();
  std::string why;
  ASSERT_TRUE(cli::Connect(s, 0, why)) << why;

  nlohmann::json categories = nlohmann::json::array();
  std::ostringstream text;
  cli::AppendPageCategories(s.info.paramBlock, s.info.formatBlock, categories, text);
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0]["name"], "Output Settings");
  EXPECT_EQ(categories[0]["groups"][3],
            (nlohmann::json{{"title", "Ending Character"},
                            {"label", "Ending Character"},
                            {"options", {{{"label", "CRLF"}, {"in_force", true}}}}}));
  // The simulator's block: EAN-13 cut and suffix, QR prefix and suffix, among others.
  std::vector<std::string> titles;
  for (auto& g : categories[0]["groups"]) titles.push_back(g["title"]);
  for (const char* t : {"QR Prefix", "QR Suffix", "EAN-13 Truncate Leading Data", "EAN-13 Suffix", "Code 11 Prefix"})
    EXPECT_NE(std::find(titles.begin(), titles.end(), t), titles.end()) << t;
  EXPECT_EQ(categories[1]["name"], "Trigger Settings");
  EXPECT_EQ(categories[1]["groups"][0]["title"], "Pulse Trigger");
  // Valid UTF-8 whatever the scanner stores.
  EXPECT_NO_THROW(categories.dump());

  std::string t = text.str();
  EXPECT_NE(t.find("Output Settings\n  Country Code Page: GB2312 / Big5\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  QR Prefix: QR:\n"), std::string::npos) << t;
  EXPECT_NE(t.find("Trigger Settings\n  Pulse Trigger: "), std::string::npos) << t;
}

TEST(CliPages, UnknownCodesAndEmptyTexts) {
  ParamBlock pb;
  pb.SetU8(pb::CodeId, 9);
  pb.bytes[145] = 0xE9;
  nlohmann::json categories = nlohmann::json::array();
  std::ostringstream text;
  cli::AppendPageCategories(pb, FormatBlock(640, 0), categories, text);
  EXPECT_EQ(categories[0]["groups"][2]["options"], nlohmann::json::array());
  EXPECT_EQ(categories[1]["groups"][1]["options"][0]["label"], "");
  EXPECT_EQ(categories[1]["groups"][4]["options"][0]["label"], "\xC3\xA9");
  EXPECT_NE(text.str().find("  Code ID: (unknown)\n"), std::string::npos);
  EXPECT_NE(text.str().find("  Start Scan CMD: \"\"\n"), std::string::npos);
  EXPECT_NO_THROW(categories.dump());
}
