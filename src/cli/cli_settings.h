// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/device_info.h"
#include "settings/model_rules.h"

namespace varnet::cli {

// The settings of a scanner (or of a configuration file) by category, group
// and option, as "get" and "show" print them.
struct OptionState {
  std::string label;  // as shown for this scanner, English
  bool inForce = false;
};
struct GroupState {
  std::string title;  // the catalogue's English title
  std::string label;  // as shown for this scanner, English
  std::vector<OptionState> options;
};
struct CategoryState {
  std::string name;
  std::vector<GroupState> groups;
};

// The four settings categories with the model rules applied.
std::vector<CategoryState> SettingsCategories(const ParamBlock& pb, const ScannerModel& model);

// The settings categories, then "Output Settings" and "Trigger Settings".
std::vector<CategoryState> AllCategories(const DeviceInfo& info, const ScannerModel& model);

// {"name", "groups": [{"title", "label", "options": [{"label", "in_force"}]}]} per category.
nlohmann::json CategoriesJson(const std::vector<CategoryState>& categories);
// One line per group: its label and the options in force.
std::string CategoriesText(const std::vector<CategoryState>& categories);

}  // namespace varnet::cli
