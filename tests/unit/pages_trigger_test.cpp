#include <gtest/gtest.h>

#include <cstring>

#include "pages/trigger.h"

using namespace varnet;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) { return {b.begin(), b.end()}; }

std::vector<uint8_t> Field(const ParamBlock& pb, size_t off, size_t n) {
  return {pb.bytes.begin() + off, pb.bytes.begin() + off + n};
}

}  // namespace

TEST(TriggerValues, ReadFromTheParamBlock) {
  ParamBlock pb;
  pb.SetU8(pb::PulsePolarity, 7);
  pb.SetU8(pb::TransmitBadRead, 2);
  std::memcpy(&pb.bytes[168], "0123456789", 10);  // no zero: all ten characters
  std::memcpy(&pb.bytes[178], "STOP", 4);
  std::memcpy(&pb.bytes[145], "NOREAD\0XY", 9);
  pb.SetU8(154, 'Z');  // past the message's field
  TriggerValues v = TriggerValuesFrom(pb);
  EXPECT_EQ(v.polarityRow, 1);
  EXPECT_TRUE(v.transmitBadRead);
  EXPECT_EQ(v.startCommand, "0123456789");
  EXPECT_EQ(v.stopCommand, "STOP");
  EXPECT_EQ(v.badReadMessage, "NOREAD");
  std::memcpy(&pb.bytes[145], "123456789", 9);
  EXPECT_EQ(TriggerValuesFrom(pb).badReadMessage, "123456789");
  pb.SetU8(pb::PulsePolarity, 0);
  pb.SetU8(pb::TransmitBadRead, 0);
  EXPECT_EQ(TriggerValuesFrom(pb).polarityRow, 0);
  EXPECT_FALSE(TriggerValuesFrom(pb).transmitBadRead);
}

TEST(TriggerRecords, ExampleAndEmptyTexts) {
  TriggerValues v{1, "ST", "SP", true, ""};
  auto frame = RecordCommandFrame(TriggerRecords(v));
  ASSERT_TRUE(frame);
  EXPECT_EQ(*frame, Bytes({0x18, 0x58, 0xA1, 0x0F, 0x01, 0xFF, 0xA1, 0x19, 0x53, 0x54, 0xFF, 0xA1, 0x1A, 0x53, 0x50,
                           0xFF, 0xA1, 0x0E, 0x01, 0xFF, 0xA1, 0x1E, 0x00, 0xFF, 0xF5, 0xB6}));

  // Every empty text is a single 00; without a polarity its record is left out.
  auto records = TriggerRecords({-1, "", "", false, ""});
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].b, 0x19);
  EXPECT_EQ(records[0].value, Bytes({0x00}));
  EXPECT_EQ(records[1].value, Bytes({0x00}));
  EXPECT_EQ(records[2].value, Bytes({0x00}));
  EXPECT_EQ(records[3].value, Bytes({0x00}));

  // Texts are cut to their fields, never carry FF, and always fit one command.
  records = TriggerRecords({0, "0123456789AB", "\xFF", false, "123456789AB"});
  EXPECT_EQ(records[1].value.size(), 10u);
  EXPECT_EQ(records[2].value, Bytes({0x00}));
  EXPECT_EQ(records[4].value.size(), 9u);
  EXPECT_LE(RecordPayloadLength(records), kMaxRecordPayload);
}

TEST(TriggerStore, TextsWithTheirZeroInsideTheirFields) {
  ParamBlock pb;
  pb.bytes.fill('#');
  StoreTriggerValues({1, "", "STOPSCAN", true, "BADREAD!"}, pb);
  EXPECT_EQ(pb.U8(pb::PulsePolarity), 1);
  EXPECT_EQ(pb.U8(pb::TransmitBadRead), 1);
  // Empty start command: just its zero, the rest of the field as it was.
  EXPECT_EQ(Field(pb, 168, 2), Bytes({0, '#'}));
  // Eight characters and the zero in the ten-byte field; the last byte stays.
  EXPECT_EQ(Field(pb, 178, 10), Bytes({'S', 'T', 'O', 'P', 'S', 'C', 'A', 'N', 0, '#'}));
  // The bad-read message fills its nine bytes exactly.
  EXPECT_EQ(Field(pb, 145, 9), Bytes({'B', 'A', 'D', 'R', 'E', 'A', 'D', '!', 0}));
  EXPECT_EQ(pb.U8(154), '#');
  EXPECT_EQ(TriggerValuesFrom(pb), (TriggerValues{1, "", "STOPSCAN", true, "BADREAD!"}));

  // Full-width texts (as a scanner may hold them) leave the bytes after their fields alone.
  StoreTriggerValues({0, "0123456789", "X", false, "123456789"}, pb);
  EXPECT_EQ(TriggerValuesFrom(pb), (TriggerValues{0, "0123456789", "X", false, "123456789"}));
  EXPECT_EQ(pb.U8(154), '#');
  EXPECT_EQ(pb.U8(pb::PulsePolarity), 0);
}
