// SPDX-License-Identifier: Apache-2.0
#include "pages/page_summary.h"

#include "pages/output_format.h"
#include "pages/page_text.h"
#include "pages/trigger.h"

namespace varnet {

namespace {

std::string WithoutLeadingBlanks(const char* name) {
  std::string s(name);
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

PageGroup Group(const std::string& title, std::vector<std::string> values) { return {title, title, std::move(values)}; }

PageGroup SymbologyGroup(const std::string& symbology, const char* field, std::vector<std::string> values) {
  PageGroup g = Group(symbology + " " + field, std::move(values));
  g.symbology = symbology;
  return g;
}

PageGroup ListGroup(const char* title, std::span<const OptionRow> rows, std::optional<int> row) {
  if (!row) return Group(title, {});
  return Group(title, {WithoutLeadingBlanks(rows[*row].name)});
}

}  // namespace

PageCategory OutputSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  PageCategory c{"Output Settings", {}};
  c.groups.push_back(ListGroup("Country Code Page", CodePageRows(), CodePageRowForStored(pb.U8(pb::CodePage))));
  c.groups.push_back(
      ListGroup("Case Conversion", CaseConversionRows(), RowOfCode(CaseConversionRows(), pb.U8(pb::CaseConversion))));
  c.groups.push_back(ListGroup("Code ID", CodeIdRows(), RowOfCode(CodeIdRows(), pb.U8(pb::CodeId))));
  c.groups.push_back(
      ListGroup("Ending Character", EndingCharacterRows(), RowOfCode(EndingCharacterRows(), pb.U8(pb::EndingChar))));
  if (!block) return c;

  size_t rows = SymbologyRowCount(pb.ModelCode());
  for (size_t row = 0; row < rows; ++row) {
    std::string name = SymbologyRows()[row].name;
    // Read through the page's own refresh, so both show the same.
    OutputFormatValues shown;
    shown.symbologyRow = int(row);
    OutputFormatView view = RefreshOutputFormat(shown, pb, block);
    const uint8_t* b = block->data();
    SymbologySlot slot = SlotOfCode(SymbologyRows()[row].code);
    // A count above the list's 20 is still in force on the scanner.
    if (view.fields.leadingCut && b[fb::LeadingCut + slot] != 0)
      c.groups.push_back(SymbologyGroup(name, "Truncate Leading Data", {std::to_string(b[fb::LeadingCut + slot])}));
    if (view.fields.endingCut && b[fb::EndingCut + slot] != 0)
      c.groups.push_back(SymbologyGroup(name, "Truncate Ending Data", {std::to_string(b[fb::EndingCut + slot])}));
    if (!view.values.prefix.empty())
      c.groups.push_back(SymbologyGroup(name, "Prefix", {Latin1ToUtf8(view.values.prefix)}));
    if (!view.values.suffix.empty())
      c.groups.push_back(SymbologyGroup(name, "Suffix", {Latin1ToUtf8(view.values.suffix)}));
  }
  return c;
}

PageCategory TriggerSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  PageCategory c{"Trigger Settings", {}};
  if (!block) return c;
  TriggerValues v = TriggerValuesFrom(pb);
  c.groups.push_back(Group("Pulse Trigger", {v.polarityRow == 1 ? "PNP" : "NPN"}));
  c.groups.push_back(Group("Start Scan CMD", {Latin1ToUtf8(v.startCommand)}));
  c.groups.push_back(Group("Stop Scan CMD", {Latin1ToUtf8(v.stopCommand)}));
  c.groups.push_back(Group("Transmit Bad Read Message", {v.transmitBadRead ? "On" : "Off"}));
  c.groups.push_back(Group("Bad Read Message", {Latin1ToUtf8(v.badReadMessage)}));
  return c;
}

std::vector<PageCategory> PageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  return {OutputSettingsCategory(pb, block), TriggerSettingsCategory(pb, block)};
}

}  // namespace varnet
