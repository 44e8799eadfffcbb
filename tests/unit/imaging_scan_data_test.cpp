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
  EXPECT_EQ(Convert({0x01, 0x07, 0x09, 0x10, 0x00, 0x1F, 0x20, 0x7D}), "[SOH][BEL][TAB][DLE][NUL][US] }");
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
