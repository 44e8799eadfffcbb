// SPDX-License-Identifier: Apache-2.0
#include "pages/page_summary.h"

#include "pages/page_text.h"
#include "pages/trigger.h"

namespace varnet {

namespace {

constexpr OptionRow kPolarityRows[] = {{"NPN", 0}, {"PNP", 1}};
constexpr OptionRow kOnOffRows[] = {{"Off", 0}, {"On", 1}};

std::string WithoutLeadingBlanks(const char* name) {
  std::string s(name);
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

PageGroup Group(const std::string& title, std::vector<std::string> values) { return {title, title, std::move(values)}; }

std::span<const OptionRow> RowsOf(PageControl control) {
  switch (control) {
    case PageControl::CodePage: return CodePageRows();
    case PageControl::CaseConversion: return CaseConversionRows();
    case PageControl::CodeId: return CodeIdRows();
    case PageControl::EndingCharacter: return EndingCharacterRows();
    case PageControl::PulseTrigger: return kPolarityRows;
    case PageControl::TransmitBadRead: return kOnOffRows;
    default: return {};
  }
}

}  // namespace

PageFieldKind PageField::Kind() const {
  switch (control) {
    case PageControl::LeadingCut:
    case PageControl::EndingCut: return PageFieldKind::Count;
    case PageControl::Prefix:
    case PageControl::Suffix:
    case PageControl::StartCommand:
    case PageControl::StopCommand:
    case PageControl::BadReadMessage: return PageFieldKind::Text;
    default: return PageFieldKind::List;
  }
}

std::vector<std::string> PageField::Choices() const {
  std::vector<std::string> names;
  for (const OptionRow& row : RowsOf(control)) names.push_back(WithoutLeadingBlanks(row.name));
  return names;
}

std::vector<PageField> OutputSettingsFields(uint8_t modelCode) {
  std::vector<PageField> fields{{"Country Code Page", PageControl::CodePage},
                                {"Case Conversion", PageControl::CaseConversion},
                                {"Code ID", PageControl::CodeId},
                                {"Ending Character", PageControl::EndingCharacter}};
  const size_t rows = SymbologyRowCount(modelCode);
  for (size_t row = 0; row < rows; ++row) {
    const std::string name = SymbologyRows()[row].name;
    fields.push_back({name + " Truncate Leading Data", PageControl::LeadingCut, int(row)});
    fields.push_back({name + " Truncate Ending Data", PageControl::EndingCut, int(row)});
    fields.push_back({name + " Prefix", PageControl::Prefix, int(row)});
    fields.push_back({name + " Suffix", PageControl::Suffix, int(row)});
  }
  return fields;
}

std::vector<PageField> TriggerSettingsFields() {
  return {{"Pulse Trigger", PageControl::PulseTrigger},
          {"Start Scan CMD", PageControl::StartCommand},
          {"Stop Scan CMD", PageControl::StopCommand},
          {"Transmit Bad Read Message", PageControl::TransmitBadRead},
          {"Bad Read Message", PageControl::BadReadMessage}};
}

std::vector<std::string> PageFieldValues(const PageField& f, const ParamBlock& pb,
                                         const std::optional<FormatBlock>& block) {
  auto listValue = [&](std::optional<int> row) {
    return row ? std::vector<std::string>{f.Choices().at(size_t(*row))} : std::vector<std::string>{};
  };
  const TriggerValues trigger = TriggerValuesFrom(pb);
  switch (f.control) {
    case PageControl::CodePage: return listValue(CodePageRowForStored(pb.U8(pb::CodePage)));
    case PageControl::CaseConversion: return listValue(RowOfCode(CaseConversionRows(), pb.U8(pb::CaseConversion)));
    case PageControl::CodeId: return listValue(RowOfCode(CodeIdRows(), pb.U8(pb::CodeId)));
    case PageControl::EndingCharacter: return listValue(RowOfCode(EndingCharacterRows(), pb.U8(pb::EndingChar)));
    case PageControl::PulseTrigger: return listValue(trigger.polarityRow);
    case PageControl::StartCommand: return {Latin1ToUtf8(trigger.startCommand)};
    case PageControl::StopCommand: return {Latin1ToUtf8(trigger.stopCommand)};
    case PageControl::TransmitBadRead: return listValue(trigger.transmitBadRead ? 1 : 0);
    case PageControl::BadReadMessage: return {Latin1ToUtf8(trigger.badReadMessage)};
    default: break;
  }
  if (!block || f.symbologyRow < 0 || size_t(f.symbologyRow) >= SymbologyRows().size()) return {};
  // Read through the page's own refresh, so both show the same.
  OutputFormatValues shown;
  shown.symbologyRow = f.symbologyRow;
  const OutputFormatView view = RefreshOutputFormat(shown, pb, block);
  const SymbologySlot slot = SlotOfCode(SymbologyRows()[size_t(f.symbologyRow)].code);
  const uint8_t* b = block->data();
  // A count above the list's 20 is still in force on the scanner.
  switch (f.control) {
    case PageControl::LeadingCut:
      if (view.fields.leadingCut) return {std::to_string(b[fb::LeadingCut + slot])};
      break;
    case PageControl::EndingCut:
      if (view.fields.endingCut) return {std::to_string(b[fb::EndingCut + slot])};
      break;
    case PageControl::Prefix:
      if (view.fields.prefix) return {Latin1ToUtf8(view.values.prefix)};
      break;
    case PageControl::Suffix:
      if (view.fields.suffix) return {Latin1ToUtf8(view.values.suffix)};
      break;
    default: break;
  }
  return {};
}

PageCategory OutputSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  PageCategory c{kOutputSettings, {}};
  for (const PageField& f : OutputSettingsFields(pb.ModelCode())) {
    std::vector<std::string> values = PageFieldValues(f, pb, block);
    if (f.symbologyRow >= 0) {
      // Per symbology only what is set.
      if (values.empty() || values[0].empty() || values[0] == "0") continue;
    }
    PageGroup g = Group(f.name, std::move(values));
    if (f.symbologyRow >= 0) g.symbology = SymbologyRows()[size_t(f.symbologyRow)].name;
    c.groups.push_back(std::move(g));
  }
  return c;
}

PageCategory TriggerSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  PageCategory c{kTriggerSettings, {}};
  if (!block) return c;
  for (const PageField& f : TriggerSettingsFields()) c.groups.push_back(Group(f.name, PageFieldValues(f, pb, block)));
  return c;
}

std::vector<PageCategory> PageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  return {OutputSettingsCategory(pb, block), TriggerSettingsCategory(pb, block)};
}

}  // namespace varnet
