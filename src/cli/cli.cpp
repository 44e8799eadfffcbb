// SPDX-License-Identifier: Apache-2.0
#include "cli/cli.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "link/protocol.h"

namespace varnet::cli {

namespace {

const uint32_t kProbeRates[] = {9600, 115200, 57600, 38400, 19200, 230400};

void Usage(std::ostream& err) {
  err << "usage: varnet-cli [--port PORT]... [--all] [--baud N] [--save] [--dry-run] [--no-verify] [--json]\n"
         "                  COMMAND [ARGS]\n\ncommands:\n";
  for (auto& [name, command] : Commands()) err << "  " << command.usage << "\n";
}

bool ParseBaud(const std::string& s, uint32_t& out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = uint32_t(std::stoul(s));
  return out > 0;
}

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

// The line under a message, in English.
std::string ReasonText(Reason reason, int error) {
  auto withErrno = [error](const char* text) {
    return std::string(text) + (error ? std::string(": ") + std::strerror(error) : std::string()) + ".";
  };
  switch (reason) {
    case Reason::None: return "";
    case Reason::PortGone: return "The port does not exist (the scanner may have been unplugged).";
    case Reason::PortPermission:
      return "Permission denied: add your user to the dialout group, or install the udev rule for the scanner.";
    case Reason::PortBusy: return "The port is in use by another program (for example ModemManager or another Varnet).";
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

DeviceRegistry* g_registry = nullptr;

struct Target {
  std::string port;
  uint32_t baud = 0;  // the rate the search found an RS-232 scanner at
};

}  // namespace

DeviceRegistry& Registry() {
  static std::unique_ptr<DeviceRegistry> system = MakeSystemRegistry();
  return g_registry ? *g_registry : *system;
}

void SetRegistry(DeviceRegistry* registry) { g_registry = registry; }

std::map<std::string, CommandSpec>& Commands() {
  static std::map<std::string, CommandSpec> commands;
  return commands;
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

PlannedFrame PlannedShortCommand(std::string what, uint8_t p1, uint8_t p2, uint8_t p3) {
  const auto f = ShortCommandFrame(p1, p2, p3);
  return {std::move(what), std::vector<uint8_t>(f.begin(), f.end())};
}

void CliPrompts::Show(const Message& m) {
  shown.push_back(m);
  if (echo) err_ << (prefix.empty() ? "" : "varnet-cli: " + prefix + ": ") << MessageLine(m) << "\n";
}

bool CliPrompts::AskYesNo(MessageId) { return false; }

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
  if (!ReadDeviceInformation(s.link, s.info, s.prompts)) {
    CloseLink(s.link);
    why = MessageText(MessageId::ConnectFailed);
    return false;
  }
  s.texts = ReadScannerTexts(s.link, s.info);
  return true;
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Options o;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    if (a == "--port") {
      std::string v;
      if (!value(v)) return Usage(err), kUsage;
      o.ports.push_back(v);
    } else if (a == "--baud") {
      std::string v;
      if (!value(v) || !ParseBaud(v, o.baud)) {
        err << "varnet-cli: --baud needs a positive number\n";
        return kUsage;
      }
    } else if (a == "--all") o.all = true;
    else if (a == "--save") o.save = true;
    else if (a == "--json") o.json = true;
    else if (a == "--dry-run") o.dryRun = true;
    else if (a == "--no-verify") o.noVerify = true;
    else if (a == "--help" || a == "-h") {
      Usage(out);
      return kOk;
    } else if (a.size() > 1 && a[0] == '-' && o.command.empty()) {
      err << "varnet-cli: unknown option " << a << "\n";
      return kUsage;
    } else if (o.command.empty()) o.command = a;
    else o.args.push_back(a);
  }
  if (o.command.empty()) {
    Usage(err);
    return kUsage;
  }
  auto it = Commands().find(o.command);
  if (it == Commands().end()) {
    err << "varnet-cli: unknown command " << o.command << "\n";
    Usage(err);
    return kUsage;
  }
  const CommandSpec& command = it->second;
  if (o.args.size() < command.minArgs || o.args.size() > command.maxArgs) {
    err << "usage: varnet-cli " << command.usage << "\n";
    return kUsage;
  }
  if (o.dryRun && !command.dryRun) {
    err << "varnet-cli: --dry-run applies to set, import and restore-defaults only\n";
    return kUsage;
  }
  const bool alone = !command.needsScanner || (command.aloneFromArgs && o.args.size() >= command.aloneFromArgs);
  if (alone && command.needsScanner && (o.all || !o.ports.empty())) {
    err << "usage: varnet-cli " << command.usage << "\n(this form names its ports itself, as port:NAME)\n";
    return kUsage;
  }
  if (alone) return command.runAlone(o, out, err);
  std::string unwritable, why;
  if (!DestinationWritable(o, unwritable, why)) {
    if (o.json) out << nlohmann::json{{"file", unwritable}, {"ok", false}, {"message", why}}.dump() << "\n";
    else err << "varnet-cli: " << unwritable << ": " << why << "\n";
    return kFailed;
  }

  std::vector<Target> targets;
  for (const auto& p : o.ports) targets.push_back({p, 0});
  int status = kOk;
  if (o.all) {
    // Every scanner the search finds; keyboard-mode ones cannot be reached.
    ScannerLink probe;
    SearchResult found = RunSearch(Registry(), probe, true, false, {});
    for (size_t row = 0; row < found.rows; ++row) {
      const auto& e = found.DeviceTable[row];
      if (e.portName.empty()) {
        err << "varnet-cli: skipped row " << row + 1 << ": scanner in USB keyboard mode\n";
        if (o.json) out << nlohmann::json{{"row", row + 1}, {"ok", false}, {"message", "skipped: USB keyboard mode"}}.dump() << "\n";
        continue;
      }
      if (std::none_of(targets.begin(), targets.end(), [&](const Target& t) { return t.port == e.portName; }))
        targets.push_back({e.portName, e.baud ? e.baud : 115200});
    }
    if (targets.empty()) {
      err << "varnet-cli: no scanner found\n";
      return kFailed;
    }
  } else if (targets.empty()) {
    auto usb = Registry().ListUsbScannerPorts();
    if (usb.empty()) {
      err << "varnet-cli: no scanner found on a USB virtual port (use --port PORT)\n";
      return kFailed;
    }
    targets.push_back({usb.front(), 115200});
  }

  for (const auto& target : targets) {
    const std::string& port = target.port;
    Session s(err);
    s.port = port;
    s.severalTargets = targets.size() > 1;
    if (s.severalTargets) s.prompts.prefix = port;
    PortResult r;
    std::string why;
    if (!Connect(s, o.baud ? o.baud : target.baud, why)) {
      r.ok = false;
      r.message = why;
    } else {
      r = command.run(s, o);
      if (r.dryRun && r.ok && o.save && !r.frames.empty())
        r.frames.push_back(PlannedShortCommand("save the settings", 0xA0, 0x08, 0x01));
      if (r.ok && o.save && s.changed) {
        SendShortCommand(s.link, 0xA0, 0x08, 0x01);
        bool saved = WaitAck(s.link, 2000);
        if (!saved) r.ok = false;
        const char* text = MessageText(saved ? MessageId::SettingsSaved : MessageId::SaveFailed);
        r.message += (r.message.empty() ? "" : "\n") + std::string(text);
        if (r.json.is_object()) {
          r.json["ok"] = r.ok;
          r.json["message"] = r.message;
        }
      }
      CloseLink(s.link);
    }
    const int portStatus = r.status >= 0 ? r.status : !r.ok ? int(r.usageError ? kUsage : kFailed) : int(kOk);
    status = std::max(status, portStatus);
    if (o.json) {
      nlohmann::json j = r.json.is_null() ? nlohmann::json{{"port", port}, {"ok", r.ok}, {"message", r.message}} : r.json;
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
      if (targets.size() > 1) out << "== " << port << "\n";
      if (!r.text.empty()) out << r.text;
      if (r.dryRun) out << FramesText(r.frames);
      if (!r.ok) err << "varnet-cli: " << port << ": " << r.message << "\n";
      else if (!r.message.empty()) out << r.message << "\n";
    }
  }
  return status;
}

}  // namespace varnet::cli
