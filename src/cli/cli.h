// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/device_info.h"
#include "link/discovery.h"
#include "link/prompts.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"

namespace varnet::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

struct Options {
  std::vector<std::string> ports;
  bool all = false;
  bool save = false;
  bool json = false;
  bool dryRun = false;
  bool noVerify = false;
  uint32_t baud = 0;
  std::string command;
  std::vector<std::string> args;
};

// Messages of the core go to standard error in English.
class CliPrompts : public Prompts {
 public:
  explicit CliPrompts(std::ostream& err) : err_(err) {}
  void Show(const Message& m) override;
  bool AskYesNo(MessageId id) override;
  std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return file; }
  std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return file; }
  std::vector<Message> shown;
  std::optional<std::string> file;  // the path given on the command line
  std::string prefix;  // the port, when a command runs on several
  bool echo = true;    // false: only recorded, the command reports the texts itself

 private:
  std::ostream& err_;
};

// One connected scanner.
struct Session {
  explicit Session(std::ostream& err) : prompts(err) {}
  std::string port;
  ScannerLink link;
  DeviceInfo info;
  ScannerTexts texts;
  CliPrompts prompts;
  bool changed = false;         // a command changed settings (for --save)
  bool severalTargets = false;  // the command runs on more than one port
};

// A frame a dry run would have sent.
struct PlannedFrame {
  std::string what;
  std::vector<uint8_t> bytes;
};

// What a command reports for one port.
struct PortResult {
  bool ok = true;
  std::string message;   // shown in text mode, and as "message" in JSON
  nlohmann::json json;   // the full JSON object when the command has its own shape
  std::string text;      // the text-mode block, when the command has its own
  bool usageError = false;  // wrong arguments found only once connected (unknown group): exit 2
  int status = -1;          // this port's exit status when the command decides it (diff: 1 when different)
  bool dryRun = false;      // nothing was sent; `frames` is what would have been
  std::vector<PlannedFrame> frames;
};

using PortCommand = std::function<PortResult(Session&, const Options&)>;

// Each capability registers its commands here.
struct CommandSpec {
  std::string usage;
  bool needsScanner = true;
  size_t minArgs = 0;
  size_t maxArgs = 0;
  PortCommand run;                                             // per port
  std::function<int(const Options&, std::ostream&, std::ostream&)> runAlone;  // commands without a port
  bool dryRun = false;        // takes --dry-run
  size_t aloneFromArgs = 0;   // with this many arguments or more, runAlone instead of the targets
};
std::map<std::string, CommandSpec>& Commands();

// The device database the command line searches; tests put their own.
DeviceRegistry& Registry();
void SetRegistry(DeviceRegistry* registry);

// Connects as the desktop program does. False with the reason on failure.
bool Connect(Session& s, uint32_t baud, std::string& why);

// Where a command writes files, checked before any port is opened so that a
// destination that cannot take them fails with nothing sent to a scanner.
// False with the first such file and the reason.
bool DestinationWritable(const Options& o, std::string& file, std::string& why);

// "Caption: text" of a message, as the command line prints it.
std::string MessageLine(const Message& m);
// Bytes as "05 57 0E ...".
std::string Hex(const uint8_t* bytes, size_t n);
inline std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }
PlannedFrame PlannedShortCommand(std::string what, uint8_t p1, uint8_t p2, uint8_t p3);

int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace varnet::cli
