#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "link/device_info.h"
#include "link/protocol.h"
#include "support/pty_peer.h"
#include "support/recording_prompts.h"
#include "support/scripted_scanner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

int64_t Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

const std::vector<uint8_t> kAck = Bytes({0x52, 0xA0, 0xEC, 0xFE, 0x74});
const std::vector<uint8_t> kNak = Bytes({0x52, 0xA0, 0xE0, 0xFE, 0x80});

struct Opened {
  PtyPeer peer;
  ScannerLink link;
  Opened() { EXPECT_TRUE(OpenLink(link, peer.SlavePath(), 115200)); }
};

}  // namespace

TEST(WaitAckReader, OnlyTheFirstFiveBytesCount) {
  Opened o;
  auto withTail = kAck;
  withTail.insert(withTail.end(), {0x01, 0x02, 0x03});
  o.peer.WriteLater(withTail, 20);
  EXPECT_TRUE(WaitAck(o.link, 250));
  o.peer.Join();

  o.peer.WriteLater(kNak, 20);
  EXPECT_FALSE(WaitAck(o.link, 250));
  o.peer.Join();

  // Sixteen bytes cannot be an acknowledgement, even when they begin with one.
  auto sixteen = kAck;
  sixteen.resize(16, 0x00);
  o.peer.WriteLater(sixteen, 20);
  EXPECT_FALSE(WaitAck(o.link, 250));
  o.peer.Join();
}

TEST(WaitAckReader, SilenceFailsAfterTheCallersLimit) {
  Opened o;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitAck(o.link, 250));
  int64_t took = Ms(t0);
  EXPECT_GE(took, 250);
  EXPECT_LT(took, 400);
}

TEST(WaitAckReader, SlowAcknowledgementWithinFiftyMsGapsIsStillAccepted) {
  Opened o;
  o.peer.WriteLater(kAck, 100, 35);
  EXPECT_TRUE(WaitAck(o.link, 250));
  o.peer.Join();
  // A gap above 50 ms splits it: the bytes after the gap are not read.
  o.peer.WriteLater(kAck, 10, 90);
  EXPECT_FALSE(WaitAck(o.link, 250));
  o.peer.Join();
}

TEST(TextReader, ReadsTextsOverTheLink) {
  Opened o;
  o.peer.WriteLater(Bytes({0x07, 0x52, 0x00, 0x00, 0x41, 0x20, 0x42, 0xFF, 0x04}), 30);
  auto t = ReadTextReply(o.link, 250);
  ASSERT_TRUE(t);
  EXPECT_EQ(*t, "AB");
  o.peer.Join();

  o.peer.WriteLater(kAck, 30);
  t = ReadTextReply(o.link, 250);
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->empty());
  o.peer.Join();

  // 128 bytes in is a failure at once.
  o.peer.WriteLater(std::vector<uint8_t>(200, 0x41), 10);
  EXPECT_FALSE(ReadTextReply(o.link, 250));
  o.peer.Join();
}

TEST(DeviceTypeQuery, SevenByteReplyWithOrWithoutAGoodChecksum) {
  ScriptedScanner s;
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  s.On(0x0E, 0x0D, 0x06, Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}));
  EXPECT_EQ(QueryDeviceType(link), 1);
  ASSERT_FALSE(s.Frames().empty());
  EXPECT_EQ(s.Frames().back(), Bytes({0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83}));

  s.On(0x0E, 0x0D, 0x06, Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0x00, 0x00}));
  EXPECT_EQ(QueryDeviceType(link), 1);

  s.On(0x0E, 0x0D, 0x06, Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF}));
  EXPECT_EQ(QueryDeviceType(link), -1);

  s.On(0x0E, 0x0D, 0x06, kNak);
  EXPECT_EQ(QueryDeviceType(link), -1);
}

TEST(DeviceTypeQuery, SilenceTakesAboutOneSecond) {
  ScriptedScanner s;
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryDeviceType(link), -1);
  int64_t took = Ms(t0);
  EXPECT_GE(took, 1000);
  EXPECT_LT(took, 1300);
}

TEST(BlockReader, ReadsParameterAndFormatBlocks) {
  Opened o;
  DeviceInfo info;
  auto p = Payload(192, 3);
  o.peer.WriteLater(BlockReply("*DCF*", p), 20);
  ASSERT_TRUE(ReadBlock(o.link, info));
  EXPECT_TRUE(std::equal(p.begin(), p.end(), info.paramBlock.bytes.begin()));
  o.peer.Join();

  auto f = Payload(700, 9);
  o.peer.WriteLater(BlockReply("*DFF*", f), 20);
  ASSERT_TRUE(ReadBlock(o.link, info));
  EXPECT_EQ(info.formatBlock, f);
  o.peer.Join();
}

TEST(BlockReader, LongerParameterBlockFillsTheCopyAndIgnoresTheRest) {
  Opened o;
  DeviceInfo info;
  auto p = Payload(200, 1);
  o.peer.WriteLater(BlockReply("*DCF*", p), 20);
  ASSERT_TRUE(ReadBlock(o.link, info));
  EXPECT_TRUE(std::equal(p.begin(), p.begin() + 192, info.paramBlock.bytes.begin()));
  o.peer.Join();
}

