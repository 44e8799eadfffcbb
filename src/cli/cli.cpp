// SPDX-License-Identifier: Apache-2.0
#include "cli/cli.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <syncstream>
#include <system_error>
#include <thread>

#include "cli/cli_stream.h"
#include "cli/progress.h"
#include "imaging/image_mode.h"
#include "link/doorbell.h"
#include "link/protocol.h"
#include "link/trace.h"
#include "platform/files.h"
#include "platform/serial_port.h"

namespace varnet::cli {

namespace {

const char kRestartLine[] = "restart command sent: the scanner takes up its new output interface";

const uint32_t kProbeRates[] = {9600, 115200, 57600, 38400, 19200, 230400};
const uint32_t kImageModeBaud = 115200;

// A dry run's frames: short ones on their line, blocks wrapped.
std::string FramesText(const std::vector<PlannedFrame>& frames) {
  std::string t = frames.empty() ? "dry run: nothing would be sent\n" : "dry run, nothing sent; would send:\n";
  for (const PlannedFrame& f : frames) {
    t += "  " + f.what + " (" + std::to_string(f.bytes.size()) + " bytes):";
    if (f.bytes.size() <= 16) {
      t += " " + Hex(f.bytes) + "\n";
      continue;
    }
    t += "\n";
    for (size_t at = 0; at < f.bytes.size(); at += 32)
      t += "    " + Hex(f.bytes.data() + at, std::min<size_t>(32, f.bytes.size() - at)) + "\n";
  }
  return t;
}

struct Target {
  std::string port;
  uint32_t baud = 0;  // the rate the search found an RS-232 scanner at
};

}  // namespace

// The line under a message, in English.
std::string ReasonText(Reason reason, int error) {
  auto withErrno = [error](const char* text) {
    return std::string(text) + (error ? ": " + platform::ErrorText(error) : std::string()) + ".";
  };
  switch (reason) {
    case Reason::None: return "";
    case Reason::PortGone: return "The port does not exist (the scanner may have been unplugged).";
    case Reason::PortPermission:
      return "Permission denied: add your user to the dialout group, or install the udev rule for the scanner.";
    case Reason::PortBusy:
      return std::string("The port is in use by another program (for example ") + platform::UsualPortHolders() + ").";
    case Reason::NotASerialPort: return "This is not a serial port.";
    case Reason::PortSettings: return "The port refused the line settings.";
    case Reason::PortError: return withErrno("The port cannot be opened");
    case Reason::FolderMissing: return "The folder does not exist.";
    case Reason::FilePermission: return "Permission denied: the file cannot be written there.";
    case Reason::ReadOnlyFileSystem: return "The file system is read-only.";
    case Reason::DiskFull: return "The disk is full.";
    case Reason::FileError: return withErrno("The file cannot be written");
    case Reason::QrTooLarge: return "The settings are too large for a QR code.";
    case Reason::QrError: return withErrno("The QR code cannot be made");
    case Reason::ScannerSilent: return "The scanner did not send its settings.";
    case Reason::NoFormatBlock: return "The scanner did not send its format block.";
    case Reason::ScannerStopped: return "The scanner stopped sending before the block was complete.";
    case Reason::BlockRefused: return "The scanner refused to send its settings.";
    case Reason::BlockTooLong: return "The scanner sent a block that is too long.";
    case Reason::UnexpectedData: return "The scanner sent something other than its settings.";
    case Reason::ScannerGone: return "The connection to the scanner was lost.";
  }
  return "";
}

std::vector<CommandSpec> AllCommands() {
  return {ListCommand(),    InfoCommand(),     GetCommand(),
          SetCommand(),     SaveCommand(),     RestoreDefaultsCommand(),
          ExportCommand(),  ExportQrCommand(), ExportSheetCommand(),
          ImportCommand(),  ShowCommand(),     DiffCommand(),
          ProfileCommand(), ApplyCommand(),    SchemaCommand(),
          MonitorCommand(), CaptureCommand(),  TraceRedactCommand()};
}

std::string PortTag(const std::string& port) {
  std::string tag = platform::PortDisplayName(port);
  // A file name on every system: Windows would take "sim:usb-1" for a stream.
  for (char& c : tag)
    if (std::strchr("/\\:*?\"<>|", c)) c = '-';
  return tag;
}

std::string MessageLine(const Message& m) {
  const char* caption = CaptionText(m.caption);
  std::string line = (*caption ? std::string(caption) + ": " : std::string()) + MessageText(m.id);
  if (m.reason != Reason::None) line += "\n" + ReasonText(m.reason, m.error);
  return line;
}

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(n * 3);
  for (size_t i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

PlannedFrame PlannedShortCommand(std::string what, ShortCommand c) {
  const auto f = ShortCommandFrame(c);
  return {std::move(what), std::vector<uint8_t>(f.begin(), f.end())};
}

void CliPrompts::Show(const Message& m) {
  shown.push_back(m);
  if (echo) err_ << (prefix.empty() ? "" : "varnet-cli: " + prefix + ": ") << MessageLine(m) << "\n" << std::flush;
}

bool CliPrompts::AskYesNo(MessageId) { return false; }

bool CloseSession(Session& s) {
  const bool restart = s.link.IsOpen() && RestartOnClose(s.info);
  if (restart) SendRestart(s.link);
  // A port that went away hears nothing: no waiting for its answer.
  else if (s.imageMode && s.link.IsOpen() && !s.link.hungUp) (void)StopImageMode(s.link);
  s.info.settingsDirty = 0;
  CloseLink(s.link);
  return restart;
}

bool Connect(Session& s, uint32_t baud, std::string& why) {
  std::vector<uint32_t> rates;
  if (baud) rates = {baud};
  else rates.assign(std::begin(kProbeRates), std::end(kProbeRates));
  bool opened = false;
  for (uint32_t rate : rates) {
    if (!OpenLink(s.link, s.port, rate)) {
      why = MessageLine(OpenFailureMessage(s.link));
      return false;
    }
    opened = true;
    s.link.LinkPortName = s.port;
    // An RS-232 scanner answers only at its own rate: try them in turn.
    if (rates.size() == 1) break;
    int type = QueryDeviceType(s.link);
    if (type > 0) break;
    CloseLink(s.link);
  }
  if (!opened || !s.link.IsOpen()) {
    why = MessageText(MessageId::ConnectFailed);
    return false;
  }
  if (!ReadDeviceInformationWithNotice(s.link, s.info, s.prompts)) {
    CloseLink(s.link);
    why = MessageText(MessageId::ConnectFailed);
    return false;
  }
  s.texts = ReadScannerTexts(s.link, s.info);
  return true;
}

namespace {

// One port's run: connect, the command, the save, the end of the connection.
// Touches nothing but its own session, so that ports can run at once.
struct PortRun {
  PortResult result;
  bool restart = false;  // the restart command was sent (or, in a dry run, would be)
};

// `stop`, when given, is watched while connecting and during the command:
// once it is raised their waits end at once. The save and the closing
// exchange run without it.
PortRun RunOnPort(const CommandSpec& command, const Options& o, const Target& target, bool several, std::ostream& err,
                  Progress& progress, size_t index, LineOut& lines, const LinkCancel* stop = nullptr) {
  Session s(err);
  s.port = target.port;
  s.severalTargets = several;
  s.lines = &lines;
  s.link.cancel = stop;
  if (several) s.prompts.prefix = target.port;
  PortRun run;
  PortResult& r = run.result;
  std::string why;
  progress.Step(index, "connecting");
  const uint32_t baud = command.imageMode ? kImageModeBaud : o.baud ? o.baud : target.baud;
  if (!Connect(s, baud, why)) {
    r.ok = false;
    r.message = stop && stop->Raised() ? "interrupted while connecting" : why;
    r.streamed = command.streaming;
    progress.Done(index, false);
    return run;
  }
  progress.Step(index, command.name);
  r = command.run(s, o);
  // This thread owns the link: it stops watching the raised cancel itself,
  // so that the way out (Image Mode left, the restart) still reaches the
  // scanner with its waits. A second signal still ends the program.
  s.link.cancel = nullptr;
  if (r.dryRun && r.ok && o.save && !r.frames.empty())
    r.frames.push_back(PlannedShortCommand("save the settings", kSave));
  if (r.dryRun && s.planned && RestartOnClose(*s.planned)) {
    r.frames.push_back(PlannedShortCommand("restart the scanner (output interface changed)", kRestart));
    run.restart = true;
  }
  if (r.ok && o.save && s.changed) {
    progress.Step(index, "saving");
    SendShortCommand(s.link, kSave);
    bool saved = WaitAck(s.link, 2000);
    if (!saved) r.ok = false;
    const char* text = MessageText(saved ? MessageId::SettingsSaved : MessageId::SaveFailed);
    r.message += (r.message.empty() ? "" : "\n") + std::string(text);
    if (r.json.is_object()) {
      r.json["ok"] = r.ok;
      r.json["message"] = r.message;
    }
  }
  if (CloseSession(s)) {
    run.restart = true;
    r.message += (r.message.empty() ? "" : "\n") + std::string(kRestartLine);
    if (r.json.is_object() && r.json.contains("message")) r.json["message"] = r.message;
  }
  progress.Done(index, r.ok);
  return run;
}

// Progress of the workers, handed to the runner's thread, which alone
// writes to standard error.
struct ProgressEvent {
  size_t port;
  std::string step;  // empty: Done
  bool ok = true;
};

// What the workers share with the runner's thread, under `mu`.
struct Board {
  std::mutex mu;
  std::condition_variable portFreed;
  std::vector<std::string> devices;  // each target's device, symbolic links resolved
  std::vector<bool> started;
  std::set<std::string> busy;                // devices a worker has open
  std::vector<std::optional<PortRun>> runs;  // in port order, filled as ports finish
  std::vector<std::string> messages;         // each port's messages for standard error
  std::vector<ProgressEvent> progress;
  Doorbell bell;
};

class QueuedProgress : public Progress {
 public:
  explicit QueuedProgress(Board& board) : board_(board) {}
  void Step(size_t port, std::string_view step) override { Post({port, std::string(step)}); }
  void Done(size_t port, bool ok) override { Post({port, "", ok}); }

 private:
  void Post(ProgressEvent e) {
    {
      std::lock_guard lock(board_.mu);
      board_.progress.push_back(std::move(e));
    }
    board_.bell.Ring();
  }
  Board& board_;
};

void Forward(const std::vector<ProgressEvent>& events, Progress& progress) {
  for (const ProgressEvent& e : events) {
    if (e.step.empty()) progress.Done(e.port, e.ok);
    else progress.Step(e.port, e.step);
  }
}

// A worker: the first port nobody has taken, until none is left. A device
// named twice (or under two names) is not opened twice at once: the second
// waits, as it would one after the other. Each port has its own session
// (link, device information, prompts); its messages are kept for the runner
// to print with the port's result.
void RunPorts(Board& board, const CommandSpec& command, const Options& o, const std::vector<Target>& targets,
              LineOut& lines) {
  QueuedProgress progress(board);
  std::unique_lock lock(board.mu);
  for (;;) {
    size_t i = 0, waiting = 0;
    for (; i < targets.size(); ++i) {
      if (board.started[i]) continue;
      if (!board.busy.count(board.devices[i])) break;
      ++waiting;
    }
    if (i == targets.size()) {
      if (waiting == 0) return;
      board.portFreed.wait(lock);
      continue;
    }
    board.started[i] = true;
    board.busy.insert(board.devices[i]);
    lock.unlock();
    std::ostringstream messages;
    PortRun run = RunOnPort(command, o, targets[i], targets.size() > 1, messages, progress, i, lines);
    lock.lock();
    board.busy.erase(board.devices[i]);
    board.runs[i] = std::move(run);
    board.messages[i] = messages.str();
    board.portFreed.notify_all();
    board.bell.Ring();
  }
}

// One port's result block, as text or one JSON line; the exit status it
// stands for.
int PrintPortRun(const PortRun& run, const std::string& port, const Options& o, bool several, std::ostream& out,
                 std::ostream& err) {
  const PortResult& r = run.result;
  if (r.streamed) {
    // Its lines are out; a failure follows in the same form.
    if (r.ok) return kOk;
    if (o.json) {
      out << nlohmann::json{{"port", port}, {"ok", false}, {"message", r.message}}.dump() << "\n" << std::flush;
    } else {
      err << "varnet-cli: " << port << ": " << r.message << "\n";
    }
    return kFailed;
  }
  if (o.json) {
    nlohmann::json j = r.json.is_null() ? nlohmann::json{{"port", port}, {"ok", r.ok}, {"message", r.message}} : r.json;
    if (j.contains("ok")) j["restart"] = run.restart;
    if (r.dryRun) {
      j["dry_run"] = true;
      nlohmann::json frames = nlohmann::json::array();
      for (const PlannedFrame& f : r.frames) frames.push_back({{"what", f.what}, {"hex", Hex(f.bytes)}});
      j["frames"] = frames;
    }
    out << j.dump() << "\n";
    // Close matches are for the person typing: always on standard error.
    if (r.usageError) err << "varnet-cli: " << r.message << "\n";
  } else {
    if (several) out << "== " << port << "\n";
    if (!r.text.empty()) out << r.text;
    if (r.dryRun) out << FramesText(r.frames);
    if (!r.ok) err << "varnet-cli: " << port << ": " << r.message << "\n";
    else if (!r.message.empty()) out << r.message << "\n";
  }
  return r.status >= 0 ? r.status : !r.ok ? int(r.usageError ? kUsage : kFailed) : int(kOk);
}

// Runs the command on every target, o.jobs ports at a time (by default every
// port, at most kDefaultJobs), each on a worker thread of its own. This thread
// alone writes: the progress as it comes, and each port's messages and result
// once it and every port before it are done, so the output is in port order
// whatever finishes first. One port, or --jobs 1, runs here, one port after
// the other, as the command line always did.
int RunTargets(const CommandSpec& command, const Options& o, const std::vector<Target>& targets, Progress& progress,
               std::ostream& out, std::ostream& err, LineOut& lines) {
  const size_t n = targets.size();
  const size_t jobs = std::min(n, o.jobs > 0 ? o.jobs : kDefaultJobs);
  int status = kOk;
  if (jobs <= 1) {
    // One port after the other on this thread, each printed as it ends.
    for (size_t i = 0; i < n; ++i) {
      const PortRun run = RunOnPort(command, o, targets[i], n > 1, err, progress, i, lines);
      status = std::max(status, PrintPortRun(run, targets[i].port, o, n > 1, out, err));
    }
    return status;
  }
  Board board;
  board.runs.resize(n);
  board.messages.resize(n);
  board.started.resize(n);
  for (const Target& t : targets) board.devices.push_back(platform::PortIdentity(t.port));
  std::vector<std::thread> workers;
  for (size_t i = 0; i < jobs; ++i) {
    try {
      workers.emplace_back(RunPorts, std::ref(board), std::cref(command), std::cref(o), std::cref(targets),
                           std::ref(lines));
    } catch (const std::system_error&) {
      break;  // no thread to spare: those started take every port
    }
  }
  if (workers.empty()) RunPorts(board, command, o, targets, lines);

  for (size_t next = 0; next < n;) {
    std::vector<ProgressEvent> events;
    const size_t first = next;
    std::vector<PortRun> finished;
    std::vector<std::string> messages;
    {
      std::lock_guard lock(board.mu);
      events.swap(board.progress);
      for (; next < n && board.runs[next]; ++next) {
        finished.push_back(std::move(*board.runs[next]));
        messages.push_back(std::move(board.messages[next]));
      }
    }
    Forward(events, progress);
    for (size_t k = 0; k < finished.size(); ++k) {
      err << messages[k];
      status = std::max(status, PrintPortRun(finished[k], targets[first + k].port, o, n > 1, out, err));
    }
    if (next < n) board.bell.Wait(nullptr);
  }
  for (auto& w : workers) w.join();
  Forward(board.progress, progress);
  return status;
}

// Standard error is the trace's place whatever `err` is: the lines of
// several ports' threads go out whole with one write each.
struct TraceScope {
  explicit TraceScope(bool on) : on(on) {
    if (on) trace::ToFd(2, "varnet-cli");
  }
  ~TraceScope() {
    if (on) trace::Stop();
  }
  bool on;
};

// The files and folders the command writes can take them, and its own
// preparation went through; says why not otherwise.
bool ReadyToRun(const CommandSpec& command, const Options& o, std::ostream& out, std::ostream& err) {
  std::string unwritable, why;
  if (!DestinationWritable(command, o, unwritable, why)) {
    if (o.json) out << nlohmann::json{{"file", unwritable}, {"ok", false}, {"message", why}}.dump() << "\n";
    else err << "varnet-cli: " << unwritable << ": " << why << "\n";
    return false;
  }
  if (command.prepare && !command.prepare(o, why)) {
    if (o.json) out << nlohmann::json{{"ok", false}, {"message", why}}.dump() << "\n";
    else err << "varnet-cli: " << why << "\n";
    return false;
  }
  return true;
}

// The ports given; with --all every scanner the search finds, without
// either the first USB virtual port of a scanner. Nothing when there is none.
std::optional<std::vector<Target>> FindTargets(const CommandSpec& command, const Options& o, DeviceRegistry& registry,
                                               std::ostream& out, std::ostream& err) {
  std::vector<Target> targets;
  for (const auto& p : o.ports) targets.push_back({p, 0});
  if (o.all) {
    // Every scanner the search finds; keyboard-mode ones cannot be reached.
    SearchResult found = RunSearch(registry, !command.imageMode, {}, nullptr, o.jobs);
    for (size_t row = 0; row < found.rows; ++row) {
      const auto& e = found.DeviceTable[row];
      if (e.portName.empty()) {
        err << "varnet-cli: skipped row " << row + 1 << ": scanner in USB keyboard mode\n";
        if (o.json)
          out << nlohmann::json{{"row", row + 1}, {"ok", false}, {"message", "skipped: USB keyboard mode"}}.dump()
              << "\n";
        continue;
      }
      if (std::none_of(targets.begin(), targets.end(), [&](const Target& t) { return t.port == e.portName; }))
        targets.push_back({e.portName, e.baud ? e.baud : 115200});
    }
    if (targets.empty()) {
      err << "varnet-cli: no scanner found\n";
      return std::nullopt;
    }
  } else if (targets.empty()) {
    auto usb = registry.ListUsbScannerPorts();
    if (usb.empty()) {
      err << "varnet-cli: no scanner found on a USB virtual port (use --port PORT)\n";
      return std::nullopt;
    }
    targets.push_back({usb.front(), 115200});
  }
  return targets;
}

// A command that runs until it is stopped (monitor, capture): every port at
// once, each line as it comes; a port's end is said as soon as it ends.
int RunStreaming(const CommandSpec& command, const Options& o, const std::vector<Target>& targets, Progress& progress,
                 std::ostream& out, std::ostream& err, LineOut& lines) {
  const bool several = targets.size() > 1;
  StopScope stoppable;
  int status = kOk;
  if (several) {
    // Each thread owns its session and closes its port.
    std::vector<std::thread> threads;
    std::vector<int> statuses(targets.size(), kOk);
    for (size_t i = 0; i < targets.size(); ++i)
      threads.emplace_back([&, i] {
        std::osyncstream portErr(err);
        portErr << std::emit_on_flush;
        const PortRun run =
            RunOnPort(command, o, targets[i], several, portErr, progress, i, lines, &stoppable.cancel());
        std::lock_guard lock(lines.mutex());
        statuses[i] = PrintPortRun(run, targets[i].port, o, several, out, portErr);
        portErr << std::flush;
      });
    for (std::thread& t : threads) t.join();
    for (int s : statuses) status = std::max(status, s);
    return status;
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    if (StopRequested()) break;
    const PortRun run = RunOnPort(command, o, targets[i], several, err, progress, i, lines, &stoppable.cancel());
    status = std::max(status, PrintPortRun(run, targets[i].port, o, several, out, err));
  }
  return status;
}

}  // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, DeviceRegistry& registry, int errFd) {
  const std::vector<CommandSpec> commands = AllCommands();
  Options o;
  const CommandSpec* chosen = nullptr;
  if (const int status = ParseCommandLine(argc, argv, commands, o, chosen, out, err); status >= 0) return status;
  const CommandSpec& command = *chosen;
  const TraceScope trace(o.trace);
  const bool alone = !command.needsScanner || (command.aloneFromArgs && o.args.size() >= command.aloneFromArgs);
  if (alone && command.needsScanner && (o.all || !o.ports.empty())) {
    err << "usage: varnet-cli " << command.Synopsis() << "\n(this form names its ports itself, as port:NAME)\n";
    return kUsage;
  }
  Context context{out, err, registry};
  if (alone) return command.runAlone(o, context);
  if (!ReadyToRun(command, o, out, err)) return kFailed;
  const std::optional<std::vector<Target>> targets = FindTargets(command, o, registry, out, err);
  if (!targets) return kFailed;

  std::vector<std::string> ports;
  ports.reserve(targets->size());
  for (const Target& t : *targets) ports.push_back(t.port);
  const std::unique_ptr<Progress> progress = MakeProgress(err, errFd, o.json, ports);
  LineOut lines(out);
  if (command.streaming) return RunStreaming(command, o, *targets, *progress, out, err, lines);
  return RunTargets(command, o, *targets, *progress, out, err, lines);
}

}  // namespace varnet::cli
