// SPDX-License-Identifier: Apache-2.0
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"
#include "link/trace.h"

int main(int argc, char** argv) {
  // VARNET_TRACE as for the desktop program; --trace takes standard error.
  std::string why;
  if (!varnet::trace::FromEnvironment("varnet-cli", why)) std::cerr << "varnet-cli: VARNET_TRACE: " << why << "\n";
  auto registry = varnet::MakeSystemRegistry();
  const int status = varnet::cli::Run(argc, argv, std::cout, std::cerr, *registry, STDERR_FILENO);
  varnet::trace::Stop();
  return status;
}
