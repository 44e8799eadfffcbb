// SPDX-License-Identifier: Apache-2.0
// The simulated scanner that every integration and window test talks to:
// the replies and the block write those tests rely on, to the byte, and the
// RS-232 rate it insists on.
#include <gtest/gtest.h>

#include <cstring>

#include "link/protocol.h"
#include "link/serial_link.h"
#include "sim/sim_scanner.h"
#include "support/wire.h"

namespace varnet {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
const Bytes kWriteAck = {'*', 'a', 'c', 'k'}, kEcho = {'*', 'e', 'c', 'h', 'o'};

// Bytes before the checksum plus the checksum sum to a multiple of 65536.
Bytes WithChecksum(Bytes b) {
  uint32_t sum = 0;
  for (uint8_t x : b) sum += x;
  b.push_back(uint8_t((0x10000 - (sum & 0xFFFF)) >> 8));
  b.push_back(uint8_t(0x10000 - (sum & 0xFFFF)));
  return b;
}
Bytes TextReply(const std::string& s) {
  Bytes b = {uint8_t(s.size() + 4), 0x52, 0x0E, 0x0D};
  b.insert(b.end(), s.begin(), s.end());
  return WithChecksum(b);
}
// A 28-byte header as the tool sends it: tag, length at 8, free bytes set.
Bytes Header(const char* tag, uint32_t len) {
  Bytes h(28, 0x5A);
  std::memcpy(h.data(), tag, std::strlen(tag) + 1);
  for (int i = 0; i < 4; ++i) h[8 + i] = uint8_t(len >> (8 * i));
  return h;
}
uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

class SimProtocol : public ::testing::Test {
 protected:
  void Open(sim::Profile p = {}, uint32_t baud = 115200) {
    sim = std::make_unique<sim::SimScanner>(std::move(p));
    ASSERT_TRUE(sim->Start());
    ASSERT_TRUE(OpenLink(link, sim->SlavePath(), baud));
    link.LinkPortName = sim->SlavePath();
  }
  void SetUp() override { Open(); }
  Bytes Ask(const Bytes& frame, uint32_t firstMs = 500) {
    WriteBytes(link, frame.data(), frame.size());
    Bytes buf(4096);
    buf.resize(CollectUntilIdle(link, buf.data(), buf.size(), firstMs, 60).count);
    return buf;
  }
  std::unique_ptr<sim::SimScanner> sim;
  ScannerLink link;
};

TEST_F(SimProtocol, RepliesByteForByte) {
  struct Row {
    const char* what;
    Bytes ask, reply;
  } rows[] = {
      {"device type", {0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83}, {0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}},
      {"firmware", Cmd(kQueryFirmware), TextReply("HS2D-V2.41.07")},
      {"serial number", Cmd(kQuerySerial), TextReply("SN2D00012345")},
      {"Sense Mode", {0x05, 0x57, 0xA1, 0x02, 0x02, 0xFE, 0xFF}, kAck},
      {"no such choice", Cmd(0xA1, 0x02, 0x09), kNak},
      {"save", {0x05, 0x57, 0xA0, 0x08, 0x01, 0xFE, 0xFB}, kAck},
  };
  for (const Row& r : rows) EXPECT_EQ(Ask(r.ask), r.reply) << r.what;
  EXPECT_EQ(sim->ParamBlock()[55], 2);
  EXPECT_EQ(sim->SaveCount(), 1);

  // Blocks: tag, zero, the length, free bytes the tool must carry, payload.
  for (auto [ask, tag] : {std::pair{Cmd(kReadParamBlock), "*DCF*"}, {Cmd(kReadFormatBlock), "*DFF*"}}) {
    const Bytes b = Ask(ask);
    ASSERT_GE(b.size(), 28u) << tag;
    EXPECT_EQ(std::memcmp(b.data(), tag, 6), 0) << tag;
    EXPECT_EQ(Le32(b, 8), b.size() - 28) << tag;
    EXPECT_EQ(Bytes(b.begin() + 28, b.end()), tag[2] == 'C' ? sim->ParamBlock() : *sim->FormatBlock()) << tag;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sim->ParamBlock().data())), "HS-2D");
  // The other profiles are met through the tests that connect to them.
}

TEST_F(SimProtocol, BlockWriteHandshakeStoresThePayload) {
  Bytes payload = sim->ParamBlock();
  payload.resize(256, 0x33);  // longer blocks are kept whole
  payload[55] = 4;
  EXPECT_EQ(Ask({0x05, 0x57, 0x0E, 0x0C, 0x08, 0xFF, 0x82}), kWriteAck);
  EXPECT_EQ(Ask(Header("%ICF%", 256)), kEcho);
  EXPECT_EQ(Ask(payload, 1000), kAck);
  EXPECT_EQ(sim->ParamBlock(), payload);
  EXPECT_EQ(sim->Received(), (std::vector<Bytes>{Cmd(kWriteParamBlock), Header("%ICF%", 256), payload}));

  // A parameter block below 192 bytes is refused and stores nothing.
  EXPECT_EQ(Ask(Cmd(kWriteParamBlock)), kWriteAck);
  EXPECT_EQ(Ask(Header("%ICF%", 191)), kNak);
  EXPECT_EQ(sim->ParamBlock(), payload);
}

TEST_F(SimProtocol, Rs232ScannerAnswersOnlyAtItsRate) {
  Open(sim::ProfileNamed("rs232"), 9600);
  const Bytes query = Cmd(kQueryDeviceType);
  for (uint32_t wrong : {9600u, 115200u, 57601u}) {  // judged by value, not by the nearest B-constant
    ASSERT_TRUE(ReopenLink(link, wrong));
    EXPECT_TRUE(Ask(query, 250).empty()) << wrong;
  }
  ASSERT_TRUE(ReopenLink(link, 57600));
  EXPECT_EQ(Ask(query).size(), 7u);
  // After acknowledging 115200 it follows the new rate.
  EXPECT_EQ(Ask(Cmd(0xA1, 0x0C, 0x05)), kAck);
  EXPECT_TRUE(Ask(query, 250).empty());
  ASSERT_TRUE(ReopenLink(link, 115200));
  EXPECT_EQ(Ask(query).size(), 7u);
}

}  // namespace
}  // namespace varnet
