// SPDX-License-Identifier: Apache-2.0
// The desktop program's wire trace (varnet-demo under VARNET_TRACE, recorded
// by tests/traces/corpus.sh) replayed for the window making the same clicks:
// Setting Mode search, connect to the USB scanner, Sense Mode, close with save.
#include <gtest/gtest.h>

#include <QTest>
#include <QTreeWidget>

#include "settings/config_dlg.h"
#include "sim/sim_replay.h"
#include "support/window_fixture.h"

using namespace varnet;
using namespace varnet::test;

namespace {

class DemoReplay : public WindowTest {
 protected:
  // Waits, with the window's events going on, until the replay has said all
  // the trace says before the program's next request.
  bool ReplayWaits(const sim::TraceReplay& replay) {
    return WaitUntil([&] { return replay.WaitIdle(0); }, 15000);
  }
};

}  // namespace

TEST_F(DemoReplay, TheSameClicksSendWhatTheTraceHolds) {
  std::string why;
  auto trace = sim::ReadWireTrace(VARNET_TRACES_DIR "/demo-setting-mode.trace", why);
  ASSERT_TRUE(trace) << why;
  sim::TraceReplay replay(std::move(*trace));
  ASSERT_TRUE(replay.Start());
  // The demo's USB scanner is probed at the USB rate first, its RS-232
  // scanner walks the RS-232 rates; its keyboard-mode one never comes back.
  std::string usb, rs232;
  for (size_t i = 0; i < replay.Trace().ports.size(); ++i)
    (replay.Trace().ports[i].events.at(0).baud == kUsbProbeRate ? usb : rs232) = replay.SlavePaths()[i];
  ASSERT_FALSE(usb.empty() || rs232.empty());
  registry.Set(1, {usb}, {usb, rs232});

  Search(true);
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 3);
  ASSERT_TRUE(ReplayWaits(replay));
  ConnectRow(1);
  ASSERT_TRUE(app.link.IsOpen());
  ASSERT_TRUE(ReplayWaits(replay));
  QTreeWidget* options = dlg->SettingsPage()->OptionList();
  ASSERT_EQ(options->topLevelItem(1)->text(0), "Sense Mode");
  QTest::mouseClick(options->viewport(), Qt::LeftButton, {},
                    options->visualItemRect(options->topLevelItem(1)).center());
  ASSERT_TRUE(ReplayWaits(replay));
  prompts.answers = {true};
  EXPECT_FALSE(dlg->CloseRequest());
  EXPECT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SettingsSaved});
  ASSERT_TRUE(WaitUntil([&] { return !dlg->Searching(); }, 15000));

  EXPECT_TRUE(replay.WaitPlayedOut(5000));
  replay.Stop();
  for (const std::string& problem : replay.Problems()) ADD_FAILURE() << problem;
}
