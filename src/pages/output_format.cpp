// SPDX-License-Identifier: Apache-2.0
#include "pages/output_format.h"

#include <algorithm>
#include <array>

#include "pages/page_text.h"

namespace varnet {

namespace {

constexpr std::array<OptionRow, 14> kCodePage{{
    {"GB2312 / Big5", 0},
    {"GB2312 / Big5 to UTF8", 1},
    {"Korean", 6},
    {"Korean to UTF8", 7},
    {"Shift-JIS", 9},
    {"Shift-JIS to UTF8", 10},
    {"West European Latin", 15},
    {"Central / East European Latin", 16},
    {"Turkish", 13},
    {"Greek", 14},
    {"Cyrillic", 17},
    {"Hebrew", 18},
    {"Thailand", 12},
    {"Vietnamese", 19},
}};

constexpr std::array<OptionRow, 3> kCaseConversion{{{" None", 0}, {" Upper Case", 1}, {" Lower Case", 2}}};
constexpr std::array<OptionRow, 3> kCodeId{{{" None", 0}, {" AIM ID", 1}, {" OEM ID", 2}}};
constexpr std::array<OptionRow, 4> kEndingCharacter{{{" None", 0}, {" CRLF", 1}, {"  CR", 2}, {" TAB", 3}}};

constexpr std::array<OptionRow, 26> kSymbology{{
    {"All", 0xB0},
    {"Data Matrix", 0xDA},
    {"QR", 0xDB},
    {"Micro QR", 0xDC},
    {"UPC-A", 0xB1},
    {"UPC-E", 0xB2},
    {"EAN-8", 0xB3},
    {"EAN-13", 0xB4},
    {"Code 128", 0xB5},
    {"Code 39", 0xB6},
    {"Code 32", 0xB8},
    {"Code 93", 0xB7},
    {"Codabar", 0xBA},
    {"Plessey", 0xBB},
    {"MSI-Plessey", 0xBC},
    {"Interleaved 2 of 5", 0xBD},
    {"Code 11", 0xB9},
    {"Pharmacode", 0xD1},
    {"GS1 DataBar 14", 0xD2},
    {"GS1 DataBar Expanded", 0xD3},
    {"GS1 DataBar Limited", 0xD4},
    {"PDF417", 0xD8},
    {"Micro PDF417", 0xD9},
    {"Aztec", 0xDD},
    {"MaxiCode", 0xDE},
    {"DotCode", 0xDF},
}};

constexpr size_t kCode11Row = 16;

bool ValidRow(std::span<const OptionRow> rows, int row) { return row >= 0 && size_t(row) < rows.size(); }

SymbologySlot SlotOfRow(int row) { return SlotOfCode(kSymbology[ValidRow(kSymbology, row) ? size_t(row) : 0].code); }

bool Covers(const std::optional<FormatBlock>& block, size_t offset, size_t size) {
  return block && offset + size <= block->size();
}

// Selects the row of `code` in `rows`; no match keeps what was selected.
int Match(std::span<const OptionRow> rows, uint8_t code, int shown) { return RowOfCode(rows, code).value_or(shown); }

}  // namespace

std::span<const OptionRow> CodePageRows() { return kCodePage; }
std::span<const OptionRow> CaseConversionRows() { return kCaseConversion; }
std::span<const OptionRow> CodeIdRows() { return kCodeId; }
std::span<const OptionRow> EndingCharacterRows() { return kEndingCharacter; }
std::span<const OptionRow> SymbologyRows() { return kSymbology; }

size_t SymbologyRowCount(uint8_t modelCode) {
  return modelCode == 5 || modelCode == 6 ? kCode11Row : kSymbology.size();
}

uint8_t CodePageValueForRow(int row) { return uint8_t(row < 2 ? row + 1 : row + 2); }

std::optional<int> CodePageRowForStored(uint8_t stored) {
  if (stored == 0 || stored == 3) return 0;
  if (stored == 1 || stored == 4) return 1;
  auto row = RowOfCode(std::span(kCodePage).subspan(2), stored);
  if (row) return *row + 2;
  return std::nullopt;
}

std::optional<int> RowOfCode(std::span<const OptionRow> rows, uint8_t code) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].code == code) return int(i);
  return std::nullopt;
}

EditingFields FieldsInBlock(const std::optional<FormatBlock>& block, int symbologyRow) {
  SymbologySlot slot = SlotOfRow(symbologyRow);
  return {Covers(block, fb::LeadingCut + slot, 1), Covers(block, fb::EndingCut + slot, 1),
          Covers(block, fb::Prefix + slot * fb::kTextWidth, fb::kTextWidth),
          Covers(block, fb::Suffix + slot * fb::kTextWidth, fb::kTextWidth)};
}

