// SPDX-License-Identifier: Apache-2.0
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  auto registry = varnet::MakeSystemRegistry();
  return varnet::cli::Run(argc, argv, std::cout, std::cerr, *registry, STDERR_FILENO);
}
