// SPDX-License-Identifier: Apache-2.0
// A click's wait for its acknowledgement, and every option of every group
// clicked through the page's click logic on each simulated scanner.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "link/scanner_texts.h"
#include "settings/apply_option.h"
#include "settings/model_rules.h"
#include "sim/sim_scanner.h"
#include "support/connected_scanner.h"
#include "support/pty_peer.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;

TEST(SettingsApplyOption, ImageModeWaitsLongerForTheAcknowledgement) {
  PtyPeer peer;
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, peer.SlavePath(), 115200));
  DeviceInfo info;
  info.paramBlock.SetU8(pb::ModelCode, 1);
  const ScannerModel m = ScannerModel::From(info.paramBlock, "Unknow");
  const EffectiveGroup group = *FindShownGroup(m, "Scan Mode").group;
  const auto rows = ShownOptions(group, m);
  const auto ticks = TicksInForce(group, rows, info.paramBlock);
  for (bool imageMode : {false, true}) {
    peer.WriteLater(kAck, 380);
    EXPECT_EQ(ApplyOption(link, info, group, rows, ticks, 1, imageMode).acked, imageMode);
    peer.Join();
    EXPECT_EQ(peer.ReadAll(), Cmd(0xA1, 0x02, 0x02));
    DrainInput(link);  // the late acknowledgement
  }
  EXPECT_EQ(info.paramBlock.U8(55), 2);
}

namespace {

// Bytes where the copy and the scanner's block differ, as " [offset] held/scanner".
// B8 01 is one scanner setting shown in two groups ("Code 32" in the mask,
// "Convert Code 39 to Code 32" in the Code 39 byte); a click records only its
// own group's reading, so those two bits are left out.
std::string Differences(const ParamBlock& held, const std::vector<uint8_t>& scanner) {
  std::string d;
  for (size_t i = 0; i < ParamBlock::kSize; ++i) {
    const uint8_t mask = i == 20 ? 0x7F : i == 28 ? 0xFB : 0xFF;
    if ((held.bytes[i] ^ scanner.at(i)) & mask)
      d += " [" + std::to_string(i) + "] " + std::to_string(held.bytes[i]) + "/" + std::to_string(scanner[i]);
  }
  return d;
}

// Clicks every row of every group the page takes clicks in, in order, and a
// choice that was in force (so sent nothing) once more at the end. After each
// click the copy must be what the scanner holds; after a new connection the
// last click of each group must still show.
void ClickEveryOption(const std::string& profileName) {
  SCOPED_TRACE(profileName);
  test::ConnectedScanner c(sim::ProfileNamed(profileName));
  ASSERT_TRUE(c.ok);
  ScannerLink& link = c.link;
  DeviceInfo& info = c.info;
  const ScannerModel& model = c.model;

  struct LastClick {
    EffectiveGroup group;
    std::vector<EffectiveOption> rows;
    size_t row = 0;
    bool state = false;
  };
  std::vector<LastClick> last;
  size_t clicks = 0;
  for (int category = 0; category < kCategoryCount; ++category)
    for (const EffectiveGroup& group : ShownGroups(category, model)) {
      if (!OptionListEnabled(group, info.HasFormatBlock())) continue;  // greyed
      const std::vector<EffectiveOption> rows = ShownOptions(group, model);
      std::vector<bool> ticks = TicksInForce(group, rows, info.paramBlock);
      std::vector<size_t> order(rows.size());
      std::iota(order.begin(), order.end(), 0);
      for (size_t i = 0; i < order.size(); ++i) {
        const size_t row = order[i];
        const ApplyResult r = ApplyOption(link, info, group, rows, ticks, row, false);
        if (!r.sent) {
          if (i < rows.size()) order.push_back(row);
          continue;
        }
        ++clicks;
        const std::string what = std::string(group.english) + " / " + rows[row].english;
        ASSERT_TRUE(r.acked && !r.reopenFailed) << what;
        ticks = r.ticks;
        ASSERT_EQ(Differences(info.paramBlock, c.sim.ParamBlock()), "") << what;
        if (last.empty() || last.back().group.group != group.group) last.push_back({group, rows});
        last.back().row = row;
        last.back().state = ticks[row];
      }
    }
  EXPECT_GT(clicks, 100u);

  // The link follows the baud rate clicked last.
  ASSERT_TRUE(c.Connect(link.baud));
  for (const LastClick& l : last)
    EXPECT_EQ(TicksInForce(l.group, l.rows, info.paramBlock)[l.row], l.state)
        << l.group.english << " / " << l.rows[l.row].english;
}

}  // namespace

// One scanner, link and thread per profile: each click waits out the
// acknowledgement's idle time, so the profiles run side by side.
TEST(SettingsApplyOption, EveryOptionOfEveryGroupOnEveryProfile) {
  std::vector<std::thread> runs;
  for (const std::string& name : sim::ProfileNames()) runs.emplace_back(ClickEveryOption, name);
  for (std::thread& t : runs) t.join();
}
