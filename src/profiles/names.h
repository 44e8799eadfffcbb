// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "settings/model_rules.h"
#include "ui_common/text.h"

namespace varnet::profiles {

// "; did you mean "A", "B" or "C"?" for the close matches, or nothing.
inline std::string DidYouMean(std::string_view name, const std::vector<std::string>& candidates) {
  return SuggestionText(CloseMatches(name, candidates));
}

}  // namespace varnet::profiles
