// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <nlohmann/json.hpp>

namespace varnet::profiles {

// A JSON Schema (draft 2020-12) of profiles, generated from the catalogue,
// the model rules and the pages' fields: every category, every name a group
// is shown under on some scanner, and every label an option may have, so
// that an editor completes and checks a profile while it is typed. Values
// that a YAML 1.1 reader turns into booleans or numbers are allowed in that
// form too, as the profile reader accepts them.
nlohmann::json ProfileSchema();

}  // namespace varnet::profiles
