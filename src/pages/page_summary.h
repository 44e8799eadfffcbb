// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "link/device_info.h"

namespace varnet {

// The output format and trigger pages' values as the command-line tool
// lists them beside the catalogue's categories. Texts are UTF-8; option
// names are given without their leading blanks.
struct PageGroup {
  std::string title;                // English field name: "Case Conversion", "Code 39 Prefix"
  std::string label;                // the same; kept apart to match the catalogue's groups
  std::vector<std::string> values;  // what is in force; empty when a stored code matches no row
  std::string symbology;            // for the fields kept per symbology: its name, which begins the title
};

struct PageCategory {
  std::string name;  // "Output Settings" or "Trigger Settings"
  std::vector<PageGroup> groups;
};

// Country Code Page, Case Conversion, Code ID, Ending Character; then, per
// symbology of the model's list, "<name> Truncate Leading Data",
// "<name> Truncate Ending Data", "<name> Prefix" and "<name> Suffix" where
// the count is not 0 or the text not empty (only with a FormatBlock, and
// only for fields the block holds).
PageCategory OutputSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block);

// Pulse Trigger, Start Scan CMD, Stop Scan CMD, Transmit Bad Read Message
// ("On"/"Off"), Bad Read Message. Without a FormatBlock the scanner's
// firmware has no trigger page: no groups.
PageCategory TriggerSettingsCategory(const ParamBlock& pb, const std::optional<FormatBlock>& block);

// Both, in that order.
std::vector<PageCategory> PageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block);

}  // namespace varnet
