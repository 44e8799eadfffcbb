#include <gtest/gtest.h>

#include "settings/apply_option.h"
#include "settings/model_rules.h"

namespace varnet {
namespace {

// Clicks `row` of a group whose rows show `ticks` ("0100"); the result as
// "-" when nothing would be sent, else the rows after the click.
std::string Click(std::string_view title, std::string_view ticks, size_t row) {
  const ScannerModel m{1, "HTR-81", "VT1.0"};
  const EffectiveGroup g = *FindShownGroup(m, title).group;
  std::vector<bool> t;
  for (char c : ticks) t.push_back(c == '1');
  const ClickDecision d = DecideClick(g, ShownOptions(g, m), t, row);
  if (!d.send) return "-";
  EXPECT_EQ(d.newState, d.ticks[row]);
  std::string r;
  for (bool b : d.ticks) r += b ? '1' : '0';
  return r;
}

TEST(SettingsClick, ChoicesMoveTheTickOrSendNothing) {
  EXPECT_EQ(Click("Scan Mode", "0100", 1), "-");
  EXPECT_EQ(Click("Scan Mode", "0100", 3), "0001");
  EXPECT_EQ(Click("Scan Mode", "1100", 2), "0010");
  EXPECT_EQ(Click("MSI", "11001", 2), "00101");
  EXPECT_EQ(Click("MSI", "00101", 2), "-");
  EXPECT_EQ(Click("Codabar", "0101", 0), "1001");
  EXPECT_EQ(Click("Interleaved 2 of 5", "001", 2), "-");
}

TEST(SettingsClick, Code11ModesAreResentAndSwitchesToggle) {
  EXPECT_EQ(Click("Code 11", "0101", 1), "0101");
  EXPECT_EQ(Click("Code 11", "0101", 3), "0100");
  EXPECT_EQ(Click("Codabar", "0101", 3), "0100");
  EXPECT_EQ(Click("EAN-13", "10000", 3), "10010");
  EXPECT_EQ(Click("Readable Symbologies", std::string(25, '1'), 24), std::string(24, '1') + "0");
}

TEST(SettingsClick, RowOutsideTheListDoesNothing) {
  EXPECT_EQ(Click("Scan Mode", "0000", 4), "-");
  EXPECT_EQ(Click("Scan Mode", "00", 3), "-");  // fewer ticks than rows
}

}  // namespace
}  // namespace varnet
