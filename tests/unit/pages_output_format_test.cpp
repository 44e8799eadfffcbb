#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pages/output_format.h"
#include "pages/page_text.h"

using namespace varnet;

namespace {

int RowNamed(std::span<const OptionRow> rows, const char* name) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (std::strcmp(rows[i].name, name) == 0) return int(i);
  ADD_FAILURE() << "no row " << name;
  return -1;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> b) { return {b.begin(), b.end()}; }

// Records flattened as on the wire (A B value FF ...).
std::vector<uint8_t> Payload(const std::vector<Record>& records) {
  std::vector<uint8_t> p;
  for (const auto& r : records) {
    p.push_back(r.a);
    p.push_back(r.b);
    p.insert(p.end(), r.value.begin(), r.value.end());
    p.push_back(0xFF);
  }
  return p;
}

const EditingFields kAllFields{true, true, true, true};

}  // namespace

TEST(OutputFormatTables, CodePageValuesSkipThreeAndStoredCodesMapBack) {
  auto rows = CodePageRows();
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(CodePageValueForRow(RowNamed(rows, "Korean")), 4);
  EXPECT_EQ(CodePageValueForRow(RowNamed(rows, "Vietnamese")), 15);
  for (int row = 0; row < int(rows.size()); ++row) {
    EXPECT_NE(CodePageValueForRow(row), 3) << row;
    // The code a row stands for leads back to that row.
    EXPECT_EQ(CodePageRowForStored(rows[row].code), row) << rows[row].name;
  }
  EXPECT_EQ(CodePageRowForStored(3), 0);
  EXPECT_EQ(CodePageRowForStored(4), 1);
  EXPECT_EQ(CodePageRowForStored(2), std::nullopt);
  EXPECT_EQ(CodePageRowForStored(20), std::nullopt);
}

TEST(OutputFormatTables, SymbologySlotsAndModelLists) {
  auto rows = SymbologyRows();
  ASSERT_EQ(rows.size(), 26u);
  EXPECT_STREQ(rows[0].name, "All");
  EXPECT_EQ(SlotOfCode(0xB0), 0);
  EXPECT_EQ(SlotOfCode(rows[RowNamed(rows, "Code 11")].code), 9);
  EXPECT_EQ(SlotOfCode(rows[RowNamed(rows, "Pharmacode")].code), 17);
  EXPECT_EQ(SlotOfCode(rows[RowNamed(rows, "DotCode")].code), 31);
  // Every slot is distinct and inside the block's 35-slot tables.
  std::set<int> slots;
  for (auto& r : rows) {
    EXPECT_LT(SlotOfCode(r.code), fb::kSlots) << r.name;
    slots.insert(SlotOfCode(r.code));
  }
  EXPECT_EQ(slots.size(), rows.size());

  for (uint8_t model : {5, 6}) {
    ASSERT_EQ(SymbologyRowCount(model), 16u);
    EXPECT_STREQ(rows[SymbologyRowCount(model) - 1].name, "Interleaved 2 of 5");
  }
  for (uint8_t model : {0, 1, 4, 7}) EXPECT_EQ(SymbologyRowCount(model), 26u);
  EXPECT_STREQ(EndingCharacterRows()[2].name, "  CR");
}

TEST(OutputFormatRefresh, GeneralListsFollowTheParamBlockAndKeepUnknownCodes) {
  ParamBlock pb;
  pb.SetU8(pb::CodePage, 3);
  pb.SetU8(pb::CaseConversion, 2);
  pb.SetU8(pb::CodeId, 1);
  pb.SetU8(pb::EndingChar, 3);
  FormatBlock block(640, 0);
  OutputFormatView v = RefreshOutputFormat({}, pb, block);
  EXPECT_TRUE(v.enabled);
  EXPECT_EQ(v.values.codePageRow, 0);
  EXPECT_EQ(v.values.caseRow, 2);
  EXPECT_EQ(v.values.codeIdRow, 1);
  EXPECT_EQ(v.values.endingRow, 3);

  // Codes no row has: every list keeps what it showed.
  pb.SetU8(pb::CodePage, 2);
  pb.SetU8(pb::CaseConversion, 9);
  pb.SetU8(pb::CodeId, 9);
  pb.SetU8(pb::EndingChar, 9);
  OutputFormatValues shown = v.values;
  shown.codePageRow = 5;
  EXPECT_EQ(RefreshOutputFormat(shown, pb, block).values.codePageRow, 5);
  EXPECT_EQ(RefreshOutputFormat(shown, pb, block).values.endingRow, 3);
  EXPECT_EQ(RefreshOutputFormat({}, pb, block).values.caseRow, -1);
}

