#include <gtest/gtest.h>

#include "settings/apply_option.h"
#include "settings/model_rules.h"

namespace varnet {
namespace {

struct Page {
  EffectiveGroup group;
  std::vector<EffectiveOption> rows;
};

Page Open(std::string_view title) {
  const ScannerModel m{1, "HTR-81", "VT1.0"};
  Page p;
  p.group = *FindShownGroup(m, title).group;
  p.rows = ShownOptions(p.group, m);
  return p;
}

using Ticks = std::vector<bool>;

TEST(SettingsClick, WholeListChoiceMovesTheTickOrSendsNothing) {
  const Page p = Open("Scan Mode");
  const Ticks before{false, true, false, false};
  const ClickDecision same = DecideClick(p.group, p.rows, before, 1);
  EXPECT_FALSE(same.send);
  EXPECT_EQ(same.ticks, before);

  const ClickDecision other = DecideClick(p.group, p.rows, before, 3);
  EXPECT_TRUE(other.send);
  EXPECT_TRUE(other.newState);
  EXPECT_EQ(other.ticks, (Ticks{false, false, false, true}));

  // A list that shows several rows in force (a value the choice never wrote)
  // ends up with exactly the clicked one.
  const ClickDecision messy = DecideClick(p.group, p.rows, Ticks{true, true, false, false}, 2);
  EXPECT_EQ(messy.ticks, (Ticks{false, false, true, false}));
}

TEST(SettingsClick, SymbologyChoiceClearsOnlyItsRows) {
  const Page msi = Open("MSI");
  const ClickDecision d = DecideClick(msi.group, msi.rows, Ticks{true, true, false, false, true}, 2);
  EXPECT_TRUE(d.send);
  EXPECT_EQ(d.ticks, (Ticks{false, false, true, false, true}));
  EXPECT_FALSE(DecideClick(msi.group, msi.rows, d.ticks, 2).send);

  const Page codabar = Open("Codabar");
  const ClickDecision c = DecideClick(codabar.group, codabar.rows, Ticks{false, true, false, true}, 0);
  EXPECT_EQ(c.ticks, (Ticks{true, false, false, true}));
}

TEST(SettingsClick, Code11ModesAreResentWhenInForce) {
  const Page p = Open("Code 11");
  const ClickDecision d = DecideClick(p.group, p.rows, Ticks{false, true, false, true}, 1);
  EXPECT_TRUE(d.send);
  EXPECT_TRUE(d.newState);
  EXPECT_EQ(d.ticks, (Ticks{false, true, false, true}));
  EXPECT_EQ(OptionCommand(p.group, p.rows[1], d.newState), (std::array<uint8_t, 3>{0xB9, 0x02, 0x02}));
}

TEST(SettingsClick, OnOffRowsToggleAlone) {
  const Page p = Open("Readable Symbologies");
  Ticks t(p.rows.size(), false);
  t[0] = true;
  const ClickDecision on = DecideClick(p.group, p.rows, t, 3);
  EXPECT_TRUE(on.send);
  EXPECT_TRUE(on.newState);
  EXPECT_TRUE(on.ticks[0]);
  EXPECT_TRUE(on.ticks[3]);
  const ClickDecision off = DecideClick(p.group, p.rows, on.ticks, 3);
  EXPECT_FALSE(off.newState);
  EXPECT_EQ(off.ticks, t);
  EXPECT_EQ(OptionCommand(p.group, p.rows[3], off.newState), (std::array<uint8_t, 3>{0xB4, 0x01, 0x0D}));

  const Page c = Open("Codabar");
  const ClickDecision start = DecideClick(c.group, c.rows, Ticks{false, true, false, true}, 3);
  EXPECT_EQ(start.ticks, (Ticks{false, true, false, false}));
}

TEST(SettingsClick, RowOutsideTheListDoesNothing) {
  const Page p = Open("Scan Mode");
  EXPECT_FALSE(DecideClick(p.group, p.rows, Ticks{false, false, false, false}, 4).send);
  EXPECT_FALSE(DecideClick(p.group, p.rows, Ticks{false, false}, 3).send);
}

}  // namespace
}  // namespace varnet
