// SPDX-License-Identifier: Apache-2.0
#include "profiles/profile_plan.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "link/protocol.h"
#include "pages/page_summary.h"
#include "pages/page_text.h"
#include "profiles/names.h"
#include "profiles/yaml11.h"
#include "settings/apply_option.h"

namespace varnet::profiles {

namespace {

constexpr int kOutputCategory = kCategoryCount;

std::string ModelText(std::optional<std::string> name, std::optional<int> code) {
  std::string t = name ? *name : "";
  if (code) t += (t.empty() ? "model code " : " (model code ") + std::to_string(*code) + (t.empty() ? "" : ")");
  return t;
}

// What the profile wants of one settings group: a state per shown row, or
// none for rows it leaves alone.
struct WantedGroup {
  EffectiveGroup group;
  std::vector<EffectiveOption> shown;
  std::vector<std::optional<bool>> rows;
  int line = 0;
};

// What the profile wants of the page fields.
struct WantedField {
  PageField field;
  int row = -1;      // List
  int count = -1;    // Count
  std::string text;  // Text, ISO-8859-1
  int line = 0;
};

size_t RowOf(const std::vector<EffectiveOption>& shown, int index) {
  return size_t(std::find_if(shown.begin(), shown.end(), [&](const EffectiveOption& o) { return o.index == index; }) -
                shown.begin());
}

std::vector<std::string> LabelsInForce(const std::vector<EffectiveOption>& shown, const std::vector<bool>& ticks) {
  std::vector<std::string> labels;
  for (size_t r = 0; r < shown.size(); ++r)
    if (ticks[r]) labels.push_back(Trimmed(shown[r].english));
  return labels;
}

bool IsInnerChoice(const EffectiveGroup& g, int index) {
  const OptionKind k = KindOfOption(g, index);
  return k == OptionKind::SymbologyChoice || k == OptionKind::Code11Choice;
}

// The settings page's own rule and reason, as `set` gives it.
std::optional<std::string> DefaultGreyed(const EffectiveGroup& g, const DeviceInfo& info) {
  const std::string why = WhyGroupTakesNoClicks(g, info.HasFormatBlock());
  if (why.empty()) return std::nullopt;
  return "group " + Quoted(g.english) + ": " + why;
}

class Planner {
 public:
  Planner(const DeviceInfo& info, const ScannerModel& model, const PlanOptions& options)
      : info_(info), model_(model), options_(options), scratch_(info) {}

  ProfilePlan Run(const Profile& profile) {
    Resolve(profile);
    if (plan_.UsageError()) return Finish();
    CheckModel(profile);
    for (int c = 0; c < kCategoryCount; ++c)
      for (const EffectiveGroup& g : ShownGroups(c, model_)) {
        const auto it = wanted_.find(std::string(g.Title()));
        if (it != wanted_.end()) PlanGroup(it->second);
      }
    if (!plan_.Refused()) CheckLinked();
    PlanOutput();
    PlanTrigger();
    CollectChanges();
    return Finish();
  }

  std::vector<Change> Compare(const Profile& profile, const DeviceInfo& after) {
    Resolve(profile);
    if (plan_.Refused()) return {};
    scratch_ = after;
    CollectChanges();
    return plan_.changes;
  }

 private:
  void Resolve(const Profile& profile) {
    for (const CategoryEntry& c : profile.categories) {
      const auto& names = CategoryNames();
      const int index = int(std::find(names.begin(), names.end(), c.name.text) - names.begin());
      for (const GroupEntry& g : c.groups) {
        if (index < kCategoryCount) ResolveSettingsGroup(index, g);
        else ResolvePageField(index, g);
      }
    }
  }

  const DeviceInfo& info_;
  const ScannerModel& model_;
  const PlanOptions& options_;
  DeviceInfo scratch_;  // the copies as the steps so far leave them
  ProfilePlan plan_;
  std::map<std::string, WantedGroup> wanted_;       // by catalogue title
  std::vector<WantedField> fields_;                 // in file order
  std::vector<std::pair<std::string, int>> named_;  // groups and fields named, with their lines

  std::string ScannerText() const { return ModelText(Latin1ToUtf8(model_.name), model_.code); }

  void Refuse(RefusalKind kind, int line, std::string message) {
    plan_.refusals.push_back({kind, line, std::move(message)});
  }
  void Usage(int line, std::string message) { Refuse(RefusalKind::Usage, line, std::move(message)); }
  void NotHere(int line, std::string message) { Refuse(RefusalKind::Scanner, line, std::move(message)); }

