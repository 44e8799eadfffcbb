// SPDX-License-Identifier: Apache-2.0
// "get" and "set": the settings page's lists and clicks from the command line.
#include "cli/cli_settings.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <variant>

#include "cli/cli.h"
#include "settings/apply_option.h"
#include "settings/catalogue.h"
#include "ui_common/text.h"

namespace varnet::cli {

namespace {

PortResult UsageError(std::string message) {
  PortResult r;
  r.ok = false;
  r.usageError = true;
  r.message = std::move(message);
  return r;
}

PortResult UnknownGroup(const std::string& name, bool hidden, const std::vector<std::string>& suggestions) {
  if (hidden)
    return UsageError("group " + Quoted(name) + " is not shown for this scanner" + CloseMatchText(suggestions));
  return UsageError("unknown group " + Quoted(name) + CloseMatchText(suggestions));
}

ScannerModel ModelOf(const Session& s) { return ScannerModel::From(s.info.paramBlock, s.texts.firmware); }

// get [GROUP]: every shown group with the options in force, or one group.
PortResult Get(Session& s, const Options& o) {
  const ScannerModel model = ModelOf(s);
  std::vector<CategoryState> categories = AllCategories(s.info, model);

  if (!o.args.empty()) {
    const std::string& wanted = o.args[0];
    // The settings groups by the same look-up as "set"; the groups of later
    // categories by title or label.
    std::optional<std::string> title;
    const GroupLookup lookup = FindShownGroup(model, wanted);
    if (lookup.group) title = std::string(lookup.group->Title());
    std::vector<std::string> names;
    for (const CategoryState& c : categories)
      for (const GroupState& g : c.groups) {
        names.push_back(g.label);
        if (!title && (Folded(g.title) == Folded(wanted) || Folded(g.label) == Folded(wanted))) title = g.title;
      }
    if (!title) return UnknownGroup(wanted, lookup.hiddenForModel, CloseMatches(wanted, names));
    for (CategoryState& c : categories) std::erase_if(c.groups, [&](const GroupState& g) { return g.title != *title; });
    std::erase_if(categories, [](const CategoryState& c) { return c.groups.empty(); });
  }

  PortResult r;
  r.json = {{"port", s.port},
            {"model_name", s.info.paramBlock.ModelName()},
            {"model_code", s.info.paramBlock.ModelCode()},
            {"categories", CategoriesJson(categories)}};
  r.text = CategoriesText(categories);
  return r;
}

// One GROUP OPTION [on|off] of "set", found among what this scanner shows.
struct SetStep {
  EffectiveGroup group;
  int index = 0;  // the option's index in its group
  std::optional<bool> wanted;
  std::string name;  // "Group: Option"
  bool onOff = false;
};

// Splits the arguments into steps: an "on" or "off" after an option belongs
// to it. Every step is checked before anything is sent, so a typo in the
// last pair leaves the scanner untouched.
std::variant<std::vector<SetStep>, PortResult> SetSteps(const ScannerModel& model,
                                                        const std::vector<std::string>& args) {
  std::vector<SetStep> steps;
  for (size_t i = 0; i < args.size();) {
    if (i + 1 >= args.size()) return UsageError("\"" + args[i] + "\" has no OPTION after it (and is not on or off)");
    const std::string& groupName = args[i];
    const std::string& optionName = args[i + 1];
    i += 2;
    std::optional<bool> wanted;
    if (i < args.size() && (Folded(args[i]) == "on" || Folded(args[i]) == "off")) wanted = Folded(args[i++]) == "on";

    const GroupLookup groupLookup = FindShownGroup(model, groupName);
    if (!groupLookup.group) return UnknownGroup(groupName, groupLookup.hiddenForModel, groupLookup.suggestions);
    const EffectiveGroup group = *groupLookup.group;
    const std::string groupLabel = Trimmed(group.english);
    const OptionLookup optionLookup = FindShownOption(group, model, optionName);
    if (!optionLookup.option) {
      const std::string what =
          optionLookup.hiddenForModel ? " is not shown for this scanner in group " : " is not an option of group ";
      return UsageError("option " + Quoted(optionName) + what + Quoted(groupLabel) +
                        CloseMatchText(optionLookup.suggestions));
    }
    SetStep step{group, optionLookup.option->index, wanted, groupLabel + ": " + Trimmed(optionLookup.option->english),
                 KindOfOption(group, optionLookup.option->index) == OptionKind::OnOff};
    if (!step.onOff && wanted == false)
      return UsageError(Quoted(Trimmed(optionLookup.option->english)) + " is one choice of " + Quoted(groupLabel) +
                        "; it is switched off by choosing another option");
    steps.push_back(std::move(step));
  }
  return steps;
}

// set GROUP OPTION [on|off]...: what one click on each of those rows of the
// page does, in order, on one connection.
PortResult Set(Session& s, const Options& o) {
  const ScannerModel model = ModelOf(s);
  auto parsed = SetSteps(model, o.args);
  if (auto* error = std::get_if<PortResult>(&parsed)) return *error;
  const std::vector<SetStep>& steps = std::get<std::vector<SetStep>>(parsed);

  PortResult r;
  for (const SetStep& step : steps) {
    const std::string why = WhyGroupTakesNoClicks(step.group, s.info.HasFormatBlock());
    if (why.empty()) continue;
    r.ok = false;
    r.message = Quoted(Trimmed(step.group.english)) + " cannot be changed: " + why;
    return r;
  }
  r.dryRun = o.dryRun;
  // A dry run works on a copy, so that later pairs see the earlier ones; the
  // copy is what the scanner would hold at the end.
  if (o.dryRun) s.planned = s.info;
  DeviceInfo& info = o.dryRun ? *s.planned : s.info;
  std::vector<std::string> lines;
  for (size_t n = 0; n < steps.size(); ++n) {
    const SetStep& step = steps[n];
    const std::vector<EffectiveOption> shown = ShownOptions(step.group, model);
    const auto at =
        std::find_if(shown.begin(), shown.end(), [&](const EffectiveOption& e) { return e.index == step.index; });
    const size_t row = size_t(at - shown.begin());
    const std::vector<bool> ticks = TicksInForce(step.group, shown, info.paramBlock);
    if (step.onOff) {
      const bool target = step.wanted.value_or(!ticks[row]);
      if (ticks[row] == target) {
        lines.push_back(step.name + " is already " + (target ? "on" : "off") + "; nothing sent");
        continue;
      }
    } else if (!DecideClick(step.group, shown, ticks, row).send) {
      lines.push_back(step.name + " is already in force; nothing sent");
      continue;
    }

    if (o.dryRun) {
      const ClickDecision d = DecideClick(step.group, shown, ticks, row);
      RecordChoice(step.group, shown[row], d.newState, info.paramBlock);
      info.settingsDirty = 1;  // as if acknowledged
      const auto cmd = OptionCommand(step.group, shown[row], d.newState);
      r.frames.push_back(PlannedShortCommand(step.name + (step.onOff ? (d.newState ? " on" : " off") : ""), cmd));
      continue;
    }
    const ApplyResult applied = ApplyOption(s.link, info, step.group, shown, ticks, row, false);
    if (!applied.acked) {
      r.ok = false;
      lines.push_back(std::string(MessageText(MessageId::SetFailed)) + (steps.size() > 1 ? ": " + step.name : ""));
      if (n + 1 < steps.size()) lines.push_back("the rest was not sent");
      break;
    }
    s.changed = true;
    lines.push_back(std::string(MessageText(MessageId::SetSuccessfully)) + ": " + step.name +
                    (step.onOff ? (applied.ticks[row] ? " on" : " off") : ""));
    if (applied.reopenFailed) {
      // The scanner runs at the new rate, but the port could not follow it.
      r.ok = false;
      lines.push_back(MessageLine(OpenFailureMessage(s.link)));
      break;
    }
    if (applied.reopened) lines.push_back("link now at " + std::to_string(s.link.baud) + " bit/s");
    if (applied.rebootNotice) lines.push_back(MessageText(MessageId::RebootNotice));
  }
  for (const std::string& line : lines) r.message += (r.message.empty() ? "" : "\n") + line;
  return r;
}

}  // namespace

CommandSpec GetCommand() {
  CommandSpec get{.name = "get", .summary = "each shown group with the options in force"};
  get.details =
      "The groups this scanner shows (the model rules applied), by category, then the output format and trigger "
      "values as the categories \"Output Settings\" and \"Trigger Settings\".";
  get.args = {{"GROUP", "only this group: its title or the label it is shown under (case is ignored)", 0, 1,
               Completion::Group}};
  get.shared = {"--port", "--all", "--baud", "--json"};
  get.examples = {"--port ttyACM0 get", "--port ttyACM0 --json get \"Readable Symbologies\""};
  get.run = Get;
  return get;
}

CommandSpec SetCommand() {
  CommandSpec set{.name = "set", .summary = "what one click on each option row does"};
  set.details =
      "Each GROUP OPTION pair is one click on that row of the settings page; \"on\" or \"off\" after an option "
      "of a group of switches asks for that state (nothing is sent when it holds already). Every pair is checked "
      "before anything is sent; the first pair the scanner refuses stops the rest.";
  set.args = {{"GROUP OPTION [on|off]", "a group's title or label, one of its options, and for a switch on or off", 2,
               SIZE_MAX, Completion::SetPairs}};
  set.shared = {"--port", "--all", "--baud", "--save", "--dry-run", "--json"};
  set.examples = {"--port ttyACM0 --save set \"Scan Mode\" \"Sense Mode\"",
                  "--port ttyACM0 --dry-run set \"Readable Symbologies\" QR off"};
  set.run = Set;
  return set;
}

std::string CloseMatchText(const std::vector<std::string>& suggestions) { return SuggestionText(suggestions); }

nlohmann::json CategoriesJson(const std::vector<CategoryState>& categories) {
  nlohmann::json out = nlohmann::json::array();
  for (const CategoryState& c : categories) {
    nlohmann::json groups = nlohmann::json::array();
    for (const GroupState& g : c.groups) {
      nlohmann::json options = nlohmann::json::array();
      for (const OptionState& o : g.options) options.push_back({{"label", o.label}, {"in_force", o.inForce}});
      groups.push_back({{"title", g.title}, {"label", g.label}, {"options", options}});
    }
    out.push_back({{"name", c.name}, {"groups", groups}});
  }
  return out;
}

}  // namespace varnet::cli
