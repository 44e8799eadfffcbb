#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace varnet::test {

struct CliRun {
  int status;
  std::string out, err;
};

// Runs varnet-cli in-process with the given arguments.
inline CliRun RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "varnet-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int status = cli::Run(int(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

}  // namespace varnet::test
