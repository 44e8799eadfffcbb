// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>

#include "link/device_info.h"
#include "link/protocol.h"
#include "sim/sim_scanner.h"
#include "support/connected_scanner.h"
#include "support/pty_peer.h"
#include "support/recording_prompts.h"
#include "support/transfer_blocks.h"
#include "support/wire.h"
#include "ui_common/link_texts.h"

using namespace varnet;
using namespace varnet::test;

namespace {

int64_t Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

// The readers on a link whose far end the test plays.
class Readers : public test::PeerLinkTest {
 protected:
  DeviceInfo info;
};

}  // namespace

TEST_F(Readers, WaitAckLooksAtTheFirstFiveBytesWithinItsLimits) {
  Later(Concat({kAck, {0x01, 0x02, 0x03}}));
  EXPECT_TRUE(WaitAck(link, 250));
  Later(kNak);
  EXPECT_FALSE(WaitAck(link, 250));
  // Sixteen bytes cannot be an acknowledgement, even when they begin with one.
  Later(Concat({kAck, std::vector<uint8_t>(11, 0)}));
  EXPECT_FALSE(WaitAck(link, 250));
  // Gaps up to 50 ms keep an acknowledgement together; one above splits it.
  Later(kAck, 100, 35);
  EXPECT_TRUE(WaitAck(link, 250));
  Later(kAck, 10, 90);
  EXPECT_FALSE(WaitAck(link, 250));
  peer.Join();
  DrainInput(link);

  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitAck(link, 250));
  EXPECT_GE(Ms(t0), 250);
  EXPECT_LT(Ms(t0), 400);
}

TEST_F(Readers, TextReplies) {
  Later(Bytes({0x07, 0x52, 0x00, 0x00, 0x41, 0x20, 0x42, 0xFF, 0x04}), 30);
  EXPECT_EQ(ReadTextReply(link, 250), "AB");
  Later(kAck, 30);
  EXPECT_EQ(ReadTextReply(link, 250), "");
  // 128 bytes in is a failure at once.
  Later(std::vector<uint8_t>(200, 0x41), 10);
  EXPECT_FALSE(ReadTextReply(link, 250));
}

TEST_F(Readers, DeviceTypeIsASevenByteReplyWhateverItsChecksum) {
  const std::pair<std::vector<uint8_t>, int> replies[] = {
      {Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}), 1},
      {Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0x00, 0x00}), 1},
      {Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF}), -1},
      {kNak, -1},
  };
  for (const auto& [reply, type] : replies) {
    Later(reply);
    EXPECT_EQ(QueryDeviceType(link), type);
    EXPECT_EQ(peer.ReadAll(), Bytes({0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83}));
  }
  peer.Join();
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryDeviceType(link), -1);  // silence takes about a second
  EXPECT_GE(Ms(t0), 1000);
  EXPECT_LT(Ms(t0), 1300);
}

TEST_F(Readers, BlocksAreReadWhole) {
  auto p = Payload(192, 1, 3);
  Later(Tagged("*DCF*", p));
  ASSERT_TRUE(ReadBlock(link, info));
  EXPECT_TRUE(std::equal(p.begin(), p.end(), info.paramBlock.bytes.begin()));
  auto f = Payload(700, 1, 9);
  Later(Tagged("*DFF*", f));
  ASSERT_TRUE(ReadBlock(link, info));
  EXPECT_EQ(info.formatBlock, f);
  // A longer parameter block fills the copy; the rest is ignored.
  auto longer = Payload(200, 1, 4);
  Later(Tagged("*DCF*", longer));
  ASSERT_TRUE(ReadBlock(link, info));
  EXPECT_TRUE(std::equal(info.paramBlock.bytes.begin(), info.paramBlock.bytes.end(), longer.begin()));
}

TEST_F(Readers, BlockFailuresLeaveTheCopiesUntouched) {
  info.paramBlock.bytes.fill(0xEE);
  info.formatBlock = std::vector<uint8_t>(10, 0xEE);
  const DeviceInfo before = info;
  auto oneShort = Tagged("*DCF*", Payload(192));
  oneShort.pop_back();
  auto byte5 = Tagged("*DCF*", Payload(192));
  byte5[5] = 'X';
  auto huge = Tagged("*DFF*", Payload(16));
  huge[8] = huge[9] = huge[10] = huge[11] = 0xFF;  // refused before anything is allocated
  const std::pair<const char*, std::vector<uint8_t>> answers[] = {
      {"191 of 192 bytes", oneShort}, {"refusal", kNak},
      {"acknowledgement", kAck},      {"header byte 5", byte5},
      {"announced 0xFFFFFFFF", huge}, {"100-byte parameter block", Tagged("*DCF*", Payload(100))},
  };
  for (const auto& [what, bytes] : answers) {
    Later(bytes);
    EXPECT_FALSE(ReadBlock(link, info)) << what;
    EXPECT_EQ(info.paramBlock.bytes, before.paramBlock.bytes) << what;
    EXPECT_EQ(info.formatBlock, before.formatBlock) << what;
    peer.Join();
    DrainInput(link);
  }
}

// Connecting to the simulated scanner: what is asked, in which order.
TEST(DeviceInformation, ConnectionReadsTheTypeAndBothBlocks) {
  sim::SimScanner s;
  ASSERT_TRUE(s.Start());
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  DeviceInfo info;
  RecordingPrompts prompts;
  ASSERT_TRUE(ReadDeviceInformationWithNotice(link, info, prompts));
  EXPECT_EQ(info.deviceType, 1);
  EXPECT_EQ(info.paramBlock.ModelName(), "HS-2D");
  EXPECT_EQ(info.interfaceAtConnect, 3);
  EXPECT_EQ(info.formatBlock, s.FormatBlock());
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(s.Received(), (std::vector{Cmd(kQueryDeviceType), Cmd(kReadParamBlock), Cmd(kReadFormatBlock)}));

  // Without the flag bit A0 00 11 goes first; without a format block the
  // connection goes on after the message, and forgets an earlier scanner's.
  sim::SimScanner legacy(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(legacy.Start());
  ASSERT_TRUE(OpenLink(link, legacy.SlavePath(), 921600));
  ASSERT_TRUE(ReadDeviceInformationWithNotice(link, info, prompts));
  EXPECT_EQ(legacy.Received(),
            (std::vector{Cmd(kQueryDeviceType), Cmd(kReadParamBlock), Cmd(kConnectBit6Clear), Cmd(kReadFormatBlock)}));
  EXPECT_FALSE(info.formatBlock);
  ASSERT_EQ(prompts.Ids(), std::vector{MessageId::UpdateFirmware});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Information);

  // Device type 0, or a refused parameter block: no connection, nothing more asked.
  s.faults().deviceTypeOverride = 0;
  s.ClearReceived();
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  EXPECT_FALSE(ReadDeviceInformationWithNotice(link, info, prompts));
  EXPECT_EQ(s.Received().size(), 1u);
  s.faults().deviceTypeOverride = -1;
  Refuse(s.faults(), kReadParamBlock);
  s.ClearReceived();
  EXPECT_FALSE(ReadDeviceInformationWithNotice(link, info, prompts));
  EXPECT_EQ(s.Received().size(), 2u);
}
