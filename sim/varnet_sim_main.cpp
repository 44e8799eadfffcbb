// SPDX-License-Identifier: Apache-2.0
// varnet-sim: one simulated scanner on a new pseudo-terminal, to try the
// command-line tool without hardware.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/sim_scanner.h"

namespace {

void Usage(FILE* to) {
  std::fprintf(to, "usage: varnet-sim [--profile NAME] [--list]\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string profile = "usb";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--list") {
      for (const auto& name : varnet::sim::ProfileNames()) std::printf("%s\n", name.c_str());
      return 0;
    }
    if (arg == "--profile" && i + 1 < argc) {
      profile = argv[++i];
    } else if (arg.rfind("--profile=", 0) == 0) {
      profile = arg.substr(10);
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else {
      Usage(stderr);
      return 2;
    }
  }
  bool known = false;
  for (const auto& name : varnet::sim::ProfileNames()) known = known || name == profile;
  if (!known) {
    std::fprintf(stderr, "varnet-sim: unknown profile '%s' (see --list)\n", profile.c_str());
    return 2;
  }

  // Block the signals before the serving thread starts, so that only
  // sigwait() below sees them.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  varnet::sim::SimScanner scanner(varnet::sim::ProfileNamed(profile));
  if (!scanner.Start()) {
    std::fprintf(stderr, "varnet-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("%s\n", scanner.SlavePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  sigwait(&set, &sig);
  scanner.Stop();
  return 0;
}
