// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "link/device_info.h"
#include "profiles/profile.h"

namespace varnet::cli {

// What the commands that read and write files share.

// With several targets each scanner needs a file of its own: the port's name
// goes in front of the extension (golden.vt -> golden_ttyACM0.vt).
std::string FileForPort(const std::string& path, const std::string& port);  // cli_transfer.cpp
// The import command on one port: the file is o.args[0].
PortResult ImportConfigFile(Session& s, const Options& o);  // cli_transfer.cpp

// A configuration file as the import would take it. False with the reason.
bool LoadConfigFile(const std::string& path, DeviceInfo& info, std::string& why);  // cli_files.cpp

// Groups whose labels in force differ, by category and catalogue title.
struct SettingsDifference {
  std::string category, group;
  std::vector<std::string> a, b;
};
std::vector<SettingsDifference> SettingsDifferences(const DeviceInfo& a, const std::string& firmwareA,
                                                    const DeviceInfo& b, const std::string& firmwareB);

// A profile (.yaml, .yml, anything not a configuration file) or a
// configuration file (.vt, or a file that starts with its tag).
bool IsConfigFilePath(const std::string& path);  // cli_profiles.cpp

struct LoadedProfile {
  std::optional<profiles::Profile> profile;
  std::string message;  // why not, every problem on its own line
  bool usage = false;   // a usage error (exit 2) rather than a file that is no profile (exit 1)
};
LoadedProfile LoadProfileFile(const std::string& path);

}  // namespace varnet::cli
