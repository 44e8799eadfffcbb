// SPDX-License-Identifier: Apache-2.0
// "show" and "diff": the settings a configuration file or a profile holds,
// and what differs between files, profiles and scanners.
#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_settings.h"
#include "pages/page_summary.h"
#include "profiles/profile_plan.h"
#include "transfer/config_file.h"
#include "transfer/import_settings.h"
#include "ui_common/text.h"

namespace varnet::cli {

namespace {

// The settings of one side: a configuration file, a profile or a connected
// scanner.
struct Side {
  std::string name;  // the file's path, or "port:NAME"
  DeviceInfo info;
  std::string firmware = kUnknownText;  // a file does not carry it
  bool isPort = false;
  std::optional<profiles::Profile> profile;  // a profile: no blocks, only the groups it names
};

// A file as the import would take it into a scanner of its own model: both
// blocks whole and correctly tagged. False with the desktop program's text.
bool LoadConfigFile(const std::string& path, Side& side, std::string& why) {
  const std::optional<std::vector<uint8_t>> file = ReadConfigFile(path);
  if (!file) {
    why = MessageText(MessageId::OpenFileFailed);
    return false;
  }
  const size_t codeAt = kBlockHeaderSize + pb::ModelCode;
  const ImportPlan plan = PlanImport(file->data(), file->size(), file->size() > codeAt ? (*file)[codeAt] : 0);
  if (plan.tooShort || !plan.parameter.block || !plan.formatAfterParameter.block) {
    why = MessageText(MessageId::IncorrectConfigFile);
    return false;
  }
  side.name = path;
  std::copy_n(plan.parameter.block->payload.begin(), ParamBlock::kSize, side.info.paramBlock.bytes.begin());
  side.info.formatBlock = plan.formatAfterParameter.block->payload;
  return true;
}

std::vector<CategoryState> CategoriesOf(const Side& side) {
  return AllCategories(side.info, ScannerModel::From(side.info.paramBlock, side.firmware));
}

// The catalogue title (or page field name) a profile's group name stands
// for on some scanner, or the name as written.
std::string TitleOf(const std::string& category, const std::string& name) {
  for (int c = 0; c < kCategoryCount; ++c) {
    if (Category(c)->name != category) continue;
    for (const SettingGroup& g : Category(c)->groups)
      if (!g.IsEndMarker())
        for (const std::string& label : GroupLabelsOnAnyModel(g))
          if (Folded(label) == Folded(name)) return g.english;
  }
  for (const PageField& f : category == kOutputSettings ? OutputSettingsFields(1) : TriggerSettingsFields())
    if (Folded(f.name) == Folded(name)) return f.name;
  return name;
}

// A profile's groups as "show" lists them: the options it names, those of
// remove: not in force.
std::vector<CategoryState> ProfileCategories(const profiles::Profile& p) {
  std::vector<CategoryState> out;
  for (const profiles::CategoryEntry& c : p.categories) {
    CategoryState category{c.name.text, {}};
    for (const profiles::GroupEntry& g : c.groups) {
      GroupState group;
      group.title = TitleOf(c.name.text, g.name.text);
      group.label = g.name.text;
      auto option = [&](const profiles::Scalar& v, bool on) { group.options.push_back({v.text, "", on}); };
      if (g.form == profiles::ValueForm::Text) option(g.text, true);
      for (const profiles::Scalar& v : g.list) option(v, true);
      for (const profiles::Scalar& v : g.add) option(v, true);
      for (const profiles::Scalar& v : g.remove) option(v, false);
      category.groups.push_back(std::move(group));
    }
    out.push_back(std::move(category));
  }
  return out;
}

std::string ProfileModelText(const profiles::Profile& p) {
  if (!p.modelName && !p.modelCode) return "any model";
  std::string t = p.modelName.value_or("any name");
  return t + ", model code " + (p.modelCode ? std::to_string(*p.modelCode) : std::string("any"));
}

void ShowProfile(const std::string& path, const profiles::Profile& p, const Options& o, std::ostream& out) {
  const std::vector<CategoryState> categories = ProfileCategories(p);
  if (o.json) {
    out << nlohmann::json{{"file", path},
                          {"model_name", p.modelName ? nlohmann::json(*p.modelName) : nlohmann::json()},
                          {"model_code", p.modelCode ? nlohmann::json(*p.modelCode) : nlohmann::json()},
                          {"categories", CategoriesJson(categories)}}
               .dump()
        << "\n";
    return;
  }
  if (o.args.size() > 1) out << "== " << path << "\n";
  out << "profile for " << ProfileModelText(p) << "\n";
  for (const CategoryState& c : categories) {
    out << c.name << "\n";
    for (const GroupState& g : c.groups) {
      std::string on, off;
      for (const OptionState& v : g.options)
        (v.inForce ? on : off) += ((v.inForce ? on : off).empty() ? "" : ", ") + (v.label.empty() ? "\"\"" : v.label);
      out << "  " << g.label << ": " << (on.empty() && off.empty() ? "(none)" : on);
      if (!off.empty()) out << (on.empty() ? "" : "; ") << "not " << off;
      out << "\n";
    }
  }
}

// show FILE...
int Show(const Options& o, Context& context) {
  std::ostream& out = context.out;
  std::ostream& err = context.err;
  int status = kOk;
  for (const std::string& path : o.args) {
    if (!IsConfigFilePath(path)) {
      const LoadedProfile loaded = LoadProfileFile(path);
      if (!loaded.profile) {
        err << "varnet-cli: " << loaded.message << "\n";
        if (o.json) out << nlohmann::json{{"file", path}, {"ok", false}, {"message", loaded.message}}.dump() << "\n";
        status = std::max(status, int(loaded.usage ? kUsage : kFailed));
        continue;
      }
      ShowProfile(path, *loaded.profile, o, out);
      continue;
    }
    Side side;
    std::string why;
    if (!LoadConfigFile(path, side, why)) {
      err << "varnet-cli: " << path << ": " << why << "\n";
      if (o.json) out << nlohmann::json{{"file", path}, {"ok", false}, {"message", why}}.dump() << "\n";
      status = kFailed;
      continue;
    }
    const std::vector<CategoryState> categories = CategoriesOf(side);
    const ParamBlock& pb = side.info.paramBlock;
    if (o.json) {
      out << nlohmann::json{{"file", path},
                            {"model_name", pb.ModelName()},
                            {"model_code", pb.ModelCode()},
                            {"categories", CategoriesJson(categories)}}
                 .dump()
          << "\n";
    } else {
      if (o.args.size() > 1) out << "== " << path << "\n";
      out << "model: " << pb.ModelName() << ", model code " << int(pb.ModelCode()) << "\n"
          << CategoriesText(categories);
    }
  }
  return status;
}

struct GroupValues {
  std::string category, title;
  std::optional<std::vector<std::string>> a, b;  // labels in force; none where that side does not show the group
};

std::vector<std::string> LabelsInForce(const GroupState& g) {
  std::vector<std::string> labels;
  for (const OptionState& o : g.options)
    if (o.inForce) labels.push_back(Trimmed(o.label));
  return labels;
}

// A profile against a side with blocks: what applying it would change, the
// profile's labels on its side. Greyed groups are compared as well.
bool ProfileDifferences(const Side& profileSide, const Side& blocks, bool profileIsA, std::vector<GroupValues>& out,
                        std::string& why, bool& usage) {
  const profiles::PlanOptions options{.anyModel = true, .greyed = [](const EffectiveGroup&, const DeviceInfo&) {
                                        return std::optional<std::string>();
                                      }};
  const profiles::ProfilePlan plan = profiles::PlanProfile(
      *profileSide.profile, blocks.info, ScannerModel::From(blocks.info.paramBlock, blocks.firmware), options);
  if (plan.Refused()) {
    usage = plan.UsageError();
    why = profiles::RefusalsText(plan.refusals);
    return false;
  }
  for (const profiles::Change& c : plan.changes)
    out.push_back(profileIsA ? GroupValues{c.category, c.group, c.to, c.from}
                             : GroupValues{c.category, c.group, c.from, c.to});
  return true;
}

// Two profiles: the groups either names, compared as written (blanks around
// and case aside); a group one of them does not name is "not shown" there.
std::vector<GroupValues> ProfilesDifferences(const Side& a, const Side& b) {
  std::vector<GroupValues> all;
  auto add = [&](const profiles::Profile& p, bool sideA) {
    for (const CategoryState& c : ProfileCategories(p))
      for (const GroupState& g : c.groups) {
        auto it = std::find_if(all.begin(), all.end(),
                               [&](const GroupValues& v) { return v.category == c.name && v.title == g.title; });
        if (it == all.end()) it = all.insert(all.end(), GroupValues{c.name, g.title, {}, {}});
        std::vector<std::string> labels;
        for (const OptionState& o : g.options) labels.push_back((o.inForce ? "" : "not ") + Trimmed(o.label));
        (sideA ? it->a : it->b) = labels;
      }
  };
  add(*a.profile, true);
  add(*b.profile, false);
  auto folded = [](const std::optional<std::vector<std::string>>& v) {
    std::vector<std::string> f;
    for (const std::string& s : v.value_or(std::vector<std::string>{})) f.push_back(Folded(s));
    std::sort(f.begin(), f.end());
    return f;
  };
  std::erase_if(all, [&](const GroupValues& v) { return v.a && v.b && folded(v.a) == folded(v.b); });
  return all;
}

// Groups are matched by category and catalogue title, so that a group one
// model shows under another label still meets its counterpart.
std::vector<GroupValues> Differences(const Side& a, const Side& b) {
  std::vector<GroupValues> all;
  auto add = [&](const std::vector<CategoryState>& categories, bool sideA) {
    for (const CategoryState& c : categories)
      for (const GroupState& g : c.groups) {
        auto it = std::find_if(all.begin(), all.end(),
                               [&](const GroupValues& v) { return v.category == c.name && v.title == g.title; });
        if (it == all.end()) it = all.insert(all.end(), GroupValues{c.name, g.title, {}, {}});
        (sideA ? it->a : it->b) = LabelsInForce(g);
      }
  };
  add(CategoriesOf(a), true);
  add(CategoriesOf(b), false);
  std::erase_if(all, [](const GroupValues& v) {
    return v.a.value_or(std::vector<std::string>{}) == v.b.value_or(std::vector<std::string>{});
  });
  return all;
}

std::string LabelsText(const std::optional<std::vector<std::string>>& labels) {
  if (!labels) return "(not shown)";
  if (labels->empty()) return "(none)";
  std::string t;
  for (const std::string& l : *labels) t += (t.empty() ? "" : ", ") + (l.empty() ? std::string("\"\"") : l);
  return t;
}

std::string ModelText(const Side& s) {
  if (s.profile) return "profile for " + ProfileModelText(*s.profile);
  return s.info.paramBlock.ModelName() + ", model code " + std::to_string(s.info.paramBlock.ModelCode());
}

bool SameModel(const Side& a, const Side& b) {
  if (a.profile || b.profile) return false;
  return a.info.paramBlock.ModelCode() == b.info.paramBlock.ModelCode() &&
         a.info.paramBlock.ModelName() == b.info.paramBlock.ModelName();
}

// The differences as JSON and as text; the exit status says whether there
// were any (or why they could not be worked out).
int Report(Side& a, Side& b, nlohmann::json& json, std::string& text) {
  // A file compared with a scanner of its own model is read with that
  // scanner's firmware text, as the scanner would show it after an import;
  // otherwise rules that look at the firmware would report differences that
  // are not in the bytes.
  if (a.isPort != b.isPort && SameModel(a, b)) (a.isPort ? b : a).firmware = (a.isPort ? a : b).firmware;
  std::vector<GroupValues> differences;
  if (a.profile && b.profile) {
    differences = ProfilesDifferences(a, b);
  } else if (a.profile || b.profile) {
    std::string why;
    bool usage = false;
    if (!ProfileDifferences(a.profile ? a : b, a.profile ? b : a, bool(a.profile), differences, why, usage)) {
      const std::string& file = (a.profile ? a : b).name;
      std::string message;
      for (size_t at = 0; at < why.size();) {
        const size_t end = std::min(why.find('\n', at), why.size());
        message += (message.empty() ? "" : "\n") + file + ": " + why.substr(at, end - at);
        at = end + 1;
      }
      json = {{"a", a.name}, {"b", b.name}, {"ok", false}, {"message", message}};
      text.clear();
      return usage ? -int(kUsage) : -int(kFailed);
    }
  } else {
    differences = Differences(a, b);
  }
  const bool otherModel = !a.profile && !b.profile && a.info.paramBlock.ModelCode() != b.info.paramBlock.ModelCode();
  {
    nlohmann::json list = nlohmann::json::array();
    for (const GroupValues& d : differences)
      list.push_back({{"category", d.category},
                      {"group", d.title},
                      {"a", d.a.value_or(std::vector<std::string>{})},
                      {"b", d.b.value_or(std::vector<std::string>{})}});
    auto code = [](const Side& s) {
      if (!s.profile) return nlohmann::json(s.info.paramBlock.ModelCode());
      return s.profile->modelCode ? nlohmann::json(*s.profile->modelCode) : nlohmann::json();
    };
    json = {{"a", a.name}, {"b", b.name}, {"a_model_code", code(a)}, {"b_model_code", code(b)}, {"differences", list}};
  }
  {
    std::ostringstream out;
    out << "a: " << a.name << " (" << ModelText(a) << ")\n"
        << "b: " << b.name << " (" << ModelText(b) << ")\n";
    if (otherModel) out << "different model codes: each side is read with its own model rules\n";
    for (const GroupValues& d : differences)
      out << d.category << " / " << d.title << "\n  a: " << LabelsText(d.a) << "\n  b: " << LabelsText(d.b) << "\n";
    out << (differences.empty() ? "no differences\n" : std::to_string(differences.size()) + " group(s) differ\n");
    text = out.str();
  }
  return differences.empty() ? kOk : kFailed;
}

// A port side: connect, keep what was read, close again.
bool LoadPort(const std::string& port, const Options& o, std::ostream& err, Side& side, std::string& why) {
  Session s(err);
  s.port = port;
  if (!Connect(s, o.baud, why)) return false;
  CloseSession(s);
  side.name = "port:" + port;
  side.info = s.info;
  side.firmware = s.texts.firmware;
  side.isPort = true;
  return true;
}

bool LoadSide(const std::string& arg, const Options& o, std::ostream& err, Side& side, std::string& why, bool& usage) {
  if (arg.rfind("port:", 0) == 0) {
    if (arg.size() == 5) {
      why = "port: needs a port name";
      return false;
    }
    return LoadPort(arg.substr(5), o, err, side, why);
  }
  if (IsConfigFilePath(arg)) return LoadConfigFile(arg, side, why);
  LoadedProfile loaded = LoadProfileFile(arg);
  if (!loaded.profile) {
    // The message names the file already.
    why = loaded.message;
    usage = loaded.usage;
    return false;
  }
  side.name = arg;
  side.profile = std::move(loaded.profile);
  return true;
}

// diff A B
int DiffAlone(const Options& o, Context& context) {
  std::ostream& out = context.out;
  std::ostream& err = context.err;
  Side sides[2];
  for (int i = 0; i < 2; ++i) {
    std::string why;
    bool usage = false;
    if (!LoadSide(o.args[i], o, err, sides[i], why, usage)) {
      if (why.rfind(o.args[i] + ": ", 0) != 0) why.insert(0, o.args[i] + ": ");
      err << "varnet-cli: " << why << "\n";
      if (o.json)
        out << nlohmann::json{{"a", o.args[0]}, {"b", o.args[1]}, {"ok", false}, {"message", why}}.dump() << "\n";
      return usage ? kUsage : kFailed;
    }
  }
  nlohmann::json json;
  std::string text;
  const int status = Report(sides[0], sides[1], json, text);
  if (status < 0) err << "varnet-cli: " << json["message"].get<std::string>() << "\n";
  if (o.json) out << json.dump() << "\n";
  else out << text;
  return status < 0 ? -status : status;
}

// diff FILE on each target: the file against every scanner.
PortResult DiffPort(Session& s, const Options& o) {
  PortResult r;
  Side file, port;
  std::string why;
  bool usage = false;
  std::ostringstream unused;  // the file side connects to nothing
  if (!LoadSide(o.args[0], o, unused, file, why, usage)) {
    r.ok = false;
    r.usageError = usage;
    r.message = why.rfind(o.args[0] + ": ", 0) == 0 ? why : o.args[0] + ": " + why;
    return r;
  }
  port.name = "port:" + s.port;
  port.info = s.info;
  port.firmware = s.texts.firmware;
  port.isPort = true;
  r.status = Report(file, port, r.json, r.text);
  if (r.status < 0) {
    r.ok = false;
    r.usageError = r.status == -int(kUsage);
    r.message = r.json["message"].get<std::string>();
    r.json = nullptr;
    r.status = -1;
  }
  return r;
}

}  // namespace

bool LoadConfigFile(const std::string& path, DeviceInfo& info, std::string& why) {
  Side side;
  if (!LoadConfigFile(path, side, why)) return false;
  info = side.info;
  return true;
}

std::vector<SettingsDifference> SettingsDifferences(const DeviceInfo& a, const std::string& firmwareA,
                                                    const DeviceInfo& b, const std::string& firmwareB) {
  Side sa, sb;
  sa.info = a;
  sa.firmware = firmwareA;
  sb.info = b;
  sb.firmware = firmwareB;
  std::vector<SettingsDifference> out;
  for (const GroupValues& d : Differences(sa, sb))
    out.push_back(
        {d.category, d.title, d.a.value_or(std::vector<std::string>{}), d.b.value_or(std::vector<std::string>{})});
  return out;
}

CommandSpec ShowCommand() {
  CommandSpec c{.name = "show", .summary = "the settings a configuration file or profile holds"};
  c.details =
      "Reads each configuration file as the import would take it and lists its settings with the model rules of the "
      "file's model, as get lists a scanner's. A profile lists the groups it names with the options it names.";
  c.args = {
      {"FILE", "configuration files (.vt) or profiles (.yaml, .yml)", 1, SIZE_MAX, Completion::File, ".vt .yaml .yml"}};
  c.shared = {"--json"};
  c.examples = {"show golden.vt", "show till.yaml"};
  c.needsScanner = false;
  c.runAlone = Show;
  return c;
}

CommandSpec DiffCommand() {
  CommandSpec c{.name = "diff", .summary = "differing settings; A, B: files or port:NAME; FILE: against each port"};
  c.details =
      "With two arguments, each a configuration file, a profile or port:NAME, the groups whose options in force "
      "differ. A profile names only some groups: those are compared, as what applying it would change. With one "
      "file, that file against each scanner of --port or --all (or the first USB scanner). Exit status 0 when "
      "nothing differs, 1 when something does, 2 when a profile names something unknown.";
  c.args = {{"A", "a configuration file, a profile or port:NAME (alone: the file to hold against each scanner)", 1, 1,
             Completion::FileOrPort, ".vt .yaml .yml"},
            {"B", "a configuration file, a profile or port:NAME", 0, 1, Completion::FileOrPort, ".vt .yaml .yml"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"diff golden.vt port:ttyACM0", "diff till.yaml port:ttyACM0", "--all --json diff golden.vt"};
  c.run = DiffPort;
  c.runAlone = DiffAlone;
  c.aloneFromArgs = 2;
  return c;
}
}  // namespace varnet::cli
