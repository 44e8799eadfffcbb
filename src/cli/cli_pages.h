// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <vector>

#include "cli/cli_settings.h"
#include "link/device_info.h"

namespace varnet::cli {

// "Output Settings" and "Trigger Settings" as the categories that follow the
// settings in "get" and "show"; every value listed is one in force.
std::vector<CategoryState> PageCategoryStates(const ParamBlock& pb, const std::optional<FormatBlock>& block);

}  // namespace varnet::cli
