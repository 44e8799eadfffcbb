#pragma once
#include <optional>
#include <ostream>

#include <nlohmann/json.hpp>

#include "link/device_info.h"

namespace varnet::cli {

// Appends "Output Settings" and "Trigger Settings" to the categories of
// `get` and `show`: to `categories` (a JSON array) as
// {"name", "groups": [{"title", "label", "options": [{"label", "in_force": true}]}]}
// and to `text` as a heading per category and a "  title: value" line per group.
void AppendPageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block, nlohmann::json& categories,
                          std::ostream& text);

}  // namespace varnet::cli
