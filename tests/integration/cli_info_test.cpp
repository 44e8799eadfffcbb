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

TEST(CliInfo, PrintsTheScannersIdentityAndAsksNoSerialNumberWithoutAFormatBlock) {
  sim::Profile p = sim::ProfileNamed("code5");
  p.deviceType = 1;
  sim::SimScanner s(p), legacy(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(s.Start() && legacy.Start());
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "115200", "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out), (nlohmann::json{{"port", s.SlavePath()},
                                                          {"device_type", 1},
                                                          {"device_name", "2D Barcode Scanner"},
                                                          {"model_name", "HD-50"},
                                                          {"model_code", 5},
                                                          {"firmware", "HD50-V1.8.4"},
                                                          {"serial_number", "SNHD5000042"},
                                                          {"format_block", true},
                                                          {"format_block_length", s.FormatBlock()->size()}}));

  r = RunCli({"--port", legacy.SlavePath(), "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["format_block"], false);
  EXPECT_EQ(j["serial_number"], "Unknow");
  EXPECT_FALSE(Heard(legacy.Received(), Cmd(kQuerySerial)));
  EXPECT_TRUE(Has(r.err, "Please update scanner to support fully functions !"));
}

TEST(CliInfo, RefusedDeviceTypeMissingPortAndBadUsage) {
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  Refuse(s.faults(), kQueryDeviceType);
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Connect Failed"));

  r = RunCli({"--port", "ttyVARNET-NONE", "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, ": Open COM Failed\nThe port does not exist (the scanner may have been unplugged).\n"))
      << r.err;
  EXPECT_EQ(RunCli({"--baud", "fast", "info"}).status, 2);
}

TEST(CliList, ListsEveryRowWithItsPortAndRate) {
  FakeRegistry registry;
  sim::SimScanner usb, rs(sim::ProfileNamed("rs232"));
  ASSERT_TRUE(usb.Start() && rs.Start());
  registry.Set(1, {usb.SlavePath()}, {rs.SlavePath()});
  auto r = RunCli({"--json", "list"}, registry);
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

  // With --port exactly those ports, each as a serial port, in the order given.
  r = RunCli({"--json", "--port", rs.SlavePath(), "--port", "ttyVARNET-NONE", "list", "--port", usb.SlavePath()},
             registry);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto given = JsonLines(r.out);
  ASSERT_EQ(given.size(), 2u) << r.out;
  EXPECT_EQ(given[0]["row"], 1);
  EXPECT_EQ(given[0]["port"], rs.SlavePath());
  EXPECT_EQ(given[0]["baud"], 57600);
  EXPECT_EQ(given[1]["row"], 2);
  EXPECT_EQ(given[1]["port"], usb.SlavePath());
  EXPECT_EQ(given[1]["baud"], 9600);
}

TEST(CliSave, FirstUsbScannerByDefaultAndNoSaveWithoutAnAcknowledgement) {
  FakeRegistry registry;
  EXPECT_EQ(RunCli({"info"}, registry).status, 1);  // no scanner at all
  sim::SimScanner usb;
  ASSERT_TRUE(usb.Start());
  registry.Set(1, {usb.SlavePath()});
  auto r = RunCli({"save"}, registry);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Settings Saved Successfully"));
  EXPECT_EQ(usb.SaveCount(), 1);

  Refuse(usb.faults(), kSave);
  r = RunCli({"--port", usb.SlavePath(), "save"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Save Failed"));
  r = RunCli({"--all", "--json", "info"}, registry);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "keyboard mode"));
  EXPECT_NE(r.out.find(usb.SlavePath()), std::string::npos);
}

TEST(CliCommandLine, HelpVersionAndCloseMatches) {
  auto r = RunCli({"set", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "Usage: varnet-cli set [OPTIONS] GROUP OPTION [on|off]...") && Has(r.out, "Example")) << r.out;
  r = RunCli({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("varnet-cli ", 0), 0u);

  // Wrong words are named, with the close matches, and exit 2.
  const std::pair<std::vector<std::string>, const char*> wrong[] = {
      {{"sett", "a", "b"}, "unknown command \"sett\"; did you mean \"set\""},
      {{"info", "--jsno"}, "unknown option \"--jsno\"; did you mean \"--json\""},
      {{"export"}, "missing FILE.vt"},
      {{"get", "a", "b"}, "unexpected argument \"b\""},
      {{"info", "--port"}, "--port needs a value (PORT)"},
  };
  for (const auto& [args, text] : wrong) {
    r = RunCli(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_TRUE(Has(r.err, text)) << r.err;
  }
}
