// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnet::profiles {

// A profile as written, before its names are looked up for a scanner:
//
//   varnet-profile: 1
//   model: {name: HS-2D, code: 1}          # optional
//   settings:
//     CATEGORY:
//       GROUP: OPTION                      # a single choice, a list field or a text
//       GROUP: [OPTION, ...]               # exactly these in force
//       GROUP: {add: [...], remove: [...]} # only these changed
//
// Names are the English texts that `get` prints. Lines count from 1.
constexpr int kFormatVersion = 1;

// Larger files are refused before parsing: a profile is a few kilobytes.
constexpr size_t kMaxProfileBytes = 1 << 20;

struct Scalar {
  std::string text;  // UTF-8, as written (escapes resolved)
  int line = 0;
  bool plain = false;  // unquoted: a YAML 1.1 reader may take it for a boolean or a number
};

enum class ValueForm { Text, List, Edit };

struct GroupEntry {
  Scalar name;
  ValueForm form = ValueForm::Text;
  Scalar text;                 // Text
  std::vector<Scalar> list;    // List
  std::vector<Scalar> add;     // Edit
  std::vector<Scalar> remove;  // Edit
};

struct CategoryEntry {
  Scalar name;
  std::vector<GroupEntry> groups;
};

struct Profile {
  std::optional<std::string> modelName;
  std::optional<int> modelCode;
  int modelLine = 0;
  std::vector<CategoryEntry> categories;
};

// Why a file is not a profile. `usage` marks a file that is YAML of the
// right version but names or shapes something wrongly (a usage error);
// otherwise the file could not be read as a profile at all.
struct ProfileError {
  int line = 0;  // 0: the file as a whole
  std::string message;
  bool usage = false;
};

struct ReadResult {
  std::optional<Profile> profile;
  std::vector<ProfileError> errors;  // every problem found, in file order
};

// The categories a profile may name, in the order `get` lists them.
const std::vector<std::string>& CategoryNames();

// Reads a profile's text. Never throws; a malformed file gives an error
// with its line.
ReadResult ReadProfile(std::string_view text);

// "line 12: ..." or the message alone.
std::string ErrorText(const ProfileError& e);

}  // namespace varnet::profiles
