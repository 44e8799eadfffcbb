// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "settings/model_rules.h"

namespace varnet {

// The settings of a scanner (or of a configuration file) by category, group
// and option, as the command line's "get" and "show" print them and the
// printable sheet lists them. Texts are UTF-8.
struct OptionState {
  std::string label;    // as shown for this scanner, English
  std::string chinese;  // the catalogue's Chinese label; empty for the pages' values
  bool inForce = false;
};
struct GroupState {
  std::string title;    // the catalogue's English title, or the page's field name
  std::string label;    // as shown for this scanner, English
  std::string chinese;  // the catalogue's Chinese label; empty for the pages' fields
  // A page field kept per symbology names it here; the title is then the
  // symbology, a blank and the field's name ("Code 39 Prefix").
  std::string symbology;
  std::vector<OptionState> options;
};
struct CategoryState {
  std::string name;  // English
  std::vector<GroupState> groups;
};

// The four settings categories with the model rules applied.
std::vector<CategoryState> SettingsCategories(const ParamBlock& pb, const ScannerModel& model);

// "Output Settings" and "Trigger Settings": the output format and trigger
// pages' fields as groups; every value listed is one in force.
std::vector<CategoryState> PageCategoryStates(const ParamBlock& pb, const std::optional<FormatBlock>& block);

// The settings categories, then "Output Settings" and "Trigger Settings".
std::vector<CategoryState> AllCategories(const DeviceInfo& info, const ScannerModel& model);

// A page field's name without its symbology ("Prefix" of "Code 39 Prefix").
std::string FieldName(const GroupState& group);

// The options in force, "a, b" (Chinese labels where the catalogue has
// them, when asked); empty when none is.
std::string InForceText(const GroupState& group, bool chinese = false);

// One line per group: its label and the options in force, under the
// category's name.
std::string CategoriesText(const std::vector<CategoryState>& categories);

}  // namespace varnet
