// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/fake_registry.h"

namespace varnet::test {

struct CliRun {
  int status;
  std::string out, err;
};

// Runs varnet-cli in-process with the given arguments. Discovery sees
// `registry` (by default no scanner at all); `errFd` stands for standard
// error's descriptor.
inline CliRun RunCli(std::vector<std::string> args, DeviceRegistry& registry, int errFd = -1) {
  args.insert(args.begin(), "varnet-cli");
  std::vector<char*> argv;
  argv.reserve(args.size());
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int status = cli::Run(int(argv.size()), argv.data(), out, err, registry, errFd);
  return {status, out.str(), err.str()};
}
inline CliRun RunCli(std::vector<std::string> args) {
  FakeRegistry none;
  return RunCli(std::move(args), none);
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One JSON document a line, as --json prints a result per port or row.
inline std::vector<nlohmann::json> JsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

}  // namespace varnet::test
