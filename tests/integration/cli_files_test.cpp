// SPDX-License-Identifier: Apache-2.0
// show and diff on configuration files and simulated scanners; the output
// and trigger pages as categories of settings.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli_pages.h"
#include "pages/trigger.h"
#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

// A factory scanner's file and variants of it, each one change apart.
class CliFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scanner.Start());
    ASSERT_EQ(RunCli({"--port", scanner.SlavePath(), "export", golden}).status, 0);
    bytes = ReadWholeFile(golden);
    ASSERT_EQ(bytes.size(), 56u + 192 + 640);
  }
  std::string Variant(const std::string& name, size_t offset, uint8_t value) {
    Bytes b = bytes;
    b.at(offset) = value;
    WriteWholeFile(dir.File(name), b);
    return dir.File(name);
  }
  static constexpr size_t kParam = 28, kFormat = 28 + 192 + 28;
  TempDir dir;
  sim::SimScanner scanner;
  std::string golden = dir.File("golden.vt");
  Bytes bytes;
};

}  // namespace

TEST_F(CliFiles, ShowListsEverySettingWithTheFilesModelRules) {
  auto r = RunCli({"--json", "show", golden});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["file"], golden);
  EXPECT_EQ(j["model_name"], "HS-2D");
  EXPECT_EQ(j["model_code"], 1);
  std::vector<std::string> names;
  for (auto& c : j["categories"]) names.push_back(c["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"Scan Settings", "Decode Settings", "Symbologies", "Interface",
                                             "Output Settings", "Trigger Settings"}));
  // What the scanner shows is what the file shows.
  auto got = RunCli({"--port", scanner.SlavePath(), "--json", "get"});
  EXPECT_EQ(nlohmann::json::parse(got.out)["categories"], j["categories"]);

  // A block cut short, a parameter block below 192 bytes, no file at all.
  WriteWholeFile(dir.File("cut.vt"), Bytes(bytes.begin(), bytes.end() - 1));
  for (auto [file, text] : {std::pair{dir.File("cut.vt"), "Incorrect Configuration File !"},
                            {Variant("short.vt", 8, 191), "Incorrect Configuration File !"},
                            {dir.File("none.vt"), "Open File Failed!"}}) {
    r = RunCli({"show", golden, file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "== " + golden + "\nmodel: HS-2D, model code 1\nScan Settings\n"));
    EXPECT_EQ(r.err, "varnet-cli: " + file + ": " + text + "\n");
  }
}

TEST_F(CliFiles, DiffReportsExactlyTheGroupsThatDifferBetweenFilesAndPorts) {
  const std::string sense = Variant("sense.vt", kParam + 55, 2);
  const std::string prefix = Variant("prefix.vt", kFormat + 27 * 8 + 1, 'X');  // QR prefix "QX:"

  auto r = RunCli({"--json", "diff", golden, sense});
  EXPECT_EQ(r.status, 1) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["a"], golden);
  EXPECT_EQ(j["b"], sense);
  EXPECT_EQ(j["differences"], nlohmann::json::parse(R"([{"category": "Scan Settings", "group": "Scan Mode",
                                                       "a": ["Level Trigger"], "b": ["Sense Mode"]}])"));

  // One group in each block: both are found.
  r = RunCli({"diff", sense, prefix});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "Scan Settings / Scan Mode\n  a: Sense Mode\n  b: Level Trigger\n"));
  EXPECT_TRUE(Has(r.out, "Output Settings / QR Prefix\n  a: QR:\n  b: QX:\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "2 group(s) differ\n"));

  // Another model code is said, and each side keeps its own rules.
  r = RunCli({"diff", golden, Variant("code5.vt", kParam + 16, 5)});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "different model codes"));

  EXPECT_EQ(RunCli({"--port", scanner.SlavePath(), "diff", golden, sense}).status, 2);
  EXPECT_EQ(RunCli({"diff", "port:", golden}).status, 1);

  // A port against a file, and a file against every --port target.
  const std::string port = "port:" + scanner.SlavePath();
  r = RunCli({"diff", port, golden});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "no differences"));
  r = RunCli({"--port", scanner.SlavePath(), "--json", "diff", sense});
  EXPECT_EQ(r.status, 1);
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["b"], port);
  EXPECT_EQ(j["differences"].size(), 1u);
}

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
  pb.bytes[pb::BadReadMessage] = 0xE9;
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

  // Model 5 lists no symbology from Code 11 on; without a format block there is
  // no symbology and no trigger page at all.
  pb.SetU8(pb::ModelCode, 5);
  EXPECT_EQ(cli::PageCategoryStates(pb, block)[0].groups.size(), 5u);
  auto none = cli::PageCategoryStates(pb, std::nullopt);
  EXPECT_EQ(none[0].groups.size(), 4u);
  EXPECT_TRUE(none[1].groups.empty());
}
