#include <gtest/gtest.h>

#include "imaging/scan_monitor.h"

namespace varnet {
namespace {

std::string Convert(std::initializer_list<int> bytes) {
  std::vector<uint8_t> v;
  for (int b : bytes) v.push_back(uint8_t(b));
  return ConvertScanData(v.data(), v.size());
}

TEST(ScanDataText, ControlBytesAreNamedPrintableKeptHighDropped) {
  EXPECT_EQ(Convert({0x41, 0x42, 0x43, 0x31, 0x32, 0x33, 0x0D, 0x0A}), "ABC123[CR][LF]");
  EXPECT_EQ(Convert({0x41, 0x7E, 0x42}), "AB");
  EXPECT_EQ(Convert({0x01, 0x07, 0x09, 0x10}), "[SOH][BEL][TAB][DLE]");
  EXPECT_EQ(Convert({0x00, 0x1B, 0x1F, 0x20, 0x7D}), "[NUL][ESC][US] }");
  EXPECT_EQ(Convert({0x7F, 0x80, 0xFF, 0xE9}), "");
}

TEST(ScanDataText, LoneCarriageReturnEndsTheReading) {
  EXPECT_EQ(Convert({0x41, 0x42, 0x0D, 0x43, 0x44}), "AB[CR]");
  // Also when the byte after it would be left out anyway.
  EXPECT_EQ(Convert({0x41, 0x0D, 0xFF, 0x42}), "A[CR]");
  EXPECT_EQ(Convert({0x41, 0x0D}), "A[CR]");
  EXPECT_EQ(Convert({0x0D, 0x0A, 0x0D, 0x0A, 0x41}), "[CR][LF][CR][LF]A");
}

TEST(ScanDataText, LongReadingsAreCutBetweenWholeItems) {
  // 1023 control bytes would need 5115 characters.
  std::vector<uint8_t> tabs(1023, 0x09);
  std::string t = ConvertScanData(tabs.data(), tabs.size());
  EXPECT_LE(t.size(), kScanTextMax);
  EXPECT_EQ(t.size() % 5, 0u);
  EXPECT_EQ(t.substr(t.size() - 5), "[TAB]");

  // A name that would cross the limit is left out whole, not cut.
  std::vector<uint8_t> mixed(kScanTextMax - 2, 'a');
  mixed.push_back(0x1B);
  mixed.push_back('b');
  std::string m = ConvertScanData(mixed.data(), mixed.size());
  EXPECT_EQ(m, std::string(kScanTextMax - 2, 'a'));

  std::vector<uint8_t> exact(kScanTextMax, 'z');
  EXPECT_EQ(ConvertScanData(exact.data(), exact.size()).size(), kScanTextMax);
}

TEST(ScanDataRows, NumberingStartsAgainWhenTheListIsFull) {
  size_t rows = 0;
  std::vector<int> numbers;
  for (int reading = 0; reading < 17; ++reading) {
    ScanRowPlacement p = PlaceScanRow(rows, 15);
    if (p.clearFirst) rows = 0;
    ++rows;
    numbers.push_back(p.number);
  }
  EXPECT_EQ(numbers.back(), 2);
  EXPECT_EQ(numbers[15], 1);
  EXPECT_EQ(numbers[14], 15);
  EXPECT_TRUE(PlaceScanRow(8, 8).clearFirst);
  EXPECT_FALSE(PlaceScanRow(7, 8).clearFirst);
  EXPECT_EQ(PlaceScanRow(7, 8).number, 8);
}

}  // namespace
}  // namespace varnet