  ProfilePlan Finish() {
    plan_.after = scratch_;
    if (plan_.Refused()) {
      plan_.steps.clear();
      plan_.changes.clear();
    }
    std::stable_sort(plan_.refusals.begin(), plan_.refusals.end(),
                     [](const Refusal& a, const Refusal& b) { return a.line < b.line; });
    return std::move(plan_);
  }

  // A name that two entries resolve to is a mistake the reviewer would miss.
  bool FirstMention(const std::string& key, int line, std::string_view name) {
    for (const auto& [k, l] : named_)
      if (k == key) {
        Usage(line, Quoted(name) + " names the same group as line " + std::to_string(l));
        return false;
      }
    named_.emplace_back(key, line);
    return true;
  }

  void CheckModel(const Profile& p) {
    const ParamBlock& pb = info_.paramBlock;
    // The block holds ISO-8859-1, the profile UTF-8.
    const std::string name = Latin1ToUtf8(pb.ModelName());
    const bool otherName = p.modelName && *p.modelName != name;
    const bool otherCode = p.modelCode && *p.modelCode != pb.ModelCode();
    if ((otherName || otherCode) && !options_.anyModel)
      NotHere(p.modelLine, "the profile is for " + ModelText(p.modelName, p.modelCode) + ", this scanner is " +
                               ModelText(name, pb.ModelCode()) + " (--any-model applies it anyway)");
  }

  // ---- settings groups -------------------------------------------------

  void ResolveSettingsGroup(int category, const GroupEntry& g) {
    const std::string& name = g.name.text;
    const GroupLookup lookup = FindShownGroup(model_, name);
    if (!lookup.group || lookup.group->category != category) {
      RefuseUnshownGroup(category, g.name, lookup);
      return;
    }
    const EffectiveGroup group = *lookup.group;
    if (!FirstMention(std::string(group.Title()), g.name.line, name)) return;
    WantedGroup w{group, ShownOptions(group, model_), {}, g.name.line};
    w.rows.assign(w.shown.size(), std::nullopt);
    const std::string label = Quoted(Trimmed(group.english));
    bool resolved = true;
    if (category != kSymbologies) {
      resolved = ResolveChoice(w, g, label);
    } else if (g.form == ValueForm::Text) {
      Usage(g.name.line, label + " holds switches: give a list of the options to be in force, or add: and remove:");
      resolved = false;
    } else if (g.form == ValueForm::List) {
      resolved = ResolveSwitchList(w, g, label);
    } else {
      ResolveAddRemove(w, g, label);
    }
    if (resolved) wanted_.emplace(std::string(group.Title()), std::move(w));
  }

  // A group this category does not show here: another category's, one of
  // another scanner, or unknown.
  void RefuseUnshownGroup(int category, const Scalar& name, const GroupLookup& lookup) {
    // Known under this name on some scanner, in which category?
    int knownIn = -1;
    for (int c = 0; c < kCategoryCount && knownIn < 0; ++c)
      for (const SettingGroup& sg : Category(c)->groups)
        for (const std::string& label : sg.IsEndMarker() ? std::vector<std::string>{} : GroupLabelsOnAnyModel(sg))
          if (Folded(label) == Folded(name.text)) knownIn = c;
    if (lookup.group) knownIn = lookup.group->category;
    if (knownIn >= 0 && knownIn != category) {
      Usage(name.line, "group " + Quoted(name.text) + " belongs to " + Quoted(Category(knownIn)->name) + ", not " +
                           Quoted(Category(category)->name));
    } else if (knownIn >= 0) {
      NotHere(name.line, "group " + Quoted(name.text) + " is not shown for this scanner (" + ScannerText() + ")");
    } else {
      std::vector<std::string> names;
      for (const EffectiveGroup& eg : ShownGroups(category, model_)) names.emplace_back(eg.english);
      Usage(name.line, "unknown group " + Quoted(name.text) + " in " + Quoted(Category(category)->name) +
                           DidYouMean(name.text, names));
    }
  }

