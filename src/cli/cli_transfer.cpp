// SPDX-License-Identifier: Apache-2.0
// export, export-qr, export-sheet, import and restore-defaults: the export page's buttons
// from the command line, for one scanner or a fleet.
#include <CLI/CLI.hpp>
#include <QLocale>

#include <algorithm>
#include <cstring>

#include "cli/cli.h"
#include "cli/cli_files.h"
#include "link/protocol.h"
#include "platform/files.h"
#include "transfer/export_settings.h"
#include "transfer/import_settings.h"
#include "transfer/qr_bitmap.h"
#include "transfer/restore_defaults.h"
#include "transfer/settings_sheet.h"

namespace varnet::cli {

namespace {

// Verification lists this many differing bytes in text; JSON has them all.
constexpr size_t kMismatchLines = 16;

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += (s.empty() ? "" : "\n") + l;
  return s;
}

PortResult Failed(std::string message) {
  PortResult r;
  r.ok = false;
  r.message = std::move(message);
  return r;
}

// With several targets each scanner needs a file of its own: the port's name
// goes in front of the extension of the file-name part (golden.vt ->
// golden_ttyACM0.vt, /dev/pts/3 -> golden_pts-3.vt).
std::string PathForPort(const std::string& path, const std::string& port) {
  const std::string tag = PortTag(port);
  const size_t slash = path.find_last_of(platform::PathSeparators());
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  return path.substr(0, dot) + "_" + tag + path.substr(dot);
}

// The files an export writes for the path it was given.
std::vector<std::string> ExportFiles(const std::string& path, ExportMode mode) {
  if (mode == ExportMode::Qr) return {SettingsBitmapName(path, 1), SettingsBitmapName(path, 2)};
  return {path};
}

PortResult Export(Session& s, const Options& o, ExportMode mode) {
  const std::string path = s.severalTargets ? PathForPort(o.args[0], s.port) : o.args[0];
  const std::vector<std::string> files = ExportFiles(path, mode);
  // The desktop page offers no configuration file without a format block:
  // the file needs both blocks, and asking would only end in silence.
  if (mode == ExportMode::File && !s.info.HasFormatBlock())
    return Failed(std::string(MessageText(MessageId::ExportFailed)) +
                  "\nthe scanner has no format block, so its settings cannot go into a configuration file");
  const ExportResult result = ExportSettings(s.link, path, mode);
  PortResult r;
  r.ok = result.ok;
  r.message = result.ok ? MessageText(MessageId::ExportedSuccessfully) : MessageLine(ExportFailureMessage(result));
  if (result.ok) {
    for (const std::string& f : files) r.text += "wrote " + f + "\n";
    r.json = {{"port", s.port}, {"ok", true}, {"message", r.message}, {"files", files}};
  }
  return r;
}

PortResult ExportSheet(Session& s, const Options& o) {
  const std::string path = s.severalTargets ? PathForPort(o.args[0], s.port) : o.args[0];
  // As on the desktop page: the sheet carries both blocks.
  if (!s.info.HasFormatBlock())
    return Failed(std::string(MessageText(MessageId::ExportFailed)) +
                  "\nthe scanner has no format block, so its settings cannot go onto a sheet");
  SheetOptions options;
  options.pageSize = o.pageSize == "letter" ? SheetPageSize::Letter
                     : o.pageSize == "a4"   ? SheetPageSize::A4
                                            : PageSizeFor(QLocale::system());
  const ExportResult result = ExportSettingsSheet(s.link, s.info, s.texts, path, options);
  PortResult r;
  r.ok = result.ok;
  r.message = result.ok ? MessageText(MessageId::ExportedSuccessfully) : MessageLine(ExportFailureMessage(result));
  if (result.ok) {
    r.text = "wrote " + path + "\n";
    r.json = {{"port", s.port}, {"ok", true}, {"message", r.message}, {"files", {path}}};
  }
  return r;
}

struct Mismatch {
  const char* block;
  size_t offset;
  int sent, read;  // -1: the block ends before this offset
};

void CompareBlocks(const char* block, const uint8_t* sent, size_t sentSize, const uint8_t* read, size_t readSize,
                   std::vector<Mismatch>& out) {
  for (size_t i = 0; i < std::max(sentSize, readSize); ++i) {
    const int a = i < sentSize ? sent[i] : -1;
    const int b = i < readSize ? read[i] : -1;
    if (a != b) out.push_back({block, i, a, b});
  }
}

std::string ByteText(int v) { return v < 0 ? std::string("nothing") : Hex(std::vector<uint8_t>{uint8_t(v)}); }

// Reads both blocks back and compares them with what the import sent: the
// scanner's acknowledgement says a block arrived, not that it was stored.
void Verify(Session& s, const ImportResult& imported, PortResult& r, std::vector<std::string>& lines) {
  DeviceInfo readBack = s.info;
  // An empty block stands for "not read": ReadBlock leaves it as it is on failure.
  if (readBack.formatBlock) readBack.formatBlock = FormatBlock{};
  std::vector<Mismatch> mismatches;
  bool readable = RefreshBlocks(s.link, readBack);
  if (readable && imported.parameterBlockTaken)
    CompareBlocks("parameter", s.info.paramBlock.bytes.data(), ParamBlock::kSize, readBack.paramBlock.bytes.data(),
                  ParamBlock::kSize, mismatches);
  if (readable && imported.formatBlockTaken) {
    readable = !readBack.formatBlock->empty();
    if (readable)
      CompareBlocks("format", s.info.formatBlock->data(), s.info.formatBlock->size(), readBack.formatBlock->data(),
                    readBack.formatBlock->size(), mismatches);
  }
  if (!readable) {
    r.ok = false;
    lines.push_back("verification failed: the scanner's settings could not be read back");
  } else if (!mismatches.empty()) {
    r.ok = false;
    lines.push_back("verification failed: the scanner holds " + std::to_string(mismatches.size()) +
                    " byte(s) other than those sent");
    for (size_t i = 0; i < mismatches.size() && i < kMismatchLines; ++i) {
      const Mismatch& m = mismatches[i];
      lines.push_back("  " + std::string(m.block) + " block byte " + std::to_string(m.offset) + ": sent " +
                      ByteText(m.sent) + ", read back " + ByteText(m.read));
    }
    if (mismatches.size() > kMismatchLines)
      lines.push_back("  ... and " + std::to_string(mismatches.size() - kMismatchLines) + " more");
  } else {
    std::string what = imported.parameterBlockTaken ? "the parameter block" : "";
    if (imported.formatBlockTaken) what += std::string(what.empty() ? "" : " and ") + "the format block";
    lines.push_back("verified: the scanner holds " + what + " as sent");
  }
  nlohmann::json list = nlohmann::json::array();
  for (const Mismatch& m : mismatches)
    list.push_back({{"block", m.block}, {"offset", m.offset}, {"sent", m.sent}, {"read", m.read}});
  r.json["verified"] = readable && mismatches.empty();
  r.json["mismatches"] = list;
  // What the scanner holds now is what this session knows of it.
  s.info = readBack;
}

void PlanBlockWrite(std::vector<PlannedFrame>& frames, const char* block, ShortCommand announce,
                    const SettingsBlock& b) {
  frames.push_back(PlannedShortCommand(std::string("announce the ") + block + " block", announce));
  frames.push_back(
      {std::string(block) + " block header", std::vector<uint8_t>(b.header.bytes.begin(), b.header.bytes.end())});
  frames.push_back({std::string(block) + " block payload", b.payload});
}

void PlanReadBack(std::vector<PlannedFrame>& frames, const DeviceInfo& info) {
  frames.push_back(PlannedShortCommand("read back the parameter block", kReadParamBlock));
  if (info.HasFormatBlock()) frames.push_back(PlannedShortCommand("read back the format block", kReadFormatBlock));
}

// What the import would send to a scanner that takes every block, and the
// messages it would show on the way.
PortResult ImportDryRun(Session& s, const Options& o) {
  PortResult r;
  r.dryRun = true;
  const std::optional<std::vector<uint8_t>> file = ReadConfigFile(o.args[0]);
  if (!file) return Failed(MessageText(MessageId::OpenFileFailed));
  const ImportPlan plan = PlanImport(file->data(), file->size(), s.info.paramBlock.ModelCode());
  if (plan.tooShort) return Failed(MessageText(MessageId::IncorrectConfigFile));
  std::vector<std::string> lines;
  bool parameterSent = false, formatSent = false;
  if (plan.parameter.refusal) {
    lines.push_back(MessageLine(*plan.parameter.refusal));
    if (plan.parameter.endsImport) {
      r.ok = false;
      r.message = Joined(lines);
      return r;
    }
  } else {
    PlanBlockWrite(r.frames, "parameter", kWriteParamBlock, *plan.parameter.block);
    parameterSent = true;
  }
  if (s.info.HasFormatBlock()) {
    const FormatStepPlan& format = parameterSent ? plan.formatAfterParameter : plan.formatOtherwise;
    if (format.refusal) {
      lines.push_back(MessageLine(*format.refusal));
    } else {
      PlanBlockWrite(r.frames, "format", kWriteFormatBlock, *format.block);
      formatSent = true;
    }
  }
  r.ok = s.info.HasFormatBlock() ? formatSent : parameterSent;
  if (r.ok && !o.noVerify) PlanReadBack(r.frames, s.info);
  if (r.ok) lines.push_back(MessageText(MessageId::ImportedSuccessfully) + std::string(" (if the scanner takes it)"));
  r.message = Joined(lines);
  return r;
}

PortResult Import(Session& s, const Options& o) {
  if (o.dryRun) return ImportDryRun(s, o);
  s.prompts.echo = false;
  const ImportResult imported = ImportSettingsFromFile(s.link, s.info, s.prompts, o.args[0]);
  s.prompts.echo = true;
  s.changed = imported.parameterBlockTaken || imported.formatBlockTaken;

  PortResult r;
  std::vector<std::string> lines;
  for (const Message& m : imported.messages) lines.push_back(MessageLine(m));
  // A file too short to hold a header ends the desktop import without a
  // word; here that would read as success.
  if (imported.messages.empty() && !imported.succeeded) lines.push_back(MessageText(MessageId::IncorrectConfigFile));
  r.ok = imported.succeeded;
  if (r.ok && !s.info.HasFormatBlock())
    lines.push_back("the scanner has no format block: only the parameter block was written");
  r.json = nlohmann::json{{"port", s.port}};
  if (r.ok && !o.noVerify) Verify(s, imported, r, lines);
  r.message = Joined(lines);
  r.json["ok"] = r.ok;
  r.json["message"] = r.message;
  return r;
}

PortResult Restore(Session& s, const Options& o) {
  PortResult r;
  if (o.dryRun) {
    r.dryRun = true;
    r.frames.push_back({"restore the default settings", *RecordCommandFrame(RestoreDefaultsRecords())});
    PlanReadBack(r.frames, s.info);
    // Which interface the factory settings hold shows only once restored.
    r.message = "if the factory settings hold another output interface, the scanner is restarted at the end";
    return r;
  }
  s.prompts.echo = false;
  const RestoreResult restored = RestoreDefaults(s.link, s.info, s.prompts);
  s.prompts.echo = true;
  // The desktop page says nothing when the scanner stays silent; a script
  // must not take that for success.
  s.changed = restored.acknowledged;
  r.ok = restored.acknowledged;
  r.message = restored.acknowledged ? MessageText(MessageId::RestoreSuccessfully)
                                    : "the scanner did not acknowledge the restore command";
  if (!restored.refreshed) r.message += "\nthe settings could not be read back afterwards";
  return r;
}

}  // namespace

