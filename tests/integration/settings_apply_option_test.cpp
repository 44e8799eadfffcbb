// SPDX-License-Identifier: Apache-2.0
// A click's wait for its acknowledgement; what a click sends and records is
// checked through the settings page against the simulator.
#include <gtest/gtest.h>

#include "settings/apply_option.h"
#include "settings/model_rules.h"
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
