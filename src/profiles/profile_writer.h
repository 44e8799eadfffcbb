// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "link/device_info.h"
#include "settings/model_rules.h"

namespace varnet::profiles {

// The scanner's settings as a profile: every group it shows with the
// options in force, under the label it shows (as `get` prints it), then
// the output format and trigger values; each group with a comment listing
// the choices this scanner offers. A state that no profile value can ask
// for (no option in force, or a check-digit mode the page cannot choose)
// is written as a comment, so applying the profile leaves it alone.
std::string WriteProfile(const DeviceInfo& info, const ScannerModel& model);

}  // namespace varnet::profiles