TEST(BlockReader, FailuresLeaveTheCopiesUntouched) {
  Opened o;
  DeviceInfo info;
  info.paramBlock.bytes.fill(0xEE);
  info.formatBlock = std::vector<uint8_t>(10, 0xEE);
  auto untouched = [&] {
    return std::all_of(info.paramBlock.bytes.begin(), info.paramBlock.bytes.end(), [](uint8_t b) { return b == 0xEE; }) &&
           info.formatBlock == std::vector<uint8_t>(10, 0xEE);
  };

  // 191 of 192 announced bytes, then silence.
  auto shortBlock = BlockReply("*DCF*", Payload(192, 0));
  shortBlock.pop_back();
  o.peer.WriteLater(shortBlock, 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  EXPECT_TRUE(untouched());
  o.peer.Join();

  // A refusal instead of a block.
  o.peer.WriteLater(kNak, 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  EXPECT_TRUE(untouched());
  o.peer.Join();

  o.peer.WriteLater(kAck, 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  o.peer.Join();

  // A header that is not recognised (byte 5 not zero).
  auto odd = BlockReply("*DCF*", Payload(192, 0));
  odd[5] = 'X';
  o.peer.WriteLater(odd, 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  EXPECT_TRUE(untouched());
  o.peer.Join();
  DrainInput(o.link);

  // An absurd announced length is refused before anything is allocated.
  auto huge = BlockReply("*DFF*", Payload(16, 0));
  huge[8] = huge[9] = huge[10] = huge[11] = 0xFF;
  o.peer.WriteLater(huge, 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  EXPECT_TRUE(untouched());
  o.peer.Join();

  // A parameter block shorter than the copy is refused.
  o.peer.WriteLater(BlockReply("*DCF*", Payload(100, 0)), 20);
  EXPECT_FALSE(ReadBlock(o.link, info));
  EXPECT_TRUE(untouched());
  o.peer.Join();
}

namespace {

std::vector<uint8_t> ParamPayload(uint8_t flags, uint8_t iface) {
  auto p = Payload(192, 0);
  std::memcpy(p.data(), "HS-2D\0\0\0\0\0\0\0\0\0\0\0", 16);
  p[16] = 1;
  p[43] = iface;
  p[188] = flags;
  return p;
}

}  // namespace

TEST(DeviceInformation, FullConnectionReadsBothBlocks) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, DataReply({0x01}));
  s.On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", ParamPayload(0x40, 3)));
  s.On(0x0E, 0x0D, 0x0A, BlockReply("*DFF*", Payload(640, 0)));
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  DeviceInfo info;
  RecordingPrompts prompts;
  ASSERT_TRUE(ReadDeviceInformation(link, info, prompts));
  EXPECT_EQ(info.deviceType, 1);
  EXPECT_EQ(info.paramBlock.ModelName(), "HS-2D");
  EXPECT_EQ(info.interfaceAtConnect, 3);
  ASSERT_TRUE(info.formatBlock);
  EXPECT_EQ(info.formatBlock->size(), 640u);
  EXPECT_TRUE(prompts.shown.empty());
  // Bit 6 of byte 188 set: no A0 00 11.
  EXPECT_FALSE(s.Received(0xA0, 0x00, 0x11));
}

TEST(DeviceInformation, FlagBitClearSendsTheExtraCommand) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, DataReply({0x02}));
  s.On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", ParamPayload(0x00, 1)));
  s.On(0xA0, 0x00, 0x11, kAck);
  s.On(0x0E, 0x0D, 0x0A, BlockReply("*DFF*", Payload(640, 0)));
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  DeviceInfo info;
  RecordingPrompts prompts;
  ASSERT_TRUE(ReadDeviceInformation(link, info, prompts));
  auto frames = s.Frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[2], Bytes({0x05, 0x57, 0xA0, 0x00, 0x11, 0xFE, 0xF3}));
  EXPECT_EQ(frames[3][4], 0x0A);  // the format block is asked for after it
}

TEST(DeviceInformation, WithoutFormatBlockTheConnectionGoesOnAfterTheMessage) {
  ScriptedScanner s;
  s.On(0x0E, 0x0D, 0x06, DataReply({0x01}));
  s.On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", ParamPayload(0x40, 3)));
  s.On(0x0E, 0x0D, 0x0A, kNak);
  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
  DeviceInfo info;
  info.formatBlock = std::vector<uint8_t>(5, 1);  // left from an earlier scanner
  RecordingPrompts prompts;
  ASSERT_TRUE(ReadDeviceInformation(link, info, prompts));
  EXPECT_FALSE(info.formatBlock);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].id, MessageId::UpdateFirmware);
  EXPECT_EQ(prompts.shown[0].icon, Icon::Information);
}

TEST(DeviceInformation, NoDeviceTypeOrNoParameterBlockIsNoConnection) {
  {
    ScriptedScanner s;
    s.On(0x0E, 0x0D, 0x06, DataReply({0x00}));
    ScannerLink link;
    ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
    DeviceInfo info;
    RecordingPrompts prompts;
    EXPECT_FALSE(ReadDeviceInformation(link, info, prompts));
    EXPECT_FALSE(s.Received(0x0E, 0x0D, 0x08));
  }
  {
    ScriptedScanner s;
    s.On(0x0E, 0x0D, 0x06, DataReply({0x01}));
    s.On(0x0E, 0x0D, 0x08, kAck);
    ScannerLink link;
    ASSERT_TRUE(OpenLink(link, s.SlavePath(), 921600));
    DeviceInfo info;
    RecordingPrompts prompts;
    EXPECT_FALSE(ReadDeviceInformation(link, info, prompts));
    EXPECT_FALSE(s.Received(0x0E, 0x0D, 0x0A));
  }
}