  // A group of one choice (every category but the symbologies): one option,
  // as a text.
  bool ResolveChoice(WantedGroup& w, const GroupEntry& g, const std::string& label) {
    if (g.form != ValueForm::Text) {
      Usage(g.name.line, label + " is a single choice: give one option as a text");
      return false;
    }
    const auto row = ResolveOption(w, g.text);
    if (!row) return false;
    for (size_t r = 0; r < w.rows.size(); ++r) w.rows[r] = r == *row;
    return true;
  }

  // A symbology's switches as a list of those in force.
  bool ResolveSwitchList(WantedGroup& w, const GroupEntry& g, const std::string& label) {
    const EffectiveGroup& group = w.group;
    for (size_t r = 0; r < w.rows.size(); ++r) w.rows[r] = false;
    size_t inner = 0;
    for (const Scalar& s : g.list) {
      const auto row = ResolveOption(w, s);
      if (!row) continue;
      if (*w.rows[*row]) {
        Usage(s.line, Quoted(s.text) + " is listed twice in " + label);
        continue;
      }
      w.rows[*row] = true;
      if (IsInnerChoice(group, w.shown[*row].index)) ++inner;
    }
    // A list says the whole state, so it says which check-digit mode.
    const bool hasInner = std::any_of(w.shown.begin(), w.shown.end(),
                                      [&](const EffectiveOption& o) { return IsInnerChoice(group, o.index); });
    const bool code11 = group.Title() == "Code 11";
    if (hasInner && (inner > 1 || (inner == 0 && !code11))) {
      std::vector<std::string> choices;
      for (const EffectiveOption& o : w.shown)
        if (IsInnerChoice(group, o.index)) choices.push_back(Quoted(Trimmed(o.english)));
      std::string list;
      for (const std::string& c : choices) list += (list.empty() ? "" : ", ") + c;
      Usage(g.name.line, label + " in list form names " + (inner > 1 ? "more than one" : "none") + " of " + list +
                             ": name exactly " + (code11 ? "one, or none to leave them as they are," : "one"));
      return false;
    }
    return true;
  }

  // A symbology's switches as add: and remove:, each from the state in force.
  void ResolveAddRemove(WantedGroup& w, const GroupEntry& g, const std::string& label) {
    const std::vector<bool> ticks = TicksInForce(w.group, w.shown, info_.paramBlock);
    auto edit = [&](const std::vector<Scalar>& items, bool on) {
      for (const Scalar& s : items) {
        const auto row = ResolveOption(w, s);
        if (!row) continue;
        if (w.rows[*row]) {
          Usage(s.line, Quoted(s.text) + " is named twice in " + label + " add: and remove:");
          continue;
        }
        const int index = w.shown[*row].index;
        if (IsInnerChoice(w.group, index) && (!on || !ticks[*row])) {
          // A check-digit mode is one choice of several: add: would have to
          // take another out of force, and remove: has nothing to choose.
          Usage(s.line, Quoted(Trimmed(w.shown[*row].english)) + " is one choice of " + label + "; " +
                            (on ? "add: takes it only when it is already in force"
                                : "remove: cannot take a choice out of force") +
                            ": name the group as a list to choose it");
          continue;
        }
        w.rows[*row] = on;
      }
    };
    edit(g.add, true);
    edit(g.remove, false);
  }

  // The shown row a profile value names, by the settings page's label; a
  // YAML 1.1 boolean stands for "On"/"Off" and a number for its text.
  std::optional<size_t> ResolveOption(const WantedGroup& w, const Scalar& s) {
    OptionLookup lookup = FindShownOption(w.group, model_, s.text);
    if (!lookup.option && s.plain) {
      if (const auto b = Yaml11Bool(s.text)) {
        OptionLookup asBool = FindShownOption(w.group, model_, *b ? "On" : "Off");
        if (asBool.option) lookup = asBool;
      } else if (const auto n = Yaml11Int(s.text)) {
        OptionLookup asNumber = FindShownOption(w.group, model_, std::to_string(*n));
        if (asNumber.option) lookup = asNumber;
      }
    }
    const std::string group = Quoted(Trimmed(w.group.english));
    if (lookup.option) return RowOf(w.shown, lookup.option->index);
    bool known = lookup.hiddenForModel;
    for (const std::string& label : OptionLabelsOnAnyModel(*w.group.group))
      if (Folded(label) == Folded(s.text)) known = true;
    if (known) {
      NotHere(s.line,
              "option " + Quoted(s.text) + " of " + group + " is not shown for this scanner (" + ScannerText() + ")");
    } else {
      Usage(s.line, "unknown option " + Quoted(s.text) + " of " + group + DidYouMean(s.text, lookup.suggestions));
    }
    return std::nullopt;
  }

