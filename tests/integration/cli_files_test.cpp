// show and diff on configuration files and simulated scanners.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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

  auto r = RunCli({"--json", "diff", golden, Variant("same.vt", 0, bytes[0])});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["differences"], nlohmann::json::array());

  r = RunCli({"--json", "diff", golden, sense});
  EXPECT_EQ(r.status, 1) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["a"], golden);
  EXPECT_EQ(j["b"], sense);
  EXPECT_EQ(j["differences"], nlohmann::json::parse(R"([{"category": "Scan Settings", "group": "Scan Mode",
                                                       "a": ["Level Trigger"], "b": ["Sense Mode"]}])"));

  r = RunCli({"--json", "diff", golden, prefix});
  EXPECT_EQ(r.status, 1) << r.err;
  j = nlohmann::json::parse(r.out)["differences"];
  ASSERT_EQ(j.size(), 1u) << j;
  EXPECT_EQ(j[0]["category"], "Output Settings");
  EXPECT_EQ(j[0]["a"], nlohmann::json::array({"QR:"}));
  EXPECT_EQ(j[0]["b"], nlohmann::json::array({"QX:"}));

  r = RunCli({"diff", sense, prefix});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "Scan Settings / Scan Mode\n  a: Sense Mode\n  b: Level Trigger\n"));
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
