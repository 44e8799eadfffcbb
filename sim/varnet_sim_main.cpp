// SPDX-License-Identifier: Apache-2.0
// varnet-sim: one simulated scanner on a new pseudo-terminal, to try the
// command-line tool without hardware.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_scanner.h"

namespace {

void Usage(FILE* to) {
  std::fprintf(to, "usage: varnet-sim [--profile NAME] [--scan DATA [--every MS]] [--list]\n");
}

// "VARNET-42\r\n" with the escapes \r, \n, \t, \\ and \xHH made bytes.
bool Unescape(const std::string& text, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(uint8_t(text[i]));
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'r': out.push_back(0x0D); break;
      case 'n': out.push_back(0x0A); break;
      case 't': out.push_back(0x09); break;
      case '\\': out.push_back('\\'); break;
      case 'x': {
        const std::string hex = text.substr(i + 1, 2);
        if (hex.size() != 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
        out.push_back(uint8_t(std::stoi(hex, nullptr, 16)));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string profile = "usb";
  std::vector<uint8_t> scan;
  int everyMs = 2000;
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
    } else if (arg == "--scan" && i + 1 < argc) {
      if (!Unescape(argv[++i], scan) || scan.empty()) {
        std::fprintf(stderr, "varnet-sim: --scan needs data (escapes: \\r \\n \\t \\\\ \\xHH)\n");
        return 2;
      }
    } else if (arg == "--every" && i + 1 < argc) {
      everyMs = std::atoi(argv[++i]);
      if (everyMs <= 0) {
        std::fprintf(stderr, "varnet-sim: --every needs milliseconds above 0\n");
        return 2;
      }
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
  // A reading every so often, as a scanner aimed at barcodes in Setting Mode.
  if (!scan.empty()) scanner.SetScanData(scan, everyMs);
  std::printf("%s\n", scanner.SlavePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  sigwait(&set, &sig);
  scanner.Stop();
  return 0;
}