TEST(OutputFormatRefresh, SymbologyFieldsComeFromItsSlot) {
  ParamBlock pb;
  FormatBlock block(640, 0);
  // Code 11 is slot 9: prefix at 72, suffix at 352, cuts at 569 and 604.
  std::memcpy(&block[72], "PREFIX11", 8);  // all eight bytes are characters
  std::memcpy(&block[352], "S\xE9", 2);
  block[569] = 20;
  block[604] = 21;
  OutputFormatValues shown;
  shown.symbologyRow = RowNamed(SymbologyRows(), "Code 11");
  OutputFormatView v = RefreshOutputFormat(shown, pb, block);
  EXPECT_EQ(v.values.prefix, "PREFIX11");
  EXPECT_EQ(v.values.suffix, "S\xE9");
  EXPECT_EQ(v.values.leadingCutRow, 20);
  EXPECT_EQ(v.values.endingCutRow, -1);  // above 20: no selection
  EXPECT_EQ(v.fields, kAllFields);

  // The stored count above 20 is not sent back as anything.
  auto records = OutputFormatRecords(v.values, v.fields);
  EXPECT_EQ(Payload(std::vector<Record>(records.begin() + 4, records.end())),
            Bytes({0xB9, 0x4C, 20, 0xFF, 0xB9, 0x50, 'P', 'R', 'E', 'F', 'I', 'X', '1', '1', 0xFF, 0xB9, 0x53, 'S', 0xE9,
                   0xFF}));
}

TEST(OutputFormatRefresh, ShortOrMissingBlock) {
  ParamBlock pb;
  OutputFormatValues shown;
  shown.symbologyRow = RowNamed(SymbologyRows(), "DotCode");  // slot 31: the last bytes used, up to 626
  shown.prefix = "old";
  shown.leadingCutRow = 4;

  // Without a block the page is disabled and the editing fields stay.
  OutputFormatView none = RefreshOutputFormat(shown, pb, std::nullopt);
  EXPECT_FALSE(none.enabled);
  EXPECT_EQ(none.values.prefix, "old");
  EXPECT_EQ(none.values.leadingCutRow, 4);

  FormatBlock full(627, 7);
  EXPECT_EQ(RefreshOutputFormat(shown, pb, full).fields, kAllFields);
  EXPECT_EQ(RefreshOutputFormat(shown, pb, full).values.endingCutRow, 7);

  // One byte short: only the ending cut is missing. Shorter still: the rest.
  FormatBlock cut(626, 7);
  OutputFormatView v = RefreshOutputFormat(shown, pb, cut);
  EXPECT_TRUE(v.enabled);
  EXPECT_EQ(v.fields, (EditingFields{true, false, true, true}));
  EXPECT_EQ(v.values.endingCutRow, -1);
  EXPECT_EQ(v.values.leadingCutRow, 7);

  FormatBlock tiny(300, 'x');
  v = RefreshOutputFormat(shown, pb, tiny);
  EXPECT_EQ(v.fields, (EditingFields{false, false, true, false}));
  EXPECT_EQ(v.values.prefix, "xxxxxxxx");
  EXPECT_EQ(v.values.suffix, "");
  EXPECT_EQ(v.values.leadingCutRow, -1);

  // Values the user typed for missing fields are neither sent nor stored.
  OutputFormatValues typed = v.values;
  typed.suffix = "SUF";
  typed.leadingCutRow = 2;
  for (const Record& r : OutputFormatRecords(typed, v.fields))
    EXPECT_FALSE(r.a == 0xDF && r.b != 0x50) << "only the prefix lies inside the block, not " << int(r.b);
  std::optional<FormatBlock> held = tiny;
  StoreOutputFormat(typed, pb, held);
  EXPECT_EQ(held->size(), 300u);
  EXPECT_EQ(*held, FormatBlock(300, 'x'));  // prefix "xxxxxxxx" written back as it was
}

