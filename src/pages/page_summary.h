// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "pages/output_format.h"

namespace varnet {

// The output format and trigger pages' values as the command-line tool
// lists them beside the catalogue's categories. Texts are UTF-8; option
// names are given without their leading blanks.
struct PageGroup {
  std::string title;                // English field name: "Case Conversion", "Code 39 Prefix"
  std::string label;                // the same; kept apart to match the catalogue's groups
  std::vector<std::string> values;  // what is in force; empty when a stored code matches no row
  std::string symbology;            // for the fields kept per symbology: its name, which begins the title
};

struct PageCategory {
  std::string name;  // "Output Settings" or "Trigger Settings"
  std::vector<PageGroup> groups;
};

constexpr const char* kOutputSettings = "Output Settings";
constexpr const char* kTriggerSettings = "Trigger Settings";

// Which control of a page a field is.
enum class PageControl {
  CodePage,
  CaseConversion,
  CodeId,
  EndingCharacter,  // output format lists
  LeadingCut,
  EndingCut,
  Prefix,
  Suffix,  // per symbology of "Barcode Editing"
  PulseTrigger,
  StartCommand,
  StopCommand,
  TransmitBadRead,
  BadReadMessage,  // trigger page
};
enum class PageFieldKind { List, Count, Text };

// One field by the name the command line gives it.
struct PageField {
  std::string name;
  PageControl control;
  int symbologyRow = -1;  // per-symbology fields: the row of the "Barcode Editing" list

  PageFieldKind Kind() const;
  // List fields: the rows in order, names without their leading blanks.
  std::vector<std::string> Choices() const;
};

// Every field of the output format page for a model: the four lists, then
// the four editing fields of each symbology of the model's list.
std::vector<PageField> OutputSettingsFields(uint8_t modelCode);
std::vector<PageField> TriggerSettingsFields();

// What a field holds, as the command line shows it: the list row in force
// (none when the stored code matches no row), the count, or the text. A
// per-symbology field the FormatBlock does not hold (or no block) has none.
std::vector<std::string> PageFieldValues(const PageField& field, const ParamBlock& pb,
                                         const std::optional<FormatBlock>& block);

// Country Code Page, Case Conversion, Code ID, Ending Character; then, per
// symbology of the model's list, "<name> Truncate Leading Data",
// "<name> Truncate Ending Data", "<name> Prefix" and "<name> Suffix" where
// the count is not 0 or the text not empty (only with a FormatBlock, and
// only for fields the block holds).
PageCategory OutputSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block);

// Pulse Trigger, Start Scan CMD, Stop Scan CMD, Transmit Bad Read Message
// ("On"/"Off"), Bad Read Message. Without a FormatBlock the scanner's
// firmware has no trigger page: no groups.
PageCategory TriggerSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block);

// Both, in that order.
std::vector<PageCategory> PageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block);

}  // namespace varnet
