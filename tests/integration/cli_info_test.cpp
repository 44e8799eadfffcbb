#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "support/cli_runner.h"
#include "support/scripted_scanner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

std::vector<uint8_t> Param(const char* model, uint8_t code) {
  std::vector<uint8_t> p(192, 0);
  std::memcpy(p.data(), model, std::strlen(model));
  p[16] = code;
  p[188] = 0x40;
  return p;
}

}  // namespace

TEST(CliInfo, PrintsTheScannersIdentityAsJson) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, DataReply({0x01}));
  s.On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", Param("HS-2D", 5)));
  s.On(0x0E, 0x0D, 0x0A, BlockReply("*DFF*", std::vector<uint8_t>(640, 0)));
  s.On(0x0E, 0x0D, 0x02, DataReply({'V', '1', '.', '2'}));
  s.On(0x0E, 0x0D, 0x53, DataReply({'S', 'N', '4', '2'}));
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "115200", "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["port"], s.SlavePath());
  EXPECT_EQ(j["device_type"], 1);
  EXPECT_EQ(j["device_name"], "2D Barcode Scanner");
  EXPECT_EQ(j["model_name"], "HS-2D");
  EXPECT_EQ(j["model_code"], 5);
  EXPECT_EQ(j["firmware"], "V1.2");
  EXPECT_EQ(j["serial_number"], "SN42");
  EXPECT_EQ(j["format_block"], true);
  EXPECT_EQ(j["format_block_length"], 640);
}

TEST(CliInfo, ScannerWithoutFormatBlockIsNotAskedForItsSerialNumber) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, DataReply({0x03}));
  s.On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", Param("OLD", 1)));
  s.On(0x0E, 0x0D, 0x02, DataReply({'X'}));
  s.On(0x0E, 0x0D, 0x53, DataReply({'S', 'N'}));
  auto r = RunCli({"--port", s.SlavePath(), "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["format_block"], false);
  EXPECT_EQ(j["serial_number"], "Unknow");
  EXPECT_FALSE(s.Received(0x0E, 0x0D, 0x53));
  EXPECT_NE(r.err.find("Please update scanner to support fully functions !"), std::string::npos);
}

TEST(CliInfo, RefusedDeviceTypeExitsOneWithConnectFailed) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, {0x52, 0xA0, 0xE0, 0xFE, 0x80});
  auto r = RunCli({"--port", s.SlavePath(), "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Connect Failed"), std::string::npos);
}

TEST(CliInfo, MissingPortAndBadUsage) {
  auto r = RunCli({"--port", "ttyVARNET-NONE", "--baud", "9600", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Open COM Failed"), std::string::npos);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos);
  EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
  EXPECT_EQ(RunCli({"--baud", "fast", "info"}).status, 2);
  EXPECT_EQ(RunCli({"--port", "x", "info", "extra"}).status, 2);
}
