// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "cli/cli_settings.h"
#include "settings/settings_summary.h"

namespace varnet::cli {

// "Output Settings" and "Trigger Settings" as the categories that follow the
// settings in "get" and "show" (in the core, shared with the printable sheet).
using varnet::PageCategoryStates;

}  // namespace varnet::cli
