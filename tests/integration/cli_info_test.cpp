// SPDX-License-Identifier: Apache-2.0
// info, list and save, and how a command finds its scanner.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/fake_registry.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;

TEST(CliInfo, PrintsTheScannersIdentityAsJson) {
  sim::Profile p = sim::ProfileNamed("code5");
  p.deviceType = 1;
  sim::SimScanner s(p);
  ASSERT_TRUE(s.Start());
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "115200", "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["port"], s.SlavePath());
  EXPECT_EQ(j["device_type"], 1);
  EXPECT_EQ(j["device_name"], "2D Barcode Scanner");
  EXPECT_EQ(j["model_name"], "HD-50");
  EXPECT_EQ(j["model_code"], 5);
  EXPECT_EQ(j["firmware"], "HD50-V1.8.4");
  EXPECT_EQ(j["serial_number"], "SNHD5000042");
  EXPECT_EQ(j["format_block"], true);
  EXPECT_EQ(j["format_block_length"], s.FormatBlock()->size());
}

TEST(CliInfo, WithoutFormatBlockNoSerialNumberIsAskedFor) {
  sim::SimScanner s(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(s.Start());
  auto r = RunCli({"--port", s.SlavePath(), "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["format_block"], false);
  EXPECT_EQ(j["serial_number"], "Unknow");
  EXPECT_FALSE(Heard(s.Received(), Cmd(0x0E, 0x0D, 0x53)));
  EXPECT_TRUE(Has(r.err, "Please update scanner to support fully functions !"));
}

TEST(CliInfo, RefusedDeviceTypeMissingPortAndBadUsage) {
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  s.faults().RefuseCommand(0x0E, 0x0D, 0x06);
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Connect Failed"));

  r = RunCli({"--port", "ttyVARNET-NONE", "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, ": Open COM Failed\nThe port does not exist (the scanner may have been unplugged).\n"))
      << r.err;
  EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
  EXPECT_EQ(RunCli({"--baud", "fast", "info"}).status, 2);
  EXPECT_EQ(RunCli({"--port", "x", "info", "extra"}).status, 2);
}

namespace {

struct RegistryScope {
  FakeRegistry registry;
  RegistryScope() { cli::SetRegistry(&registry); }
  ~RegistryScope() { cli::SetRegistry(nullptr); }
};

}  // namespace

TEST(CliList, ListsEveryRowWithItsPortAndRate) {
  RegistryScope scope;
  sim::SimScanner usb, rs(sim::ProfileNamed("rs232"));
  ASSERT_TRUE(usb.Start() && rs.Start());
  scope.registry.Set(1, {usb.SlavePath()}, {rs.SlavePath()});
  auto r = RunCli({"--json", "list"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = JsonLines(r.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["status"], "Not Ready");
  EXPECT_EQ(rows[0]["port"], "");
  EXPECT_EQ(rows[1]["port"], usb.SlavePath());
  EXPECT_EQ(rows[1]["firmware"], "HS2D-V2.41.07");
  EXPECT_EQ(rows[2]["port"], rs.SlavePath());
  EXPECT_EQ(rows[2]["baud"], 57600);
  EXPECT_EQ(rows[2]["description"], "   2D Barcode Scanner / RS-232 Port");
}

TEST(CliSave, FirstUsbScannerByDefaultAndNoSaveWithoutAnAcknowledgement) {
  RegistryScope scope;
  EXPECT_EQ(RunCli({"info"}).status, 1);  // no scanner at all
  sim::SimScanner usb;
  ASSERT_TRUE(usb.Start());
  scope.registry.Set(1, {usb.SlavePath()});
  auto r = RunCli({"save"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Settings Saved Successfully"));
  EXPECT_EQ(usb.SaveCount(), 1);

  usb.faults().RefuseCommand(0xA0, 0x08, 0x01);
  r = RunCli({"--port", usb.SlavePath(), "save"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Save Failed"));
  r = RunCli({"--all", "--json", "info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "keyboard mode"));
  EXPECT_NE(r.out.find(usb.SlavePath()), std::string::npos);
}
