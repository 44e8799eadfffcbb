#include <gtest/gtest.h>

#include <cstring>

#include "pages/trigger.h"

using namespace varnet;

namespace {
using Bytes = std::vector<uint8_t>;
Bytes Field(const ParamBlock& pb, size_t off, size_t n) { return {pb.bytes.begin() + off, pb.bytes.begin() + off + n}; }
}  // namespace

TEST(Trigger, EmptyTextsAndLimits) {
  auto records = TriggerRecords({-1, "", "", false, ""});
  ASSERT_EQ(records.size(), 4u);  // no polarity record without a selection
  for (const Record& r : records) EXPECT_EQ(r.value, Bytes{0x00}) << int(r.b);
  records = TriggerRecords({0, "0123456789AB", "\xFF", false, "123456789AB"});
  EXPECT_EQ(records[1].value.size(), 10u);
  EXPECT_EQ(records[2].value, Bytes{0x00});
  EXPECT_EQ(records[4].value.size(), 9u);
  EXPECT_LE(RecordPayloadLength(records), kMaxRecordPayload);
}

TEST(Trigger, WriteBackKeepsEachTextInsideItsField) {
  ParamBlock pb;
  pb.bytes.fill('#');
  StoreTriggerValues({1, "", "STOPSCAN", true, "BADREAD!"}, pb);
  EXPECT_EQ(Field(pb, 168, 2), (Bytes{0, '#'}));
  EXPECT_EQ(Field(pb, 178, 10), (Bytes{'S', 'T', 'O', 'P', 'S', 'C', 'A', 'N', 0, '#'}));
  EXPECT_EQ(Field(pb, 145, 10), (Bytes{'B', 'A', 'D', 'R', 'E', 'A', 'D', '!', 0, '#'}));
  EXPECT_EQ(TriggerValuesFrom(pb), (TriggerValues{1, "", "STOPSCAN", true, "BADREAD!"}));

  StoreTriggerValues({0, "0123456789", "X", false, "123456789"}, pb);
  EXPECT_EQ(TriggerValuesFrom(pb), (TriggerValues{0, "0123456789", "X", false, "123456789"}));
  EXPECT_EQ(pb.U8(154), '#');
}
