// SPDX-License-Identifier: Apache-2.0
// "profile", "apply" and "schema": a scanner's settings as a text people
// edit and review, applied so that only what differs is sent.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/cli.h"
#include "cli/cli_files.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "profiles/profile_apply.h"
#include "profiles/profile_plan.h"
#include "profiles/profile_schema.h"
#include "profiles/profile_writer.h"

namespace varnet::cli {

namespace {

using profiles::Change;

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += (s.empty() ? "" : "\n") + l;
  return s;
}

bool EndsWith(std::string path, const std::string& ext) {
  for (char& c : path) c = char(std::tolower(static_cast<unsigned char>(c)));
  return path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
}

ScannerModel ModelOf(const Session& s) { return ScannerModel::From(s.info.paramBlock, s.texts.firmware); }

std::string LabelsText(const std::vector<std::string>& labels) {
  if (labels.empty()) return "(none)";
  std::string t;
  for (const std::string& l : labels) t += (t.empty() ? "" : ", ") + (l.empty() ? std::string("\"\"") : l);
  return t;
}

std::vector<std::string> ChangeLines(const std::vector<Change>& changes) {
  std::vector<std::string> lines;
  lines.reserve(changes.size());
  for (const Change& c : changes)
    lines.push_back(c.category + " / " + c.group + ": " + LabelsText(c.from) + " -> " + LabelsText(c.to));
  return lines;
}

nlohmann::json ChangesJson(const std::vector<Change>& changes) {
  nlohmann::json list = nlohmann::json::array();
  for (const Change& c : changes)
    list.push_back({{"category", c.category}, {"group", c.group}, {"from", c.from}, {"to", c.to}});
  return list;
}

PortResult ApplyResult(const Session& s, bool ok, bool changed, bool verified, const std::vector<Change>& changes,
                       const std::vector<std::string>& lines) {
  PortResult r;
  r.ok = ok;
  r.message = Joined(lines);
  r.json = {{"port", s.port},
            {"ok", ok},
            {"changed", changed},
            {"verified", verified},
            {"changes", ChangesJson(changes)},
            {"message", r.message}};
  return r;
}

// profile FILE.yaml|-
PortResult WriteProfileOf(Session& s, const Options& o) {
  PortResult r;
  const std::string text = profiles::WriteProfile(s.info, ModelOf(s));
  const std::string& target = o.args[0];
  if (target == "-") {
    if (o.json) r.json = {{"port", s.port}, {"ok", true}, {"message", ""}, {"profile", text}};
    else r.text = text;
    return r;
  }
  const std::string path = s.severalTargets ? FileForPort(target, s.port) : target;
  int error = 0;
  if (!platform::WriteFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error)) {
    r.ok = false;
    r.message = path + ": cannot be written (" + std::string(std::strerror(error)) + ")";
    return r;
  }
  r.message = "wrote " + path;
  r.json = {{"port", s.port}, {"ok", true}, {"message", r.message}, {"file", path}};
  return r;
}

// apply FILE.vt: compare first, import only what differs.
PortResult ApplyConfigFile(Session& s, const Options& o) {
  DeviceInfo file;
  std::string why;
  if (!LoadConfigFile(o.args[0], file, why)) return ApplyResult(s, false, false, false, {}, {o.args[0] + ": " + why});
  std::vector<Change> changes;
  for (const SettingsDifference& d : SettingsDifferences(s.info, s.texts.firmware, file, s.texts.firmware))
    changes.push_back({d.category, d.group, d.a, d.b});
  // The bytes the import would write, against those the scanner holds.
  const bool sameParam = file.paramBlock.bytes == s.info.paramBlock.bytes;
  const bool sameFormat = !s.info.HasFormatBlock() || file.formatBlock == s.info.formatBlock;
  if (sameParam && sameFormat)
    return ApplyResult(s, true, false, true, {}, {"the scanner already holds this configuration file; nothing sent"});
  if (o.dryRun) {
    PortResult r = ImportConfigFile(s, o);
    r.json = ApplyResult(s, r.ok, r.ok, false, changes, {r.message}).json;
    return r;
  }
  PortResult r = ImportConfigFile(s, o);
  const bool verified = r.ok && r.json.value("verified", false);
  std::vector<std::string> lines = ChangeLines(changes);
  lines.push_back(r.message);
  return ApplyResult(s, r.ok && verified, s.changed, verified, changes, lines);
}

