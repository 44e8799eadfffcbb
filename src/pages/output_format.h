// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "link/protocol.h"

namespace varnet {

// A row of one of the page's fixed lists: the name as shown (leading blanks
// included) and the code the scanner uses for it.
struct OptionRow {
  const char* name;
  uint8_t code;
};

std::span<const OptionRow> CodePageRows();
std::span<const OptionRow> CaseConversionRows();
std::span<const OptionRow> CodeIdRows();
std::span<const OptionRow> EndingCharacterRows();
// The "Barcode Editing" list; a row's code is also the A byte of its records.
std::span<const OptionRow> SymbologyRows();

// Index of a symbology in the tables of the FormatBlock.
using SymbologySlot = uint8_t;
constexpr SymbologySlot SlotOfCode(uint8_t code) { return uint8_t(code < 0xD0 ? code - 0xB0 : code - 0xC0); }

// Rows of the symbology list for a model: models 5 and 6 stop before "Code 11".
size_t SymbologyRowCount(uint8_t modelCode);

// Layout of the FormatBlock: four tables of 35 slots.
namespace fb {
constexpr size_t kSlots = 35;
constexpr size_t kTextWidth = 8;
constexpr size_t Prefix = 0;
constexpr size_t Suffix = 280;
constexpr size_t LeadingCut = 560;
constexpr size_t EndingCut = 595;
}  // namespace fb

// Rows 0..20 of the cut lists stand for 0..20 characters.
constexpr int kCutRows = 21;

// The code page is sent as a list position that skips the value 3; the
// scanner stores a table code, of which 3 and 4 alias rows 0 and 1.
uint8_t CodePageValueForRow(int row);
std::optional<int> CodePageRowForStored(uint8_t stored);
// First row whose code equals `code`.
std::optional<int> RowOfCode(std::span<const OptionRow> rows, uint8_t code);

// What the page shows; a row of -1 is a list without a selection, texts are
// 8-bit characters.
struct OutputFormatValues {
  int codePageRow = -1;
  int caseRow = -1;
  int codeIdRow = -1;
  int endingRow = -1;
  int symbologyRow = 0;
  int leadingCutRow = -1;
  int endingCutRow = -1;
  std::string prefix;
  std::string suffix;

  bool operator==(const OutputFormatValues&) const = default;
};

// Which fields of the selected symbology the held FormatBlock covers: a
// short block leaves the later ones out, and they are shown empty and
// disabled.
struct EditingFields {
  bool leadingCut = false;
  bool endingCut = false;
  bool prefix = false;
  bool suffix = false;

  bool operator==(const EditingFields&) const = default;
};
EditingFields FieldsInBlock(const std::optional<FormatBlock>& block, int symbologyRow);

struct OutputFormatView {
  OutputFormatValues values;
  bool enabled = false;  // a FormatBlock is held
  EditingFields fields;
};

// The page after a refresh: `shown` is what the lists showed before (a list
// whose stored code matches no row keeps its selection). Without a
// FormatBlock the editing fields keep what they showed and the page is
// disabled.
OutputFormatView RefreshOutputFormat(const OutputFormatValues& shown, const ParamBlock& pb,
                                     const std::optional<FormatBlock>& block);

// The records of one "Set", in the order the scanner expects: the general
// lists that have a selection, then the selected symbology's cuts (when
// selected) and its prefix and suffix (when not empty), each only where
// `fields` says the block has it.
std::vector<Record> OutputFormatRecords(const OutputFormatValues& v, const EditingFields& fields);

// After the scanner acknowledged: the table codes of the general lists into
// the ParamBlock (code page included), and what was sent for the symbology
// into the FormatBlock, never past its end.
void StoreOutputFormat(const OutputFormatValues& v, ParamBlock& pb, std::optional<FormatBlock>& block);

enum class SetOutcome { NotSent, Acknowledged, NotAcknowledged };

// The whole "Set": one record command, the acknowledgement within 500 ms,
// then the write-back, a fresh copy of the format block and SettingsDirty.
// Nothing is sent without a FormatBlock.
SetOutcome SetOutputFormat(ScannerLink& link, DeviceInfo& info, const OutputFormatValues& v);

}  // namespace varnet
