// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/commands.h"
#include "link/device_info.h"
#include "link/discovery.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"
#include "ui_common/link_texts.h"
#include "ui_common/prompts.h"

namespace CLI {
class App;
}

namespace varnet::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

// Ports a command runs on at once unless --jobs says otherwise. A port
// mostly waits for its scanner, so every port given runs at once; the cap
// only keeps the descriptors (the port, its wake-ups) well inside the limit.
constexpr size_t kDefaultJobs = 64;

struct Options {
  std::vector<std::string> ports;
  bool all = false;
  bool save = false;
  bool json = false;
  bool dryRun = false;
  bool noVerify = false;
  bool anyModel = false;  // apply: a profile for another model
  bool trace = false;
  uint32_t baud = 0;
  size_t jobs = 0;       // ports handled at once; 0: every port given, at most kDefaultJobs
  std::string pageSize;  // export-sheet: "a4" or "letter"; empty: from the locale
  // monitor and capture
  std::optional<size_t> count;  // items or captures
  double timeoutSeconds = 0;    // monitor: end after this long without a reading (0: never)
  std::string dir;              // capture: where the files go (empty: the current folder)
  bool overlay = false;         // capture: the preview with its overlay beside each JPEG
  std::optional<int> exposure, gain;
  bool autoTune = false, autoExposure = false;
  std::string output;  // trace-redact: -o FILE (empty: standard output)
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
  std::string prefix;               // the port, when a command runs on several
  bool echo = true;                 // false: only recorded, the command reports the texts itself

 private:
  std::ostream& err_;
};

// One connected scanner.
class LineOut;

struct Session {
  explicit Session(std::ostream& err) : prompts(err) {}
  std::string port;
  ScannerLink link;
  DeviceInfo info;
  ScannerTexts texts;
  CliPrompts prompts;
  std::optional<DeviceInfo> planned;  // after a dry run: what the scanner would hold
  bool changed = false;               // a command changed settings (for --save)
  bool severalTargets = false;        // the command runs on more than one port
  LineOut* lines = nullptr;           // where a streaming command prints as it goes
  bool imageMode = false;             // Image Mode was entered: closing leaves it
};

// A frame a dry run would have sent.
struct PlannedFrame {
  std::string what;
  std::vector<uint8_t> bytes;
};

// What a command reports for one port.
struct PortResult {
  bool ok = true;
  std::string message;      // shown in text mode, and as "message" in JSON
  nlohmann::json json;      // the full JSON object when the command has its own shape
  std::string text;         // the text-mode block, when the command has its own
  bool usageError = false;  // wrong arguments found only once connected (unknown group): exit 2
  int status = -1;          // this port's exit status when the command decides it (diff: 1 when different)
  bool dryRun = false;      // nothing was sent; `frames` is what would have been
  std::vector<PlannedFrame> frames;
  bool streamed = false;  // the command printed its output as it went: only a failure follows
};

using PortCommand = std::function<PortResult(Session&, const Options&)>;

// What a command that names its own inputs works with.
struct Context {
  std::ostream& out;
  std::ostream& err;
  DeviceRegistry& registry;
};
using AloneCommand = std::function<int(const Options&, Context&)>;

// How the shell completes an argument (the bash completion is generated from
// the command table).
enum class Completion { None, File, Group, SetPairs, FileOrPort };

// One positional argument of a command.
struct Argument {
  std::string name;  // as the usage shows it: "FILE.vt", "GROUP"
  std::string help;
  size_t min = 1;
  size_t max = 1;  // SIZE_MAX: any number
  Completion completion = Completion::None;
  std::string extension;  // of the files it names: ".vt"
};

// A file a command writes, or a folder it writes files of its own naming
// into (made, with its parents, when missing).
struct Destination {
  std::string path;
  bool folder = false;
};

