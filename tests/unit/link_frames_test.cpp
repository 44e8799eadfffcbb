// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>

#include "link/device_info.h"
#include "link/protocol.h"
#include "support/wire.h"

using namespace varnet;
using Bytes = std::vector<uint8_t>;
using varnet::test::Cmd;

namespace {
template <size_t N>
std::vector<uint8_t> V(const std::array<uint8_t, N>& a) {
  return {a.begin(), a.end()};
}
}  // namespace

TEST(Frames, ShortValueAndRecordCommandsMatchTheWire) {
  // Two frames as captured on the wire anchor the test's own frame maker; the
  // rest is checked against it over every P1 the tool sends and a spread of P2 P3.
  EXPECT_EQ(Cmd(0x0E, 0x0D, 0x06), Bytes({0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83}));
  EXPECT_EQ(Cmd(0xA0, 0x04, 0x64), Bytes({0x05, 0x57, 0xA0, 0x04, 0x64, 0xFE, 0x9C}));
  for (uint8_t p1 : {0x0E, 0xA0, 0xA1, 0xB3, 0xDB})
    for (int p2 = 0; p2 < 0x100; p2 += 0x11)
      for (uint8_t p3 : {0x00, 0x02, 0x0D, 0x0E, 0x64, 0xFF})
        ASSERT_EQ(V(ShortCommandFrame({p1, uint8_t(p2), p3})), Cmd(p1, uint8_t(p2), p3)) << int(p1) << " " << p2;

  // Values little-endian, checksum big-endian.
  EXPECT_EQ(V(ValueCommandFrame(300)), Bytes({0x06, 0x57, 0xA0, 0x03, 0x2C, 0x01, 0xFE, 0xD3}));
  EXPECT_EQ(V(ValueCommandFrame(500)), Bytes({0x06, 0x57, 0xA0, 0x03, 0xF4, 0x01, 0xFE, 0x0B}));
  // The restore's record command; the pages' frames are checked as the pages send them.
  EXPECT_EQ(RecordCommandFrame({{0xA0, 0x02, {0x09}}, {0xA1, 0x01, {0x0F}}}),
            Bytes({0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44}));
}

TEST(Frames, RecordPayloadLimitIs48Bytes) {
  // 12 records of 4 bytes = 48; one more value byte makes 49.
  std::vector<Record> records(12, Record{0xB0, 0x50, {0x41}});
  EXPECT_EQ(RecordCommandFrame(records).value().size(), 52u);
  records.back().value.push_back(0x42);
  EXPECT_FALSE(RecordCommandFrame(records));
}

TEST(TextReply, PrintableTextOrAnEmptyAcknowledgementEverythingElseFails) {
  auto blank = Bytes({0x06, 0x52, 0x00, 0x00, 0x20, 0x7E});  // nothing printable
  const uint16_t ck = FrameChecksum(blank.data(), 6);
  blank.insert(blank.end(), {uint8_t(ck >> 8), uint8_t(ck)});
  const std::pair<std::vector<uint8_t>, std::optional<std::string>> cases[] = {
      {Bytes({0x07, 0x52, 0x00, 0x00, 0x41, 0x20, 0x42, 0xFF, 0x04}), "AB"},
      {Bytes({0x07, 0x52, 0x00, 0x00, 0x41, 0x20, 0x42, 0xFF, 0x05}), std::nullopt},  // checksum
      {Bytes({0x52, 0xA0, 0xE0, 0xFE, 0x80}), std::nullopt},
      {Bytes({0x07, 0x52, 0x00}), std::nullopt},
      {Bytes({0x05, 0x51, 0x00, 0x00, 0x41, 0xFF, 0x69}), std::nullopt},  // not 52
      {Bytes({0x04, 0x52, 0x00, 0x00, 0xFF, 0xAA}), std::nullopt},        // L too small
      {Bytes({0x20, 0x52, 0x00, 0x00, 0x41, 0x42}), std::nullopt},        // L beyond what arrived
      {blank, std::nullopt},
  };
  for (const auto& [reply, text] : cases) EXPECT_EQ(ParseTextReply(reply.data(), reply.size(), false), text);
  // A full buffer fails whatever it holds; the acknowledgement is read through the link.
  EXPECT_FALSE(ParseTextReply(cases[0].first.data(), cases[0].first.size(), true));
}

// Block headers are read through the import and export tests.
TEST(BlockFields, ParameterBlockNumbersLittleEndian) {
  ParamBlock p;
  p.SetU32(44, 115200);
  EXPECT_EQ(std::vector(p.bytes.begin() + 44, p.bytes.begin() + 48), Bytes({0x00, 0xC2, 0x01, 0x00}));
  p.SetU16(58, 500);
  EXPECT_EQ(p.U16(58), 500);
  std::memcpy(p.bytes.data(), "HT-27-PM\0garbage", 16);
  EXPECT_EQ(p.ModelName(), "HT-27-PM");
  EXPECT_THROW(p.U32(190), std::out_of_range);
}