  // Options that share one write command (Code 32 in "Readable Symbologies"
  // and "Convert Code 39 to Code 32" in "Code 39") are one scanner setting:
  // a click on either switches both.
  void RecordLinked(const EffectiveGroup& group, const EffectiveOption& option, bool on) {
    if (KindOfOption(group, option.index) != OptionKind::OnOff) return;
    for (const EffectiveGroup& g : ShownGroups(group.category, model_))
      for (const EffectiveOption& o : ShownOptions(g, model_))
        if ((g.Title() != group.Title() || o.index != option.index) && KindOfOption(g, o.index) == OptionKind::OnOff &&
            o.code.P1 == option.code.P1 && o.code.P2 == option.code.P2)
          RecordChoice(g, o, on, scratch_.paramBlock);
  }

  void PlanGroup(const WantedGroup& w) {
    const EffectiveGroup& group = w.group;
    const std::vector<bool> before = TicksInForce(group, w.shown, scratch_.paramBlock);
    std::vector<PlanStep> steps;
    for (size_t row = 0; row < w.shown.size(); ++row) {
      if (!w.rows[row]) continue;
      const std::vector<bool> ticks = TicksInForce(group, w.shown, scratch_.paramBlock);
      if (ticks[row] == *w.rows[row]) continue;
      // A choice goes out of force when another row of it is clicked.
      if (KindOfOption(group, w.shown[row].index) != OptionKind::OnOff && !*w.rows[row]) continue;
      const ClickDecision d = DecideClick(group, w.shown, ticks, row);
      if (!d.send) continue;
      const EffectiveOption& option = w.shown[row];
      RecordChoice(group, option, d.newState, scratch_.paramBlock);
      RecordLinked(group, option, d.newState);
      PlanStep step;
      step.kind = PlanStep::Kind::Click;
      step.group = group;
      step.option = option.index;
      step.newState = d.newState;
      const bool onOff = KindOfOption(group, option.index) == OptionKind::OnOff;
      step.what =
          Trimmed(group.english) + ": " + Trimmed(option.english) + (onOff ? (d.newState ? " on" : " off") : "");
      const auto cmd = OptionCommand(group, option, d.newState);
      const auto frame = ShortCommandFrame(cmd);
      step.frames.push_back({step.what, {frame.begin(), frame.end()}});
      steps.push_back(std::move(step));
    }
    const std::vector<bool> after = TicksInForce(group, w.shown, scratch_.paramBlock);
    for (size_t row = 0; row < w.shown.size(); ++row)
      if (w.rows[row] && after[row] != *w.rows[row]) {
        NotHere(w.line, "group " + Quoted(Trimmed(group.english)) + ": no click on the settings page takes it from " +
                            ListText(LabelsInForce(w.shown, before)) + " to what the profile says");
        return;
      }
    if (!steps.empty())
      if (const auto why = (options_.greyed ? options_.greyed : DefaultGreyed)(group, info_)) {
        NotHere(w.line, *why);
        return;
      }
    for (PlanStep& s : steps) plan_.steps.push_back(std::move(s));
    if (!steps.empty()) scratch_.settingsDirty = 1;  // as the acknowledged clicks would leave it
  }

  // A group switched by a later one that shares its command (see
  // RecordLinked) would not end as the profile says: the profile asks for
  // one scanner setting both ways.
  void CheckLinked() {
    for (const auto& [title, w] : wanted_) {
      const std::vector<bool> ticks = TicksInForce(w.group, w.shown, scratch_.paramBlock);
      for (size_t row = 0; row < w.shown.size(); ++row)
        if (w.rows[row] && ticks[row] != *w.rows[row]) {
          Usage(w.line, Quoted(Trimmed(w.shown[row].english)) + " in " + Quoted(Trimmed(w.group.english)) +
                            " is one scanner setting with an option of another group, which the profile sets the "
                            "other way");
          break;
        }
    }
  }

  static std::string ListText(const std::vector<std::string>& labels) {
    if (labels.empty()) return "(none)";
    std::string t;
    for (const std::string& l : labels) t += (t.empty() ? "" : ", ") + l;
    return t;
  }

  // ---- output format and trigger pages ---------------------------------

