// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>

#include "pages/output_format.h"
#include "pages/page_text.h"
#include "pages/trigger.h"

using namespace varnet;

namespace {

int RowNamed(std::span<const OptionRow> rows, const char* name) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (std::strcmp(rows[i].name, name) == 0) return int(i);
  ADD_FAILURE() << "no row " << name;
  return -1;
}

using Bytes = std::vector<uint8_t>;
const EditingFields kAll{true, true, true, true};
Bytes Field(const ParamBlock& pb, size_t off, size_t n) { return {pb.bytes.begin() + off, pb.bytes.begin() + off + n}; }

}  // namespace

TEST(OutputFormatTables, CodePageRowsValuesAndStoredCodes) {
  auto rows = CodePageRows();
  EXPECT_EQ(CodePageValueForRow(RowNamed(rows, "Vietnamese")), 15);
  for (int row = 0; row < int(rows.size()); ++row) {
    EXPECT_NE(CodePageValueForRow(row), 3) << row;
    EXPECT_EQ(CodePageRowForStored(rows[row].code), row) << rows[row].name;
  }
  EXPECT_EQ(CodePageRowForStored(4), 1);
  EXPECT_EQ(CodePageRowForStored(2), std::nullopt);
}

TEST(OutputFormatRefresh, ListsAndTheSelectedSlot) {
  ParamBlock pb;
  pb.SetU8(pb::CodePage, 3);
  pb.SetU8(pb::CaseConversion, 9);  // no such row: the list keeps what it showed
  FormatBlock block(640, 0);
  std::memcpy(&block[72], "PREFIX11", 8);  // Code 11, slot 9: all eight bytes are characters
  std::memcpy(&block[352], "S\xE9", 2);
  block[569] = 20;
  block[604] = 21;  // above the list's 20
  OutputFormatValues shown;
  shown.caseRow = 2;
  shown.symbologyRow = RowNamed(SymbologyRows(), "Code 11");
  OutputFormatView v = RefreshOutputFormat(shown, pb, block);
  EXPECT_TRUE(v.enabled);
  EXPECT_EQ(v.values.codePageRow, 0);
  EXPECT_EQ(v.values.caseRow, 2);
  EXPECT_EQ(v.values.prefix, "PREFIX11");
  EXPECT_EQ(v.values.suffix, "S\xE9");
  EXPECT_EQ(v.values.leadingCutRow, 20);
  EXPECT_EQ(v.values.endingCutRow, -1);

  // The cut without a selection is left out, the others go under Code 11's code.
  auto records = OutputFormatRecords(v.values, v.fields);
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[4].a, 0xB9);
  EXPECT_EQ(records[4].b, 0x4C);
  EXPECT_EQ(records[5].b, 0x50);
  EXPECT_EQ(records[6].value, (Bytes{'S', 0xE9}));
}

TEST(OutputFormatRefresh, ShortOrMissingBlockIsNeverReadOrWrittenPastItsEnd) {
  ParamBlock pb;
  OutputFormatValues shown;
  shown.symbologyRow = RowNamed(SymbologyRows(), "DotCode");  // slot 31: its ending cut is byte 626
  EXPECT_EQ(RefreshOutputFormat(shown, pb, FormatBlock(627, 7)).fields, kAll);
  EXPECT_EQ(RefreshOutputFormat(shown, pb, FormatBlock(626, 7)).fields, (EditingFields{true, false, true, true}));
  FormatBlock tiny(300, 'x');
  OutputFormatView v = RefreshOutputFormat(shown, pb, tiny);
  EXPECT_EQ(v.fields, (EditingFields{false, false, true, false}));
  EXPECT_EQ(v.values.prefix, "xxxxxxxx");
  EXPECT_EQ(v.values.suffix, "");
  EXPECT_EQ(v.values.leadingCutRow, -1);

  // Values for fields the block lacks are neither sent nor stored.
  v.values.suffix = "SUF";
  v.values.leadingCutRow = 2;
  for (const Record& r : OutputFormatRecords(v.values, v.fields)) EXPECT_FALSE(r.a == 0xDF && r.b != 0x50) << int(r.b);
  std::optional<FormatBlock> held = tiny;
  StoreOutputFormat(v.values, pb, held);
  EXPECT_EQ(*held, tiny);
}

TEST(OutputFormatSet, RecordsAndWriteBack) {
  OutputFormatValues v;
  v.codePageRow = RowNamed(CodePageRows(), "Korean");
  v.caseRow = 1;
  v.endingRow = RowNamed(EndingCharacterRows(), " TAB");
  v.leadingCutRow = 0;
  v.endingCutRow = 5;
  v.suffix = "\xE9tiq\xFFuette";  // FF would end the record; only eight go
  auto records = OutputFormatRecords(v, kAll);
  ASSERT_EQ(records.size(), 6u);  // no code ID (no selection), no prefix (empty)
  EXPECT_EQ(records[0].value, Bytes{4});
  EXPECT_EQ(records[2].b, 0x03);
  EXPECT_EQ(records[2].value, Bytes{4});
  EXPECT_EQ(records[5].value, (Bytes{0xE9, 't', 'i', 'q', 'u', 'e', 't', 't'}));

  ParamBlock pb;
  pb.SetU8(pb::CodeId, 2);
  std::optional<FormatBlock> block = FormatBlock(640, 'z');
  StoreOutputFormat(v, pb, block);
  EXPECT_EQ(pb.U8(pb::EndingChar), 3);
  EXPECT_EQ(pb.U8(pb::CodePage), 6);  // Korean's table code, not the 4 sent
  EXPECT_EQ(pb.U8(pb::CodeId), 2);
  EXPECT_EQ(RefreshOutputFormat({}, pb, block).values.codePageRow, v.codePageRow);
  EXPECT_EQ((*block)[fb::LeadingCut], 0);
  EXPECT_EQ((*block)[fb::EndingCut], 5);
  EXPECT_EQ((*block)[0], 'z');  // empty prefix: the old one stays
  EXPECT_EQ(FieldText(&(*block)[280], 8), "\xE9tiquett");
}

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