// A command, declared in one place: its texts, its arguments, the options
// shared by all commands that apply to it, options of its own, and what it runs.
struct CommandSpec {
  std::string name;
  std::string summary;  // one line in the overview
  std::string details;  // more, in its own --help
  std::vector<Argument> args;
  std::vector<std::string> shared;    // shared options shown in its --help ("--port", "--save", ...)
  std::vector<std::string> examples;  // command lines without "varnet-cli"
  bool needsScanner = true;
  PortCommand run;           // per port
  AloneCommand runAlone;     // commands without a port
  size_t aloneFromArgs = 0;  // with this many arguments or more, runAlone instead of the targets
  // Options only this command has; bind them to fields of Options.
  std::function<void(CLI::App&, Options&)> addOptions;
  // The files and folders it writes for these options (none when unset),
  // checked before any port is opened.
  std::function<std::vector<Destination>(const Options&)> writes;
  // Runs once on the main thread before any port is handled; false stops
  // the command with the reason.
  std::function<bool(const Options&, std::string& why)> prepare;
  // Works in Image Mode: --all finds USB virtual ports only, and connecting
  // is always at 115200 bit/s, as the desktop program does in that mode.
  bool imageMode = false;
  // Prints through Session::lines as it goes, until done or StopRequested();
  // on several ports it runs on all of them at once.
  bool streaming = false;

  // Whether the shared option applies; --jobs comes with --port, except for
  // the commands that run until stopped (those handle every port at once).
  bool Takes(std::string_view option) const;
  // "set GROUP OPTION [on|off]..."
  std::string Synopsis() const;
};

// Every command, in the order the help lists them: the one place where
// commands are registered.
std::vector<CommandSpec> AllCommands();
// Each command's declaration, beside its code.
CommandSpec ListCommand();  // cli_list_save.cpp
CommandSpec InfoCommand();  // cli_info.cpp
CommandSpec GetCommand();   // cli_settings.cpp
CommandSpec SetCommand();
CommandSpec SaveCommand();             // cli_list_save.cpp
CommandSpec RestoreDefaultsCommand();  // cli_transfer.cpp
CommandSpec ExportCommand();
CommandSpec ExportQrCommand();
CommandSpec ExportSheetCommand();
CommandSpec ImportCommand();
CommandSpec ShowCommand();  // cli_files.cpp
CommandSpec DiffCommand();
CommandSpec ProfileCommand();  // cli_profiles.cpp
CommandSpec ApplyCommand();
CommandSpec SchemaCommand();
CommandSpec MonitorCommand();      // cli_monitor.cpp
CommandSpec CaptureCommand();      // cli_capture.cpp
CommandSpec TraceRedactCommand();  // cli_trace_redact.cpp

// Options every command may take, before or after its name.
struct SharedOption {
  const char* name;
  const char* value;  // the value's name, empty for a flag
  const char* help;
  bool everyCommand = false;  // taken after any command's name, without being listed in `shared`
};
const std::vector<SharedOption>& SharedOptions();
// The long options a command takes after its name: the shared ones it
// lists, its own, and --help.
std::vector<std::string> OptionNamesOf(const CommandSpec& command);

// Connects as the desktop program does. False with the reason on failure.
bool Connect(Session& s, uint32_t baud, std::string& why);

// Where the command writes (CommandSpec::writes), checked before any port is
// opened so that a destination that cannot take the files fails with nothing
// sent to a scanner. False with the first such file or folder and the reason.
bool DestinationWritable(const CommandSpec& command, const Options& o, std::string& file, std::string& why);

// Ends a connection as the desktop program's close does: the restart command
// goes last when the output interface changed, Image Mode is left otherwise.
// True when the restart was sent.
bool CloseSession(Session& s);

// A port's name as part of a file name: ttyACM0, /dev/pts/3 -> pts-3.
std::string PortTag(const std::string& port);
// The text of a reason, in English (empty for none).
std::string ReasonText(Reason reason, int error = 0);

// "; did you mean "a", "b" or "c"?", or nothing without suggestions.
std::string CloseMatchText(const std::vector<std::string>& suggestions);

// "Caption: text" of a message, as the command line prints it.
std::string MessageLine(const Message& m);
// Bytes as "05 57 0E ...".
std::string Hex(const uint8_t* bytes, size_t n);
inline std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }
PlannedFrame PlannedShortCommand(std::string what, ShortCommand c);

// Parses the command line into `o` and picks the command. -1 to go on, else
// the exit status (help, version, wrong usage: the texts are written).
int ParseCommandLine(int argc, char** argv, const std::vector<CommandSpec>& commands, Options& o,
                     const CommandSpec*& command, std::ostream& out, std::ostream& err);

// The whole command line. `registry` is where discovery looks; `errFd` is the
// descriptor behind `err`, to tell whether a person watches it (-1: nobody).
int Run(int argc, char** argv, std::ostream& out, std::ostream& err, DeviceRegistry& registry, int errFd = -1);

}  // namespace varnet::cli
