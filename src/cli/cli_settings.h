// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/device_info.h"
#include "settings/settings_summary.h"

namespace varnet::cli {

// The summary of a scanner's settings lives in the core, shared with the
// printable sheet.
using varnet::AllCategories;
using varnet::CategoriesText;
using varnet::CategoryState;
using varnet::GroupState;
using varnet::OptionState;
using varnet::SettingsCategories;

// {"name", "groups": [{"title", "label", "options": [{"label", "in_force"}]}]} per category.
nlohmann::json CategoriesJson(const std::vector<CategoryState>& categories);

}  // namespace varnet::cli