// apply FILE on one scanner.
PortResult Apply(Session& s, const Options& o) {
  const std::string& path = o.args[0];
  if (IsConfigFilePath(path)) return ApplyConfigFile(s, o);
  const LoadedProfile loaded = LoadProfileFile(path);
  if (!loaded.profile) {
    PortResult r = ApplyResult(s, false, false, false, {}, {loaded.message});
    r.usageError = loaded.usage;
    return r;
  }
  const ScannerModel model = ModelOf(s);
  const profiles::PlanOptions options{.anyModel = o.anyModel};
  const profiles::ProfilePlan plan = profiles::PlanProfile(*loaded.profile, s.info, model, options);
  if (plan.Refused()) {
    std::string text = profiles::RefusalsText(plan.refusals);
    // "FILE: line 7: ..." for each, so an editor can jump there.
    std::string message;
    for (size_t at = 0; at < text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      message += (message.empty() ? "" : "\n") + path + ": " + text.substr(at, end - at);
      at = end + 1;
    }
    PortResult r = ApplyResult(s, false, false, false, {}, {message + "\nnothing was sent"});
    r.usageError = plan.UsageError();
    return r;
  }
  if (plan.steps.empty())
    return ApplyResult(s, true, false, true, {}, {"the scanner already holds what the profile says; nothing sent"});

  if (o.dryRun) {
    PortResult r = ApplyResult(s, true, true, false, plan.changes, ChangeLines(plan.changes));
    r.dryRun = true;
    for (const profiles::PlanStep& step : plan.steps)
      for (const profiles::PlannedFrame& f : step.frames) r.frames.push_back({f.what, f.bytes});
    r.frames.push_back(PlannedShortCommand("read back the parameter block", kReadParamBlock));
    if (s.info.HasFormatBlock())
      r.frames.push_back(PlannedShortCommand("read back the format block", kReadFormatBlock));
    s.planned = plan.after;
    return r;
  }

  const DeviceInfo before = s.info;
  const profiles::ExecuteResult done = profiles::ExecutePlan(s.link, s.info, model, plan);
  s.changed = !done.taken.empty();
  std::vector<std::string> lines;
  if (done.failed || done.reopenFailed) {
    const std::vector<Change> taken = profiles::ChangedGroups(*loaded.profile, before, s.info, model);
    if (done.failed) lines.push_back(std::string(MessageText(MessageId::SetFailed)) + ": " + done.failedStep);
    else lines.push_back(MessageLine(OpenFailureMessage(s.link)));
    if (done.taken.empty()) lines.push_back("nothing was taken before it");
    else lines.push_back("taken before it: " + Joined(done.taken));
    lines.push_back("the rest was not sent");
    return ApplyResult(s, false, s.changed, false, taken, lines);
  }
  const profiles::Verification v = profiles::VerifyProfile(s.link, s.info, model, *loaded.profile, options);
  const std::vector<Change> changes = profiles::ChangedGroups(*loaded.profile, before, s.info, model);
  lines = ChangeLines(changes);
  if (!v.readable) {
    lines.push_back("verification failed: the scanner's settings could not be read back");
  } else if (!v.Verified()) {
    std::string groups;
    for (const Change& c : v.left) groups += (groups.empty() ? "" : ", ") + c.group;
    lines.push_back("verification failed: the scanner does not hold what the profile says in " + groups);
  } else {
    lines.push_back("verified: the scanner holds what the profile says");
  }
  if (done.rebootNotice) lines.push_back(MessageText(MessageId::RebootNotice));
  return ApplyResult(s, v.Verified(), s.changed, v.Verified(), changes, lines);
}