OutputFormatView RefreshOutputFormat(const OutputFormatValues& shown, const ParamBlock& pb,
                                     const std::optional<FormatBlock>& block) {
  OutputFormatView view;
  OutputFormatValues& v = view.values;
  v = shown;
  v.codePageRow = CodePageRowForStored(pb.U8(pb::CodePage)).value_or(shown.codePageRow);
  v.caseRow = Match(kCaseConversion, pb.U8(pb::CaseConversion), shown.caseRow);
  v.codeIdRow = Match(kCodeId, pb.U8(pb::CodeId), shown.codeIdRow);
  v.endingRow = Match(kEndingCharacter, pb.U8(pb::EndingChar), shown.endingRow);
  if (!block) return view;

  view.enabled = true;
  if (!ValidRow(kSymbology, v.symbologyRow)) v.symbologyRow = 0;
  SymbologySlot slot = SlotOfRow(v.symbologyRow);
  view.fields = FieldsInBlock(block, v.symbologyRow);
  const uint8_t* b = block->data();
  auto cutRow = [](uint8_t n) { return n < kCutRows ? int(n) : -1; };
  v.leadingCutRow = view.fields.leadingCut ? cutRow(b[fb::LeadingCut + slot]) : -1;
  v.endingCutRow = view.fields.endingCut ? cutRow(b[fb::EndingCut + slot]) : -1;
  v.prefix = view.fields.prefix ? FieldText(b + fb::Prefix + slot * fb::kTextWidth, fb::kTextWidth) : "";
  v.suffix = view.fields.suffix ? FieldText(b + fb::Suffix + slot * fb::kTextWidth, fb::kTextWidth) : "";
  return view;
}

std::vector<Record> OutputFormatRecords(const OutputFormatValues& v, const EditingFields& fields) {
  std::vector<Record> r;
  if (ValidRow(kCodePage, v.codePageRow)) r.push_back({0xA1, 0x4C, {CodePageValueForRow(v.codePageRow)}});
  if (ValidRow(kCaseConversion, v.caseRow)) r.push_back({0xA2, 0x04, {kCaseConversion[v.caseRow].code}});
  if (ValidRow(kCodeId, v.codeIdRow)) r.push_back({0xA2, 0x02, {kCodeId[v.codeIdRow].code}});
  if (ValidRow(kEndingCharacter, v.endingRow))
    r.push_back({0xA2, 0x03, {uint8_t(kEndingCharacter[v.endingRow].code + 1)}});

  if (!ValidRow(kSymbology, v.symbologyRow)) return r;
  uint8_t c = kSymbology[v.symbologyRow].code;
  auto cutSelected = [](int row) { return row >= 0 && row < kCutRows; };
  if (fields.leadingCut && cutSelected(v.leadingCutRow)) r.push_back({c, 0x4C, {uint8_t(v.leadingCutRow)}});
  if (fields.endingCut && cutSelected(v.endingCutRow)) r.push_back({c, 0x45, {uint8_t(v.endingCutRow)}});
  // An empty text leaves the scanner's prefix or suffix as it is.
  if (auto p = TextValue(v.prefix, fb::kTextWidth); fields.prefix && !p.empty()) r.push_back({c, 0x50, p});
  if (auto s = TextValue(v.suffix, fb::kTextWidth); fields.suffix && !s.empty()) r.push_back({c, 0x53, s});
  return r;
}

void StoreOutputFormat(const OutputFormatValues& v, ParamBlock& pb, std::optional<FormatBlock>& block) {
  // The table code, so that a refresh shows the row that was chosen.
  if (ValidRow(kCodePage, v.codePageRow)) pb.SetU8(pb::CodePage, kCodePage[v.codePageRow].code);
  if (ValidRow(kCaseConversion, v.caseRow)) pb.SetU8(pb::CaseConversion, kCaseConversion[v.caseRow].code);
  if (ValidRow(kCodeId, v.codeIdRow)) pb.SetU8(pb::CodeId, kCodeId[v.codeIdRow].code);
  if (ValidRow(kEndingCharacter, v.endingRow)) pb.SetU8(pb::EndingChar, kEndingCharacter[v.endingRow].code);

  if (!block || !ValidRow(kSymbology, v.symbologyRow)) return;
  // Exactly what the records carried, so the copy matches the scanner even
  // if the fresh copy that follows cannot be read.
  SymbologySlot slot = SlotOfRow(v.symbologyRow);
  EditingFields fields = FieldsInBlock(block, v.symbologyRow);
  uint8_t* b = block->data();
  if (fields.leadingCut && v.leadingCutRow >= 0 && v.leadingCutRow < kCutRows)
    b[fb::LeadingCut + slot] = uint8_t(v.leadingCutRow);
  if (fields.endingCut && v.endingCutRow >= 0 && v.endingCutRow < kCutRows)
    b[fb::EndingCut + slot] = uint8_t(v.endingCutRow);
  auto storeText = [&](bool present, size_t offset, const std::string& text) {
    std::vector<uint8_t> bytes = TextValue(text, fb::kTextWidth);
    if (!present || bytes.empty()) return;
    std::fill_n(b + offset, fb::kTextWidth, 0);
    std::copy(bytes.begin(), bytes.end(), b + offset);
  };
  storeText(fields.prefix, fb::Prefix + slot * fb::kTextWidth, v.prefix);
  storeText(fields.suffix, fb::Suffix + slot * fb::kTextWidth, v.suffix);
}

SetOutcome SetOutputFormat(ScannerLink& link, DeviceInfo& info, const OutputFormatValues& v) {
  if (!info.formatBlock) return SetOutcome::NotSent;
  if (!SendRecordCommand(link, OutputFormatRecords(v, FieldsInBlock(info.formatBlock, v.symbologyRow))))
    return SetOutcome::NotSent;
  if (!WaitAck(link, 500)) return SetOutcome::NotAcknowledged;
  StoreOutputFormat(v, info.paramBlock, info.formatBlock);
  SendShortCommand(link, kReadFormatBlock);
  (void)ReadBlock(link, info);
  info.settingsDirty = 1;
  return SetOutcome::Acknowledged;
}

}  // namespace varnet
