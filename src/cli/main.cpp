// SPDX-License-Identifier: Apache-2.0
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "link/trace.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  // Names of files and ports as UTF-8 whatever the system's code page.
  std::vector<std::string> args = varnet::platform::Utf8Arguments(argc, argv);
  std::vector<char*> utf8;
  utf8.reserve(args.size() + 1);
  for (std::string& a : args) utf8.push_back(a.data());
  utf8.push_back(nullptr);
  varnet::platform::UseUtf8Console();
  // VARNET_TRACE as for the desktop program; --trace takes standard error.
  std::string why;
  if (!varnet::trace::FromEnvironment("varnet-cli", why)) std::cerr << "varnet-cli: VARNET_TRACE: " << why << "\n";
  auto registry = varnet::MakeSystemRegistry();
  const int status = varnet::cli::Run(int(args.size()), utf8.data(), std::cout, std::cerr, *registry, 2);
  varnet::trace::Stop();
  return status;
}