  void ResolvePageField(int category, const GroupEntry& g) {
    const std::string& name = g.name.text;
    const bool output = category == kOutputCategory;
    const std::vector<PageField> fields =
        output ? OutputSettingsFields(info_.paramBlock.ModelCode()) : TriggerSettingsFields();
    const auto found =
        std::find_if(fields.begin(), fields.end(), [&](const PageField& f) { return Folded(f.name) == Folded(name); });
    const char* categoryName = output ? kOutputSettings : kTriggerSettings;
    if (found == fields.end()) {
      // Model codes 5 and 6 end the symbology list early.
      const std::vector<PageField> all = output ? OutputSettingsFields(1) : fields;
      const bool known =
          std::any_of(all.begin(), all.end(), [&](const PageField& f) { return Folded(f.name) == Folded(name); });
      if (known) {
        NotHere(g.name.line, Quoted(name) + " is not shown for this scanner (" + ScannerText() + ")");
      } else {
        std::vector<std::string> names;
        names.reserve(all.size());
        for (const PageField& f : all) names.push_back(f.name);
        Usage(g.name.line, "unknown group " + Quoted(name) + " in " + Quoted(categoryName) + DidYouMean(name, names));
      }
      return;
    }
    if (!FirstMention(std::string(categoryName) + "/" + found->name, g.name.line, name)) return;
    if (g.form != ValueForm::Text) {
      Usage(g.name.line, Quoted(found->name) + " takes a single value, not a list or map");
      return;
    }
    const bool perSymbology = found->symbologyRow >= 0;
    if ((!output || perSymbology) && !info_.HasFormatBlock()) {
      NotHere(g.name.line, Quoted(found->name) + " is not shown for this scanner: it has no format block");
      return;
    }
    WantedField w{*found, -1, -1, {}, g.text.line};
    const Scalar& s = g.text;
    switch (found->Kind()) {
      case PageFieldKind::List: {
        const std::vector<std::string> choices = found->Choices();
        auto find = [&](std::string_view text) {
          return std::find_if(choices.begin(), choices.end(),
                              [&](const std::string& c) { return Folded(c) == Folded(text); });
        };
        auto it = find(s.text);
        if (it == choices.end() && s.plain) {
          if (const auto b = Yaml11Bool(s.text)) it = find(*b ? "On" : "Off");
        }
        if (it == choices.end()) {
          Usage(s.line,
                "unknown option " + Quoted(s.text) + " of " + Quoted(found->name) + DidYouMean(s.text, choices));
          return;
        }
        w.row = int(it - choices.begin());
        break;
      }
      case PageFieldKind::Count: {
        std::optional<int64_t> n;
        if (s.plain) n = Yaml11Int(s.text);
        else if (!s.text.empty() && s.text.size() <= 2 && s.text.find_first_not_of("0123456789") == std::string::npos)
          n = std::stoi(s.text);
        if (!n || *n < 0 || *n >= kCutRows) {
          Usage(s.line, Quoted(found->name) + " must be a number from 0 to " + std::to_string(kCutRows - 1) + ", not " +
                            Quoted(s.text));
          return;
        }
        w.count = int(*n);
        break;
      }
      case PageFieldKind::Text: {
        const TypedTextCheck check = CheckTypedText(s.text, &w.text);
        if (check != TypedTextCheck::Ok) {
          NotHere(s.line,
                  Quoted(found->name) + ": the page refuses " + Quoted(s.text) + ": it " + TypedTextCheckText(check));
          return;
        }
        break;
      }
    }
    fields_.push_back(std::move(w));
  }

  void AddSet(PlanStep step) {
    plan_.steps.push_back(std::move(step));
    scratch_.settingsDirty = 1;
  }

  void PlanOutput() {
    std::vector<const WantedField*> wanted;
    for (const WantedField& w : fields_)
      if (w.field.control <= PageControl::Suffix) wanted.push_back(&w);
    if (wanted.empty()) return;

    const OutputFormatValues current = RefreshOutputFormat({}, scratch_.paramBlock, scratch_.formatBlock).values;
    int generalLine = 0;
    const OutputFormatValues general = WithWantedLists(current, wanted, generalLine);
    std::vector<OutputFormatValues> sets;
    for (int row : SymbologyRowsOf(wanted))
      if (const auto v = SymbologySet(row, wanted)) sets.push_back(WithLists(*v, general));
    const bool generalChanged = general.codePageRow != current.codePageRow || general.caseRow != current.caseRow ||
                                general.codeIdRow != current.codeIdRow || general.endingRow != current.endingRow;
    if (generalChanged && sets.empty()) {
      // Only the lists change: one "Set" with the first symbology as it is.
      sets.push_back(
          WithLists(RefreshOutputFormat(general, scratch_.paramBlock, scratch_.formatBlock).values, general));
    }
    if (sets.empty()) return;
    if (!scratch_.HasFormatBlock()) {
      NotHere(generalLine, "the output format page is disabled on a scanner without a format block");
      return;
    }
    AddOutputSets(sets);
  }

