#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/cli_runner.h"
#include "support/fake_registry.h"
#include "support/scanner_presets.h"

using namespace varnet;
using namespace varnet::test;

namespace {

struct RegistryScope {
  FakeRegistry registry;
  RegistryScope() { cli::SetRegistry(&registry); }
  ~RegistryScope() { cli::SetRegistry(nullptr); }
};

}  // namespace

TEST(CliList, ListsEveryRowWithItsPortAndRate) {
  RegistryScope scope;
  auto usb = ConnectableScanner();
  auto rs = ConnectableScanner();
  rs->AnswerOnlyAt(115200);
  scope.registry.Set(1, {usb->SlavePath()}, {rs->SlavePath()});
  auto r = RunCli({"--json", "list"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<nlohmann::json> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["status"], "Not Ready");
  EXPECT_EQ(rows[0]["port"], "");
  EXPECT_EQ(rows[1]["port"], usb->SlavePath());
  EXPECT_EQ(rows[1]["firmware"], "V3.1");
  EXPECT_EQ(rows[2]["port"], rs->SlavePath());
  EXPECT_EQ(rows[2]["baud"], 115200);
  EXPECT_EQ(rows[2]["description"], "   2D Barcode Scanner / RS-232 Port");
}

TEST(CliSave, SavesWithAnAcknowledgementAndFailsWithout) {
  RegistryScope scope;
  auto usb = ConnectableScanner();
  scope.registry.Set(0, {usb->SlavePath()});
  // No --port: the first USB virtual port of a scanner is used.
  auto r = RunCli({"save"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Settings Saved Successfully"), std::string::npos);
  EXPECT_TRUE(usb->Received(0xA0, 0x08, 0x01));

  usb->On(0xA0, 0x08, 0x01, {0x52, 0xA0, 0xE0, 0xFE, 0x80});
  r = RunCli({"--port", usb->SlavePath(), "save"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Save Failed"), std::string::npos);
}

TEST(CliTargets, NoScannerAndAllWithAKeyboardModeScanner) {
  RegistryScope scope;
  EXPECT_EQ(RunCli({"info"}).status, 1);
  auto usb = ConnectableScanner();
  scope.registry.Set(1, {usb->SlavePath()});
  auto r = RunCli({"--all", "--json", "info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("keyboard mode"), std::string::npos);
  EXPECT_NE(r.out.find(usb->SlavePath()), std::string::npos);
}