TEST(OutputFormatSet, ExampleRecordsAndTabEnding) {
  OutputFormatValues v;
  v.codePageRow = 0;
  v.caseRow = RowNamed(CaseConversionRows(), " Upper Case");
  v.codeIdRow = RowNamed(CodeIdRows(), " None");
  v.endingRow = RowNamed(EndingCharacterRows(), " CRLF");
  v.symbologyRow = 0;
  v.leadingCutRow = 0;
  v.endingCutRow = 0;
  EXPECT_EQ(Payload(OutputFormatRecords(v, kAllFields)),
            Bytes({0xA1, 0x4C, 0x01, 0xFF, 0xA2, 0x04, 0x01, 0xFF, 0xA2, 0x02, 0x00, 0xFF, 0xA2, 0x03, 0x02, 0xFF,
                   0xB0, 0x4C, 0x00, 0xFF, 0xB0, 0x45, 0x00, 0xFF}));

  // " TAB" goes out as 4 and is kept as its table code 3.
  v.endingRow = RowNamed(EndingCharacterRows(), " TAB");
  v.codePageRow = RowNamed(CodePageRows(), "Korean");
  auto records = OutputFormatRecords(v, kAllFields);
  EXPECT_EQ(records[3].value, Bytes({4}));
  EXPECT_EQ(records[0].value, Bytes({4}));
  ParamBlock pb;
  std::optional<FormatBlock> block = FormatBlock(640, 9);
  StoreOutputFormat(v, pb, block);
  EXPECT_EQ(pb.U8(pb::EndingChar), 3);
  EXPECT_EQ(pb.U8(pb::CaseConversion), 1);
  EXPECT_EQ(pb.U8(pb::CodePage), 6);  // Korean's table code, not the 4 that was sent
  EXPECT_EQ(RefreshOutputFormat({}, pb, block).values.codePageRow, v.codePageRow);
  EXPECT_EQ((*block)[560], 0);
  EXPECT_EQ((*block)[595], 0);
  EXPECT_EQ((*block)[0], 9);  // empty prefix: the block keeps the old one
}

TEST(OutputFormatSet, TextsAndEmptyLists) {
  OutputFormatValues v;  // no general list selected, no cut selected
  v.symbologyRow = RowNamed(SymbologyRows(), "QR");
  v.suffix = "\xE9tiquette";  // nine characters: only eight go
  auto records = OutputFormatRecords(v, kAllFields);
  ASSERT_EQ(records.size(), 1u);  // the empty prefix sends nothing
  EXPECT_EQ(records[0].a, 0xDB);
  EXPECT_EQ(records[0].b, 0x53);
  EXPECT_EQ(records[0].value, Bytes({0xE9, 't', 'i', 'q', 'u', 'e', 't', 't'}));

  // An FF (it would end the record) is never put into a value.
  v.suffix = "A\xFF" "B";
  EXPECT_EQ(OutputFormatRecords(v, kAllFields)[0].value, Bytes({'A', 'B'}));
  v.suffix = "\xFF";
  EXPECT_TRUE(OutputFormatRecords(v, kAllFields).empty());

  // The longest "Set" fits one record command.
  v = {0, 0, 0, 0, 0, 20, 20, "12345678", "12345678"};
  EXPECT_LE(RecordPayloadLength(OutputFormatRecords(v, kAllFields)), kMaxRecordPayload);
  EXPECT_EQ(RecordPayloadLength(OutputFormatRecords(v, kAllFields)), 46u);

  // Stored suffix is zero-padded over the old one.
  ParamBlock pb;
  std::optional<FormatBlock> block = FormatBlock(640, 'z');
  v.suffix = "AB";
  StoreOutputFormat(v, pb, block);
  EXPECT_EQ(FieldText(&(*block)[280], 8), "AB");
  EXPECT_EQ((*block)[287], 0);
  EXPECT_EQ((*block)[288], 'z');
}

TEST(PageText, StorableCharactersAndFields) {
  EXPECT_TRUE(IsStorableChar('A'));
  EXPECT_TRUE(IsStorableChar(0xE9));
  EXPECT_TRUE(IsStorableChar(0xFE));
  EXPECT_FALSE(IsStorableChar(0xFF));
  EXPECT_FALSE(IsStorableChar(0x00));
  EXPECT_FALSE(IsStorableChar(0x4E2D));  // a Chinese character
  uint8_t field[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(FieldText(field, 4), "abcd");
  StoreFieldText(field, 4, "xy");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 4), std::string("xy\0d", 4));
  StoreFieldText(field, 4, "wxyz");  // no room for the zero: none written past the field
  EXPECT_EQ(FieldText(field, 4), "wxyz");
  EXPECT_EQ(Latin1ToUtf8("\xE9t\xFF"), "\xC3\xA9t\xC3\xBF");
}
