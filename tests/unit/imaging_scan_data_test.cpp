// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "imaging/scan_monitor.h"

namespace varnet {
namespace {

std::string Convert(std::vector<uint8_t> v) { return ConvertScanData(v.data(), v.size()); }

TEST(ScanData, NamesControlsKeepsPrintableDropsHighStopsAtALoneCr) {
  EXPECT_EQ(Convert({0x41, 0x42, 0x43, 0x31, 0x32, 0x33, 0x0D, 0x0A}), "ABC123[CR][LF]");
  EXPECT_EQ(Convert({0x41, 0x0D, 0xFF, 0x42}), "A[CR]");
  EXPECT_EQ(Convert({0x41, 0x7E, 0x42, 0x7F, 0xE9}), "AB");
  EXPECT_EQ(Convert({0x1F, 0x20, 0x7D}), "[US] }");
  // Every control byte by its name, in the order of the byte values.
  const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
                                  "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                  "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  for (uint8_t b = 0; b < 32; ++b) EXPECT_EQ(Convert({b}), "[" + std::string(kNames[b]) + "]") << int(b);
  // Long readings are cut between whole items.
  std::string tabs = Convert(std::vector<uint8_t>(1023, 0x09));
  EXPECT_EQ(tabs.size(), kScanTextMax / 5 * 5);
  std::vector<uint8_t> mixed(kScanTextMax - 2, 'a');
  mixed.push_back(0x1B);
  EXPECT_EQ(Convert(mixed), std::string(kScanTextMax - 2, 'a'));
  EXPECT_EQ(PlaceScanRow(14, 15).number, 15);
  EXPECT_TRUE(PlaceScanRow(15, 15).clearFirst && PlaceScanRow(15, 15).number == 1);
}

}  // namespace
}  // namespace varnet