  // The lists every symbology shares, as the profile wants them; `line` gets
  // the line of the first that changes.
  static OutputFormatValues WithWantedLists(OutputFormatValues general, const std::vector<const WantedField*>& wanted,
                                            int& line) {
    for (const WantedField* w : wanted) {
      int* target = nullptr;
      switch (w->field.control) {
        case PageControl::CodePage: target = &general.codePageRow; break;
        case PageControl::CaseConversion: target = &general.caseRow; break;
        case PageControl::CodeId: target = &general.codeIdRow; break;
        case PageControl::EndingCharacter: target = &general.endingRow; break;
        default: continue;
      }
      if (*target != w->row && !line) line = w->line;
      *target = w->row;
    }
    return general;
  }

  // The symbology rows with wanted cuts or texts, in list order.
  static std::vector<int> SymbologyRowsOf(const std::vector<const WantedField*>& wanted) {
    std::vector<int> rows;
    for (const WantedField* w : wanted) switch (w->field.control) {
        case PageControl::CodePage:
        case PageControl::CaseConversion:
        case PageControl::CodeId:
        case PageControl::EndingCharacter: break;
        default: rows.push_back(w->field.symbologyRow); break;
      }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
  }

  static OutputFormatValues WithLists(OutputFormatValues v, const OutputFormatValues& general) {
    v.codePageRow = general.codePageRow;
    v.caseRow = general.caseRow;
    v.codeIdRow = general.codeIdRow;
    v.endingRow = general.endingRow;
    return v;
  }

  // One symbology as the page shows it, with the profile's cuts and texts;
  // nothing when they change nothing.
  std::optional<OutputFormatValues> SymbologySet(int row, const std::vector<const WantedField*>& wanted) {
    OutputFormatValues shown;
    shown.symbologyRow = row;
    const OutputFormatView view = RefreshOutputFormat(shown, scratch_.paramBlock, scratch_.formatBlock);
    OutputFormatValues v = view.values;
    for (const WantedField* w : wanted)
      if (w->field.symbologyRow == row) SetCutOrText(*w, view.fields, v);
    if (v == view.values) return std::nullopt;
    return v;
  }

  // One wanted cut or text into `v`, when the format block holds it and the
  // page can send it.
  void SetCutOrText(const WantedField& w, const EditingFields& fields, OutputFormatValues& v) {
    const bool held = (w.field.control == PageControl::LeadingCut && fields.leadingCut) ||
                      (w.field.control == PageControl::EndingCut && fields.endingCut) ||
                      (w.field.control == PageControl::Prefix && fields.prefix) ||
                      (w.field.control == PageControl::Suffix && fields.suffix);
    if (!held) {
      NotHere(w.line, Quoted(w.field.name) + " is not held by this scanner's format block");
      return;
    }
    switch (w.field.control) {
      case PageControl::LeadingCut: v.leadingCutRow = w.count; break;
      case PageControl::EndingCut: v.endingCutRow = w.count; break;
      case PageControl::Prefix:
      case PageControl::Suffix: {
        std::string& text = w.field.control == PageControl::Prefix ? v.prefix : v.suffix;
        if (w.text.empty() && !text.empty()) {
          // The page sends no record for an empty edit, so it cannot clear one.
          NotHere(w.line, Quoted(w.field.name) +
                              ": the output format page cannot clear a text the scanner "
                              "holds (an empty edit sends nothing)");
          return;
        }
        text = w.text;
        break;
      }
      default: break;
    }
  }