int Schema(const Options& o, Context& context) {
  (void)o;
  context.out << profiles::ProfileSchema().dump(2) << "\n";
  return kOk;
}

}  // namespace

bool IsConfigFilePath(const std::string& path) {
  if (EndsWith(path, ".vt")) return true;
  if (EndsWith(path, ".yaml") || EndsWith(path, ".yml")) return false;
  std::ifstream in(platform::FilePath(path), std::ios::binary);
  char tag[5] = {};
  return in.read(tag, sizeof tag) && std::string(tag, sizeof tag) == "%ICF%";
}

LoadedProfile LoadProfileFile(const std::string& path) {
  LoadedProfile r;
  std::ifstream in(platform::FilePath(path), std::ios::binary);
  if (!in) {
    r.message = path + ": " + MessageText(MessageId::OpenFileFailed);
    return r;
  }
  std::string text;
  text.resize(profiles::kMaxProfileBytes + 1);
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  const profiles::ReadResult read = profiles::ReadProfile(text);
  if (read.profile) {
    r.profile = read.profile;
    return r;
  }
  r.usage = !read.errors.empty() && std::all_of(read.errors.begin(), read.errors.end(),
                                                [](const profiles::ProfileError& e) { return e.usage; });
  for (const profiles::ProfileError& e : read.errors)
    r.message += (r.message.empty() ? "" : "\n") + path + ": " + profiles::ErrorText(e);
  return r;
}

CommandSpec ProfileCommand() {
  CommandSpec c{.name = "profile", .summary = "the scanner's settings as a profile (YAML) to edit and apply"};
  c.details =
      "Every group the scanner shows with its options in force, under the label it shows, then the output format "
      "and trigger values, each with a comment listing the choices this scanner offers. \"-\" writes to standard "
      "output. With several ports each scanner gets its own file: the port's name goes in front of the extension.";
  c.args = {{"FILE.yaml", "the profile to write, or - for standard output", 1, 1, Completion::File, ".yaml .yml"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"--port ttyACM0 profile till.yaml", "profile - | less"};
  c.run = WriteProfileOf;
  c.writes = [](const Options& o) {
    return o.args.at(0) == "-" ? std::vector<Destination>{} : std::vector<Destination>{{o.args.at(0)}};
  };
  return c;
}

CommandSpec ApplyCommand() {
  CommandSpec c{.name = "apply",
                .summary = "make the scanner match a profile or configuration file; send only changes"};
  c.details =
      "A profile: works out from the scanner's blocks the clicks and page records that bring it to what the profile "
      "says, in catalogue order, sends them, stops at the first the scanner refuses, then reads both blocks back and "
      "verifies. A configuration file: compared first, imported only when the scanner differs. A scanner that "
      "already matches gets nothing sent. Everything is checked before anything is sent: an unknown name is a usage "
      "error (exit 2); what this scanner cannot take fails the port (exit 1). --save saves only after a change that "
      "was taken whole and verified.";
  c.args = {
      {"FILE", "a profile (.yaml, .yml) or a configuration file (.vt)", 1, 1, Completion::File, ".yaml .yml .vt"}};
  c.shared = {"--port", "--all", "--baud", "--save", "--dry-run", "--json"};
  c.examples = {"--port ttyACM0 apply --dry-run till.yaml", "--all --save apply till.yaml"};
  c.addOptions = [](CLI::App& app, Options& o) {
    app.add_flag("--any-model", o.anyModel, "apply a profile that names another model");
  };
  c.run = Apply;
  return c;
}

CommandSpec SchemaCommand() {
  CommandSpec c{.name = "schema", .summary = "JSON Schema of profiles, for editors"};
  c.details =
      "A JSON Schema (draft 2020-12) generated from the settings catalogue and the model rules, so that an editor "
      "with a YAML language server completes and checks a profile while it is typed. The package installs it as "
      "/usr/share/varnet/profile.schema.json.";
  c.examples = {"schema > profile.schema.json"};
  c.needsScanner = false;
  c.runAlone = Schema;
  return c;
}

}  // namespace varnet::cli
