// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/commands.h"
#include "link/device_info.h"

namespace varnet {

// The write command of an option (P1 P2 P3 of a 'W' frame) and the value V
// by which the parameter block shows it (a byte value, or a bit number in
// the symbology mask). V never goes on the wire.
struct OptionCode {
  uint8_t P1 = 0;
  uint8_t P2 = 0;
  uint8_t P3 = 0;
  uint8_t V = 0;
};

// Labels are UTF-8.
struct SettingOption {
  const char* english;
  const char* chinese;
  OptionCode code;
};

// One scanner setting. The English title is the key every value rule and
// model rule selects by. An empty title marks the end of a category.
struct SettingGroup {
  const char* english;
  const char* chinese;
  std::span<const SettingOption> options;
  uint16_t valueOffset;  // into the ParamBlock

  bool IsEndMarker() const { return english[0] == '\0'; }
};

// A category's groups, the end marker included as the last element.
struct SettingCategory {
  const char* name;
  std::span<const SettingGroup> groups;
};

constexpr int kCategoryCount = 4;
enum CategoryIndex : int { kScanSettings = 0, kDecodeSettings = 1, kSymbologies = 2, kInterface = 3 };

// None for an index outside 0..3.
const SettingCategory* Category(int category);

// Where a category's group list begins for a scanner: category 0 skips its
// first groups on the models with code 5 or 6 (and one more on the
// "HT-27-PM"); the others begin at their first group.
size_t CategoryStart(int category, uint8_t modelCode, std::string_view modelName);

// The group at `index` counted from the category's start for the scanner
// whose parameter block is given. None for a category outside 0..3, a
// negative index or one past the end marker; the end marker itself comes
// back as a group with an empty title and no options. The category name is
// stored when `categoryName` is given (also when the index is out of range).
const SettingGroup* GetSettingGroup(int index, int category, const ParamBlock& pb, std::string* categoryName = nullptr);

// The category a catalogue group belongs to, or -1 for a group that is not
// part of the catalogue.
int CategoryOf(const SettingGroup* group);

// A group as the connected scanner sees it: the model rules may show it
// under another label and read its value elsewhere.
struct EffectiveGroup {
  const SettingGroup* group = nullptr;
  int category = -1;
  const char* english = "";
  const char* chinese = "";
  uint16_t valueOffset = 0;

  std::string_view Title() const { return group ? group->english : ""; }
  const char* Label(bool chineseUi) const { return chineseUi ? chinese : english; }
};

// An option as the connected scanner sees it (another label or code).
struct EffectiveOption {
  const SettingOption* option = nullptr;
  int index = 0;  // position within the group, also its row on the page
  const char* english = "";
  const char* chinese = "";
  OptionCode code;

  std::string_view CatalogueLabel() const { return option ? option->english : ""; }
  const char* Label(bool chineseUi) const { return chineseUi ? chinese : english; }
};

// The catalogue's own view, before any model rule.
EffectiveGroup PlainGroup(const SettingGroup* group);
EffectiveOption PlainOption(const SettingGroup* group, int index);

// How a click on a row behaves.
enum class OptionKind {
  WholeListChoice,  // every group outside "Symbologies": one option of the list
  SymbologyChoice,  // the check-digit modes of "Codabar", "Interleaved 2 of 5", "MSI"
  Code11Choice,     // "Code 11" rows 0..2: sent again even when in force
  OnOff,            // every other symbology row
};
OptionKind KindOfOption(const EffectiveGroup& group, int index);
// Rows that form one choice together with `index` (for the two choice kinds
// inside a symbology group): [first, last].
std::pair<int, int> ChoiceRows(const EffectiveGroup& group, int index);

// Value rules, applied to the ParamBlock copy at the effective location.
bool IsOptionInForce(const EffectiveGroup& group, const EffectiveOption& option, const ParamBlock& pb);
// `on` is the new state of an on/off option; a choice is always "on".
void RecordChoice(const EffectiveGroup& group, const EffectiveOption& option, bool on, ParamBlock& pb);
// P1 P2 P3' of the write frame: an on/off option sends 0E or 0D as P3,
// a choice sends its P3 unchanged (0E included).
ShortCommand OptionCommand(const EffectiveGroup& group, const EffectiveOption& option, bool on);

}  // namespace varnet