  // One "Set" of the output format page for each, then the block read back.
  void AddOutputSets(const std::vector<OutputFormatValues>& sets) {
    for (const OutputFormatValues& v : sets) {
      PlanStep step;
      step.kind = PlanStep::Kind::OutputSet;
      step.output = v;
      step.what = std::string(kOutputSettings) + ": " + SymbologyRows()[size_t(v.symbologyRow)].name;
      const auto frame =
          RecordCommandFrame(OutputFormatRecords(v, FieldsInBlock(scratch_.formatBlock, v.symbologyRow)));
      if (!frame) {
        NotHere(0, step.what + ": the records do not fit one command");
        return;
      }
      step.frames.push_back({step.what, *frame});
      const auto reread = ShortCommandFrame(kReadFormatBlock);
      step.frames.push_back({"read the format block", {reread.begin(), reread.end()}});
      StoreOutputFormat(v, scratch_.paramBlock, scratch_.formatBlock);
      AddSet(std::move(step));
    }
  }

  void PlanTrigger() {
    const TriggerValues current = TriggerValuesFrom(scratch_.paramBlock);
    TriggerValues v = current;
    bool any = false;
    for (const WantedField& w : fields_) {
      switch (w.field.control) {
        case PageControl::PulseTrigger: v.polarityRow = w.row; break;
        case PageControl::StartCommand: v.startCommand = w.text; break;
        case PageControl::StopCommand: v.stopCommand = w.text; break;
        case PageControl::TransmitBadRead: v.transmitBadRead = w.row == 1; break;
        case PageControl::BadReadMessage: v.badReadMessage = w.text; break;
        default: continue;
      }
      any = true;
    }
    if (!any || v == current) return;
    PlanStep step;
    step.kind = PlanStep::Kind::TriggerSet;
    step.trigger = v;
    step.what = kTriggerSettings;
    const auto frame = RecordCommandFrame(TriggerRecords(v));
    if (!frame) {
      NotHere(0, step.what + ": the records do not fit one command");
      return;
    }
    step.frames.push_back({step.what, *frame});
    StoreTriggerValues(v, scratch_.paramBlock);
    AddSet(std::move(step));
  }

  // Every named group whose labels in force differ between the scanner's
  // copies and the planned end state.
  void CollectChanges() {
    if (plan_.Refused()) return;
    for (int c = 0; c < kCategoryCount; ++c)
      for (const EffectiveGroup& g : ShownGroups(c, model_)) {
        if (!wanted_.count(std::string(g.Title()))) continue;
        const std::vector<EffectiveOption> shown = ShownOptions(g, model_);
        Change change{Category(c)->name, std::string(g.Title()),
                      LabelsInForce(shown, TicksInForce(g, shown, info_.paramBlock)),
                      LabelsInForce(shown, TicksInForce(g, shown, scratch_.paramBlock))};
        if (change.from != change.to) plan_.changes.push_back(std::move(change));
      }
    for (const bool output : {true, false}) {
      const std::vector<PageField> fields =
          output ? OutputSettingsFields(info_.paramBlock.ModelCode()) : TriggerSettingsFields();
      for (const PageField& f : fields) {
        if (std::none_of(fields_.begin(), fields_.end(), [&](const WantedField& w) { return w.field.name == f.name; }))
          continue;
        Change change{output ? kOutputSettings : kTriggerSettings, f.name,
                      PageFieldValues(f, info_.paramBlock, info_.formatBlock),
                      PageFieldValues(f, scratch_.paramBlock, scratch_.formatBlock)};
        if (change.from != change.to) plan_.changes.push_back(std::move(change));
      }
    }
  }
};

}  // namespace

bool ProfilePlan::UsageError() const {
  return std::any_of(refusals.begin(), refusals.end(), [](const Refusal& r) { return r.kind == RefusalKind::Usage; });
}

ProfilePlan PlanProfile(const Profile& profile, const DeviceInfo& info, const ScannerModel& model,
                        const PlanOptions& options) {
  return Planner(info, model, options).Run(profile);
}

std::vector<Change> ChangedGroups(const Profile& profile, const DeviceInfo& before, const DeviceInfo& after,
                                  const ScannerModel& model) {
  const PlanOptions options{.anyModel = true};
  return Planner(before, model, options).Compare(profile, after);
}

std::string RefusalsText(const std::vector<Refusal>& refusals) {
  std::string t;
  for (const Refusal& r : refusals)
    t += (t.empty() ? "" : "\n") + (r.line > 0 ? "line " + std::to_string(r.line) + ": " : std::string()) + r.message;
  return t;
}

}  // namespace varnet::profiles