std::string FileForPort(const std::string& path, const std::string& port) { return PathForPort(path, port); }
PortResult ImportConfigFile(Session& s, const Options& o) { return Import(s, o); }

namespace {

std::vector<Destination> Files(const std::vector<std::string>& paths) {
  std::vector<Destination> files;
  files.reserve(paths.size());
  for (const std::string& p : paths) files.push_back({p});
  return files;
}

}  // namespace

bool DestinationWritable(const CommandSpec& command, const Options& o, std::string& file, std::string& why) {
  if (!command.writes) return true;
  for (const Destination& d : command.writes(o)) {
    if (d.folder) {
      if (platform::FolderWritable(d.path, why)) continue;
      file = d.path;
      return false;
    }
    const ExportResult checked = CheckExportDestination(d.path);
    if (checked.ok) continue;
    file = d.path;
    why = MessageLine(ExportFailureMessage(checked));
    return false;
  }
  return true;
}

CommandSpec ExportCommand() {
  CommandSpec c{.name = "export", .summary = "configuration file (with several ports: FILE_PORT.vt)"};
  c.details =
      "Both blocks of the scanner into one file, written whole or not at all. With several ports each scanner gets "
      "its own file: the port's name goes in front of the extension. A scanner without a format block cannot be "
      "exported to a file.";
  c.args = {{"FILE.vt", "the configuration file to write", 1, 1, Completion::File, ".vt"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"--port ttyACM0 export golden.vt", "--all export backup.vt"};
  c.run = [](Session& s, const Options& o) { return Export(s, o, ExportMode::File); };
  c.writes = [](const Options& o) { return Files(ExportFiles(o.args.at(0), ExportMode::File)); };
  return c;
}

CommandSpec ExportQrCommand() {
  CommandSpec c{.name = "export-qr", .summary = "settings barcodes FILE_S1.bmp and FILE_S2.bmp"};
  c.details = "Two QR settings barcodes that a scanner reads back; names are taken as the desktop program takes them.";
  c.args = {{"FILE.bmp", "the name the two bitmaps are derived from", 1, 1, Completion::File, ".bmp"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"--port ttyACM0 export-qr sheet.bmp"};
  c.run = [](Session& s, const Options& o) { return Export(s, o, ExportMode::Qr); };
  c.writes = [](const Options& o) { return Files(ExportFiles(o.args.at(0), ExportMode::Qr)); };
  return c;
}

CommandSpec ExportSheetCommand() {
  CommandSpec c{.name = "export-sheet", .summary = "printable PDF sheet of the settings barcodes"};
  c.details =
      "One PDF with both QR settings barcodes, in the order to scan them, and the settings they carry, for scanners "
      "that are configured off paper. The page is A4, or Letter where the locale measures in US units, unless "
      "--page-size says otherwise. Written whole or not at all; with several ports each scanner gets its own file "
      "(FILE_PORT.pdf). A scanner without a format block has no sheet. Needs no display.";
  c.args = {{"FILE.pdf", "the sheet to write", 1, 1, Completion::File, ".pdf"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"--port ttyACM0 export-sheet sheet.pdf", "--all export-sheet --page-size letter sheet.pdf"};
  c.addOptions = [](CLI::App& app, Options& o) {
    app.add_option("--page-size", o.pageSize, "a4 or letter (default: from the locale)")
        ->type_name("SIZE")
        ->transform(CLI::IsMember({"a4", "letter"}, CLI::ignore_case).description(""));
  };
  c.prepare = [](const Options&, std::string& why) {
    // Fonts need a Qt Gui application; it is made here, on the main thread.
    if (EnsureGuiApplication()) return true;
    why = "the sheet cannot be drawn in this process";
    return false;
  };
  c.run = ExportSheet;
  c.writes = [](const Options& o) { return Files({o.args.at(0)}); };
  return c;
}

CommandSpec ImportCommand() {
  CommandSpec c{.name = "import", .summary = "then reads both blocks back and compares them"};
  c.details =
      "Writes a configuration file of the scanner's model code into it, with the desktop program's messages, then "
      "reads both blocks back and lists every byte the scanner holds otherwise (exit 1).";
  c.args = {{"FILE.vt", "the configuration file to write into the scanner", 1, 1, Completion::File, ".vt"}};
  c.shared = {"--port", "--all", "--baud", "--save", "--dry-run", "--no-verify", "--json"};
  c.examples = {"--all --dry-run --save import golden.vt", "--all --save import golden.vt"};
  c.run = Import;
  return c;
}

CommandSpec RestoreDefaultsCommand() {
  CommandSpec c{.name = "restore-defaults", .summary = "the scanner's factory settings"};
  c.details = "Sends the restore command and reads the settings back; a scanner that does not acknowledge fails.";
  c.shared = {"--port", "--all", "--baud", "--save", "--dry-run", "--json"};
  c.examples = {"--port ttyACM0 --save restore-defaults"};
  c.run = Restore;
  return c;
}
}  // namespace varnet::cli
