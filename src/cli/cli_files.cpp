// SPDX-License-Identifier: Apache-2.0
// "show" and "diff": the settings a configuration file holds, and what
// differs between two files, two scanners, or a file and a scanner.
#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "cli/cli_settings.h"
#include "transfer/config_file.h"
#include "transfer/import_settings.h"

namespace varnet::cli {

namespace {

// The settings of one side: a configuration file or a connected scanner.
struct Side {
  std::string name;  // the file's path, or "port:NAME"
  DeviceInfo info;
  std::string firmware = kUnknownText;  // a file does not carry it
  bool isPort = false;
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

// show FILE.vt...
int Show(const Options& o, Context& context) {
  std::ostream& out = context.out;
  std::ostream& err = context.err;
  int status = kOk;
  for (const std::string& path : o.args) {
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

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
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
  std::erase_if(all, [](const GroupValues& v) { return v.a.value_or(std::vector<std::string>{}) ==
                                                       v.b.value_or(std::vector<std::string>{}); });
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
  return s.info.paramBlock.ModelName() + ", model code " + std::to_string(s.info.paramBlock.ModelCode());
}

bool SameModel(const Side& a, const Side& b) {
  return a.info.paramBlock.ModelCode() == b.info.paramBlock.ModelCode() &&
         a.info.paramBlock.ModelName() == b.info.paramBlock.ModelName();
}

// The differences as JSON and as text; the exit status says whether there were any.
int Report(Side& a, Side& b, nlohmann::json& json, std::string& text) {
  // A file compared with a scanner of its own model is read with that
  // scanner's firmware text, as the scanner would show it after an import;
  // otherwise rules that look at the firmware would report differences that
  // are not in the bytes.
  if (a.isPort != b.isPort && SameModel(a, b)) (a.isPort ? b : a).firmware = (a.isPort ? a : b).firmware;
  const std::vector<GroupValues> differences = Differences(a, b);
  const bool otherModel = a.info.paramBlock.ModelCode() != b.info.paramBlock.ModelCode();
  {
    nlohmann::json list = nlohmann::json::array();
    for (const GroupValues& d : differences)
      list.push_back({{"category", d.category},
                      {"group", d.title},
                      {"a", d.a.value_or(std::vector<std::string>{})},
                      {"b", d.b.value_or(std::vector<std::string>{})}});
    json = {{"a", a.name},
            {"b", b.name},
            {"a_model_code", a.info.paramBlock.ModelCode()},
            {"b_model_code", b.info.paramBlock.ModelCode()},
            {"differences", list}};
  }
  {
    std::ostringstream out;
    out << "a: " << a.name << " (" << ModelText(a) << ")\n"
        << "b: " << b.name << " (" << ModelText(b) << ")\n";
    if (otherModel) out << "different model codes: each side is read with its own model rules\n";
    for (const GroupValues& d : differences)
      out << d.category << " / " << d.title << "\n  a: " << LabelsText(d.a) << "\n  b: " << LabelsText(d.b) << "\n";
    out << (differences.empty() ? "no differences\n"
                                : std::to_string(differences.size()) + " group(s) differ\n");
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

bool LoadSide(const std::string& arg, const Options& o, std::ostream& err, Side& side, std::string& why) {
  if (arg.rfind("port:", 0) == 0) {
    if (arg.size() == 5) {
      why = "port: needs a port name";
      return false;
    }
    return LoadPort(arg.substr(5), o, err, side, why);
  }
  return LoadConfigFile(arg, side, why);
}

// diff A B
int DiffAlone(const Options& o, Context& context) {
  std::ostream& out = context.out;
  std::ostream& err = context.err;
  Side sides[2];
  for (int i = 0; i < 2; ++i) {
    std::string why;
    if (!LoadSide(o.args[i], o, err, sides[i], why)) {
      err << "varnet-cli: " << o.args[i] << ": " << why << "\n";
      if (o.json) out << nlohmann::json{{"a", o.args[0]}, {"b", o.args[1]}, {"ok", false}, {"message", why}}.dump() << "\n";
      return kFailed;
    }
  }
  nlohmann::json json;
  std::string text;
  const int status = Report(sides[0], sides[1], json, text);
  if (o.json) out << json.dump() << "\n";
  else out << text;
  return status;
}

// diff FILE on each target: the file against every scanner.
PortResult DiffPort(Session& s, const Options& o) {
  PortResult r;
  Side file, port;
  std::string why;
  if (!LoadConfigFile(o.args[0], file, why)) {
    r.ok = false;
    r.message = o.args[0] + ": " + why;
    return r;
  }
  port.name = "port:" + s.port;
  port.info = s.info;
  port.firmware = s.texts.firmware;
  port.isPort = true;
  r.status = Report(file, port, r.json, r.text);
  return r;
}

}  // namespace

CommandSpec ShowCommand() {
  CommandSpec c{.name = "show", .summary = "the settings a configuration file holds"};
  c.details =
      "Reads each file as the import would take it and lists its settings with the model rules of the file's model, "
      "as get lists a scanner's.";
  c.args = {{"FILE.vt", "configuration files", 1, SIZE_MAX, Completion::File, ".vt"}};
  c.shared = {"--json"};
  c.examples = {"show golden.vt"};
  c.needsScanner = false;
  c.runAlone = Show;
  return c;
}

CommandSpec DiffCommand() {
  CommandSpec c{.name = "diff", .summary = "differing settings; A, B: files or port:NAME; FILE: against each port"};
  c.details =
      "With two arguments, each a configuration file or port:NAME, the groups whose options in force differ. With "
      "one file, that file against each scanner of --port or --all (or the first USB scanner). Exit status 0 when "
      "nothing differs, 1 when something does.";
  c.args = {{"A", "a configuration file or port:NAME (alone: the file to hold against each scanner)", 1, 1,
             Completion::FileOrPort, ".vt"},
            {"B", "a configuration file or port:NAME", 0, 1, Completion::FileOrPort, ".vt"}};
  c.shared = {"--port", "--all", "--baud", "--json"};
  c.examples = {"diff golden.vt port:ttyACM0", "--all --json diff golden.vt"};
  c.run = DiffPort;
  c.runAlone = DiffAlone;
  c.aloneFromArgs = 2;
  return c;
}
}  // namespace varnet::cli
