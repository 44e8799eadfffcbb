// SPDX-License-Identifier: Apache-2.0
// varnet-sim: one simulated scanner on a new pseudo-terminal, to try the
// command-line tool without hardware.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_scanner.h"

namespace varnet::sim {
int RunReplay(const std::string& path, double speed, const sigset_t& signals);  // varnet_sim_replay.cpp
}

namespace {

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: varnet-sim [--profile NAME] [--scan DATA [--every MS]] [--serial TEXT]\n"
               "                  [--refuse \"P1 P2 P3\"]... [--reply-byte-ms MS] [--log FILE]\n"
               "       varnet-sim --replay TRACE [--replay-speed X]\n"
               "       varnet-sim --list\n");
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

// "A1 05 0D" or "A1050D": the three bytes of a short command.
std::optional<std::vector<uint8_t>> ShortCommand(const std::string& text) {
  std::string hex;
  for (char c : text)
    if (c != ' ') hex += c;
  if (hex.size() != 6) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < 6; i += 2) {
    char* end = nullptr;
    const std::string pair = hex.substr(i, 2);
    const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
    if (*end != '\0') return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(v));
  }
  return bytes;
}

// Appends the frames received since the last call, one line of hex each, so
// that a script can see what a tool sent while the scanner keeps running.
void AppendLog(FILE* log, const varnet::sim::SimScanner& scanner, size_t& logged) {
  const auto frames = scanner.Received();
  for (; logged < frames.size(); ++logged) {
    const auto& f = frames[logged];
    for (size_t i = 0; i < f.size(); ++i) std::fprintf(log, i ? " %02X" : "%02X", f[i]);
    std::fputc('\n', log);
  }
  std::fflush(log);
}

}  // namespace

int main(int argc, char** argv) {
  std::string profile = "usb";
  std::vector<uint8_t> scan;
  int everyMs = 2000;
  std::optional<std::string> serial, logPath, replayPath;
  double replaySpeed = 1.0;
  int replyByteMs = 0;
  std::vector<std::vector<uint8_t>> refused;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--list") {
      for (const auto& name : varnet::sim::ProfileNames()) std::printf("%s\n", name.c_str());
      return 0;
    }
    if (arg == "--profile" && hasValue) {
      profile = argv[++i];
    } else if (arg.rfind("--profile=", 0) == 0) {
      profile = arg.substr(10);
    } else if (arg == "--scan" && hasValue) {
      if (!Unescape(argv[++i], scan) || scan.empty()) {
        std::fprintf(stderr, "varnet-sim: --scan needs data (escapes: \\r \\n \\t \\\\ \\xHH)\n");
        return 2;
      }
    } else if (arg == "--every" && hasValue) {
      everyMs = std::atoi(argv[++i]);
      if (everyMs <= 0) {
        std::fprintf(stderr, "varnet-sim: --every needs milliseconds above 0\n");
        return 2;
      }
    } else if (arg == "--replay" && hasValue) {
      replayPath = argv[++i];
    } else if (arg == "--replay-speed" && hasValue) {
      replaySpeed = std::atof(argv[++i]);
      if (!(replaySpeed > 0)) {
        std::fprintf(stderr, "varnet-sim: --replay-speed needs a factor above 0\n");
        return 2;
      }
    } else if (arg == "--reply-byte-ms" && hasValue) {
      replyByteMs = std::atoi(argv[++i]);
    } else if (arg == "--serial" && hasValue) {
      serial = argv[++i];
    } else if (arg == "--log" && hasValue) {
      logPath = argv[++i];
    } else if (arg == "--refuse" && hasValue) {
      const auto command = ShortCommand(argv[++i]);
      if (!command) {
        std::fprintf(stderr, "varnet-sim: --refuse takes the three bytes of a command in hex, e.g. \"A1 05 0D\"\n");
        return 2;
      }
      refused.push_back(*command);
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
  FILE* log = nullptr;
  if (logPath && !(log = std::fopen(logPath->c_str(), "w"))) {
    std::fprintf(stderr, "varnet-sim: %s: %s\n", logPath->c_str(), std::strerror(errno));
    return 1;
  }

  // Block the signals before the serving thread starts, so that only
  // sigwait() below sees them.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  if (replayPath) return varnet::sim::RunReplay(*replayPath, replaySpeed, set);

  varnet::sim::Profile p = varnet::sim::ProfileNamed(profile);
  if (serial) p.serial = *serial;
  varnet::sim::SimScanner scanner(p);
  for (const auto& c : refused) scanner.faults().RefuseCommand(c[0], c[1], c[2]);
  scanner.faults().slowBytesMs = replyByteMs;
  if (!scanner.Start()) {
    std::fprintf(stderr, "varnet-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  // A reading every so often, as a scanner aimed at barcodes in Setting Mode.
  if (!scan.empty()) scanner.SetScanData(scan, everyMs);
  std::printf("%s\n", scanner.SlavePath().c_str());
  std::fflush(stdout);

  size_t logged = 0;
  const timespec tick{0, 50 * 1000 * 1000};
  for (;;) {
    const int sig = log ? sigtimedwait(&set, nullptr, &tick) : sigwaitinfo(&set, nullptr);
    if (sig == SIGINT || sig == SIGTERM) break;
    if (!log) continue;
    AppendLog(log, scanner, logged);
    // A frame is recorded before it is answered, so after "sync" the log
    // holds every frame a tool has had an answer to.
    if (sig == SIGUSR1) {
      std::fputs("sync\n", log);
      std::fflush(log);
    }
  }
  if (log) {
    AppendLog(log, scanner, logged);
    std::fclose(log);
  }
  scanner.Stop();
  return 0;
}
