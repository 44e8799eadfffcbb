#include <gtest/gtest.h>

#include "link/protocol.h"
#include "settings/apply_option.h"
#include "settings/model_rules.h"
#include "support/pty_peer.h"
#include "support/scripted_scanner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

const std::vector<uint8_t> kAck = Bytes({0x52, 0xA0, 0xEC, 0xFE, 0x74});

// The page state of one group on a connected scanner.
struct Session {
  ScannerLink link;
  DeviceInfo info;
  EffectiveGroup group;
  std::vector<EffectiveOption> rows;
  std::vector<bool> ticks;

  explicit Session(const std::string& port, uint32_t baud = 115200) {
    EXPECT_TRUE(OpenLink(link, port, baud));
    link.LinkPortName = port;
    info.paramBlock.SetU8(pb::ModelCode, 1);
  }
  void Open(std::string_view title) {
    const ScannerModel m = ScannerModel::From(info.paramBlock, "Unknow");
    group = *FindShownGroup(m, title).group;
    rows = ShownOptions(group, m);
    ticks = TicksInForce(group, rows, info.paramBlock);
  }
  ApplyResult Click(size_t row, bool imageMode = false) {
    ApplyResult r = ApplyOption(link, info, group, rows, ticks, row, imageMode);
    ticks = r.ticks;
    return r;
  }
};

TEST(SettingsApplyOption, AcknowledgedChoiceIsRecordedAndMarksDirty) {
  ScriptedScanner scanner;
  scanner.On(0xA1, 0x02, 0x02, kAck);
  Session s(scanner.SlavePath());
  s.info.paramBlock.SetU8(55, 1);
  s.Open("Scan Mode");

  const ApplyResult same = s.Click(0);
  EXPECT_FALSE(same.sent);
  EXPECT_TRUE(scanner.Frames().empty());

  const ApplyResult r = s.Click(1);
  EXPECT_TRUE(r.acked);
  EXPECT_EQ(scanner.Frames(), (std::vector<std::vector<uint8_t>>{Bytes({0x05, 0x57, 0xA1, 0x02, 0x02, 0xFE, 0xFF})}));
  EXPECT_EQ(s.info.paramBlock.U8(55), 2);
  EXPECT_EQ(s.info.settingsDirty, 1);
  EXPECT_EQ(r.ticks, (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(s.link.LinkBusy, 0);
}

TEST(SettingsApplyOption, UnacknowledgedChoiceIsPutBack) {
  ScriptedScanner scanner;
  scanner.On(0xB4, 0x01, 0x0D, kAck);  // switching off works, switching on gets no answer
  Session s(scanner.SlavePath());
  s.info.paramBlock.SetU32(20, 0x00000001);
  s.Open("Readable Symbologies");
  const ParamBlock before = s.info.paramBlock;
  const std::vector<bool> ticksBefore = s.ticks;

  const ApplyResult r = s.Click(3);
  EXPECT_TRUE(r.sent);
  EXPECT_FALSE(r.acked);
  EXPECT_TRUE(scanner.Received(0xB4, 0x01, 0x0E));
  EXPECT_EQ(s.info.paramBlock.bytes, before.bytes);
  EXPECT_EQ(r.ticks, ticksBefore);
  EXPECT_EQ(s.info.settingsDirty, 0);
  EXPECT_EQ(s.link.LinkBusy, 0);

  s.info.paramBlock.SetU32(20, 0x00000009);
  s.ticks = TicksInForce(s.group, s.rows, s.info.paramBlock);
  EXPECT_TRUE(s.Click(3).acked);
  EXPECT_EQ(s.info.paramBlock.U32(20), 1u);
  EXPECT_FALSE(s.ticks[3]);
  EXPECT_TRUE(scanner.Received(0xB4, 0x01, 0x0D));
}

TEST(SettingsApplyOption, BaudRateChangeReopensOnlyWhenAcknowledged) {
  ScriptedScanner scanner;
  scanner.On(0xA1, 0x0C, 0x05, kAck);
  Session s(scanner.SlavePath(), 57600);
  s.info.paramBlock.SetU32(44, 57600);
  s.Open("RS232 Baud Rate");

  const ApplyResult refused = s.Click(5);  // 230400: not scripted
  EXPECT_FALSE(refused.reopened);
  EXPECT_EQ(s.link.baud, 57600u);
  EXPECT_EQ(s.info.paramBlock.U32(44), 57600u);

  const ApplyResult r = s.Click(4);
  EXPECT_TRUE(r.acked);
  EXPECT_TRUE(r.reopened);
  EXPECT_TRUE(s.link.IsOpen());
  EXPECT_EQ(s.link.baud, 115200u);
}

TEST(SettingsApplyOption, InterfaceChangeAsksForRebootNoticeAgainstConnectValue) {
  ScriptedScanner scanner;
  scanner.On(0xA1, 0x49, 0x01, kAck);
  scanner.On(0xA1, 0x49, 0x02, kAck);
  Session s(scanner.SlavePath());
  s.info.paramBlock.SetU8(43, 1);
  s.info.interfaceAtConnect = 1;
  s.Open("Output Interface");
  EXPECT_TRUE(s.Click(1).rebootNotice);
  const ApplyResult back = s.Click(0);
  EXPECT_TRUE(back.acked);
  EXPECT_FALSE(back.rebootNotice);
}

TEST(SettingsApplyOption, ImageModeWaitsLongerForTheAcknowledgement) {
  PtyPeer peer;
  Session s(peer.SlavePath());
  s.Open("Scan Mode");
  peer.WriteLater(kAck, 380);
  EXPECT_FALSE(s.Click(1, false).acked);
  peer.Join();
  peer.ReadAll();

  peer.WriteLater(kAck, 380);
  EXPECT_TRUE(s.Click(1, true).acked);
  peer.Join();
  EXPECT_EQ(s.info.paramBlock.U8(55), 2);
}

}  // namespace
