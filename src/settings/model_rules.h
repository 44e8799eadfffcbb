// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/device_info.h"
#include "settings/catalogue.h"

namespace varnet {

// What the model rules look at: the model code (ParamBlock byte 16, not the
// device type), the model name and the firmware text the settings page read
// ("Unknow" when the scanner did not answer).
struct ScannerModel {
  uint8_t code = 0;
  std::string name;
  std::string firmware = "Unknow";

  static ScannerModel From(const ParamBlock& pb, std::string firmware);
};

// The groups of a category that this scanner shows, in catalogue order, with
// their labels and value locations for it. Empty for a category outside
// 0..3. The rules are applied afresh on every call and never change the
// catalogue.
std::vector<EffectiveGroup> ShownGroups(int category, const ScannerModel& model);

// The options of a shown group for this scanner, in catalogue order; an
// option's index is its row.
std::vector<EffectiveOption> ShownOptions(const EffectiveGroup& group, const ScannerModel& model);

// Every label a group, or its options, may be shown under on some scanner:
// the catalogue's own and those of the substitutions, in catalogue order.
// Names outside these are unknown everywhere, not just hidden on one model.
std::vector<std::string> GroupLabelsOnAnyModel(const SettingGroup& group);
std::vector<std::string> OptionLabelsOnAnyModel(const SettingGroup& group);

// Look-ups by name for the command line. A name matches exactly, else with
// surrounding blanks ignored ("Low" finds "Low "), else ignoring case. A
// group is found by its catalogue title or by the label it is shown under;
// an option by the label it is shown under only, so that a substituted row
// is never reached through the catalogue label it replaced.
struct GroupLookup {
  std::optional<EffectiveGroup> group;
  bool hiddenForModel = false;           // in the catalogue, but not shown for this scanner
  std::vector<std::string> suggestions;  // close matches among the shown groups
};
GroupLookup FindShownGroup(const ScannerModel& model, std::string_view name);

struct OptionLookup {
  std::optional<EffectiveOption> option;
  bool hiddenForModel = false;
  std::vector<std::string> suggestions;
};
OptionLookup FindShownOption(const EffectiveGroup& group, const ScannerModel& model, std::string_view label);

// "; did you mean "a", "b" or "c"?", or nothing without suggestions.
std::string SuggestionText(const std::vector<std::string>& suggestions);

// Candidates within a small edit distance of `name` (blanks around and case
// ignored), closest first, at most `max`.
std::vector<std::string> CloseMatches(std::string_view name, const std::vector<std::string>& candidates,
                                      size_t max = 3);

}  // namespace varnet
