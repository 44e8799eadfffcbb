// SPDX-License-Identifier: Apache-2.0
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) { return varnet::cli::Run(argc, argv, std::cout, std::cerr); }
