// SPDX-License-Identifier: Apache-2.0
#include "settings/model_rules.h"
#include "ui_common/text.h"

#include <algorithm>
#include <cstring>

namespace varnet {
namespace {

bool IsCode5Or6(const ScannerModel& m) { return m.code == 5 || m.code == 6; }
bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// Scanners with an infrared sense trigger use the sensitivity command for the
// trigger type instead.
bool HasSenseTriggerTypes(const ScannerModel& m) {
  return m.code == 2 && (m.name == "HTR-84" || m.name == "HTR-85" || m.name == "QB-55");
}

struct Substitute {
  const char* english;
  const char* chinese;
  OptionCode code;
};

constexpr Substitute kSenseTriggerTypes[] = {
    {"Image + IrDA", "影像+红外线触发", {0xA1, 0x02, 0x13, 0x03}},
    {"IrDA", "红外线触发", {0xA1, 0x02, 0x11, 0x01}},
    {"Image Change", "影像触发", {0xA1, 0x02, 0x12, 0x02}},
};

// LED colours of the code 5 and 6 scanners; P1 P2 stay those of the group.
constexpr Substitute kLedColours[] = {
    {"White / Red / Blue LEDs", "循环光源切换", {0, 0, 0x20, 0x00}},
    {"White LED", "白色光源", {0, 0, 0x21, 0x01}},
    {"Red LED", "红色光源", {0, 0, 0x22, 0x02}},
    {"Blue LED", "蓝色光源", {0, 0, 0x23, 0x03}},
};

constexpr Substitute kCivicMail = {"Civic Mail", "Civic Mail", {0xBF, 0x01, 0x0E, 0x0E}};

// Group labels of the substitutions.
constexpr const char* kIlluminationLedLabel = "Illumination LED";
constexpr const char* kSenseModeLabel = "Sense Mode";

enum class Effect { Keep, End };

// The group rules in their order. May change the label and the value location.
Effect ApplyGroupRules(EffectiveGroup& g, const ScannerModel& m) {
  const std::string_view t = g.Title();
  if (t == "Same Barcode Reading Mode" && IsCode5Or6(m)) return Effect::End;
  if (t == "Code 11" && (IsCode5Or6(m) || m.name == "QB-31" || m.name == "QB-31-S")) return Effect::End;
  if (t == "Illumination LEDs" && m.name != "HTR-81" && m.name != "HWR-81") return Effect::End;
  if (t == "Illumination Mode" && m.name == "HT-27-PM") return Effect::End;
  if (t == "Illumination Level" && IsCode5Or6(m)) {
    g.english = kIlluminationLedLabel;
    g.chinese = "照明光源";
    g.valueOffset = 61;
  } else if (t == "Sense Mode Sensitivity" && HasSenseTriggerTypes(m)) {
    g.english = kSenseModeLabel;
    g.chinese = "自动感应模式";
    g.valueOffset = 56;
  }
  return Effect::Keep;
}

void Use(EffectiveOption& o, const Substitute& s) {
  o.english = s.english;
  o.chinese = s.chinese;
  o.code = s.code;
}

// The option rules in their order. May change the label and the code.
Effect ApplyOptionRules(const EffectiveGroup& g, EffectiveOption& o, const ScannerModel& m) {
  const std::string_view t = g.Title();
  const std::string_view label = o.CatalogueLabel();
  if (t == "Readable Symbologies") {
    if (label == "Code 11" && (IsCode5Or6(m) || m.name == "QB-31" || m.name == "QB-31-S")) return Effect::End;
    if (label == "DotCode") {
      if (m.name == "QB-32-S" && Contains(m.firmware, "PLC-K4702")) {
        Use(o, kCivicMail);
        return Effect::Keep;
      }
      const bool dotCode = (m.code == 3 && Contains(m.name, "300-V")) ||
                           (m.firmware.size() >= 2 && m.firmware[1] == 'T') || Contains(m.firmware, "RZK");
      if (!dotCode) return Effect::End;
    }
  } else if (t == "Illumination Mode") {
    if (label != "During Scan" && IsCode5Or6(m)) return Effect::End;
  } else if (t == "Sense Mode Sensitivity") {
    if (o.index <= 2 && HasSenseTriggerTypes(m)) Use(o, kSenseTriggerTypes[o.index]);
  } else if (t == "Illumination Level") {
    if (o.index <= 3 && IsCode5Or6(m)) {
      if (m.code == 6 && o.index == 3) return Effect::End;
      const OptionCode catalogue = o.code;
      Use(o, kLedColours[o.index]);
      o.code.P1 = catalogue.P1;
      o.code.P2 = catalogue.P2;
    } else if (label == "Blue LED" && !IsCode5Or6(m)) {
      return Effect::End;
    }
  }
  return Effect::Keep;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

// Index of the first name that matches at the strictest level that finds
// one: exact, then without surrounding blanks, then also ignoring case.
// Each candidate may carry several names (a title and a shown label).
template <typename NamesOf>
std::optional<size_t> BestMatch(size_t count, NamesOf namesOf, std::string_view wanted) {
  using Compare = bool (*)(std::string_view, std::string_view);
  const Compare levels[] = {
      [](std::string_view a, std::string_view b) { return a == b; },
      [](std::string_view a, std::string_view b) { return Trimmed(a) == Trimmed(b); },
      [](std::string_view a, std::string_view b) { return Folded(a) == Folded(b); },
  };
  for (Compare same : levels)
    for (size_t i = 0; i < count; ++i)
      for (std::string_view n : namesOf(i))
        if (same(n, wanted)) return i;
  return std::nullopt;
}

}  // namespace

std::string SuggestionText(const std::vector<std::string>& suggestions) {
  if (suggestions.empty()) return {};
  std::string t = "; did you mean ";
  for (size_t i = 0; i < suggestions.size(); ++i) {
    if (i) t += i + 1 == suggestions.size() ? " or " : ", ";
    t += Quoted(suggestions[i]);
  }
  return t + "?";
}

ScannerModel ScannerModel::From(const ParamBlock& pb, std::string firmware) {
  ScannerModel m;
  m.code = pb.ModelCode();
  m.name = pb.ModelName();
  m.firmware = std::move(firmware);
  return m;
}

std::vector<EffectiveGroup> ShownGroups(int category, const ScannerModel& model) {
  std::vector<EffectiveGroup> shown;
  const SettingCategory* cat = Category(category);
  if (!cat) return shown;
  for (size_t pos = CategoryStart(category, model.code, model.name); pos < cat->groups.size(); ++pos) {
    const SettingGroup& group = cat->groups[pos];
    if (group.IsEndMarker()) break;
    EffectiveGroup g = PlainGroup(&group);
    if (ApplyGroupRules(g, model) == Effect::End) break;
    shown.push_back(g);
  }
  return shown;
}

std::vector<EffectiveOption> ShownOptions(const EffectiveGroup& group, const ScannerModel& model) {
  std::vector<EffectiveOption> shown;
  if (!group.group) return shown;
  for (size_t i = 0; i < group.group->options.size(); ++i) {
    EffectiveOption o = PlainOption(group.group, int(i));
    if (ApplyOptionRules(group, o, model) == Effect::End) break;
    shown.push_back(o);
  }
  return shown;
}

std::vector<std::string> CloseMatches(std::string_view name, const std::vector<std::string>& candidates, size_t max) {
  const std::string wanted = Folded(name);
  const size_t limit = std::max<size_t>(2, wanted.size() / 3);
  std::vector<std::pair<size_t, std::string>> scored;
  for (const std::string& c : candidates) {
    const std::string folded = Folded(c);
    const size_t d = EditDistance(wanted, folded);
    if (d <= limit) scored.emplace_back(d, c);
    else if (wanted.size() >= 3 && Contains(folded, wanted))
      scored.emplace_back(limit + 1, c);  // a part of the name: after the near misses
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (auto& [d, c] : scored) {
    if (out.size() >= max) break;
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(std::move(c));
  }
  return out;
}

std::vector<std::string> GroupLabelsOnAnyModel(const SettingGroup& group) {
  std::vector<std::string> labels{group.english};
  const std::string_view t = group.english;
  if (t == "Illumination Level") labels.emplace_back(kIlluminationLedLabel);
  if (t == "Sense Mode Sensitivity") labels.emplace_back(kSenseModeLabel);
  return labels;
}

std::vector<std::string> OptionLabelsOnAnyModel(const SettingGroup& group) {
  std::vector<std::string> labels;
  auto add = [&](const char* label) {
    if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.emplace_back(label);
  };
  for (const SettingOption& o : group.options) add(o.english);
  const std::string_view t = group.english;
  if (t == "Readable Symbologies") add(kCivicMail.english);
  if (t == "Sense Mode Sensitivity")
    for (const Substitute& s : kSenseTriggerTypes) add(s.english);
  if (t == "Illumination Level")
    for (const Substitute& s : kLedColours) add(s.english);
  return labels;
}

GroupLookup FindShownGroup(const ScannerModel& model, std::string_view name) {
  GroupLookup r;
  std::vector<EffectiveGroup> all;
  for (int c = 0; c < kCategoryCount; ++c) {
    const auto shown = ShownGroups(c, model);
    all.insert(all.end(), shown.begin(), shown.end());
  }
  const auto found = BestMatch(
      all.size(),
      [&](size_t i) {
        return std::array<std::string_view, 2>{all[i].Title(), all[i].english};
      },
      name);
  if (found) {
    r.group = all[*found];
    return r;
  }
  for (int c = 0; c < kCategoryCount && !r.hiddenForModel; ++c)
    for (const SettingGroup& g : Category(c)->groups)
      if (!g.IsEndMarker() && Folded(g.english) == Folded(name)) r.hiddenForModel = true;
  std::vector<std::string> names;
  names.reserve(all.size());
  for (const EffectiveGroup& g : all) names.emplace_back(g.english);
  r.suggestions = CloseMatches(name, names);
  return r;
}

OptionLookup FindShownOption(const EffectiveGroup& group, const ScannerModel& model, std::string_view label) {
  OptionLookup r;
  const auto shown = ShownOptions(group, model);
  const auto found = BestMatch(
      shown.size(), [&](size_t i) { return std::array<std::string_view, 1>{shown[i].english}; }, label);
  if (found) {
    r.option = shown[*found];
    return r;
  }
  if (group.group)
    for (const SettingOption& o : group.group->options)
      if (Folded(o.english) == Folded(label)) r.hiddenForModel = true;
  std::vector<std::string> names;
  names.reserve(shown.size());
  for (const EffectiveOption& o : shown) names.push_back(Trimmed(o.english));
  r.suggestions = CloseMatches(label, names);
  return r;
}

}  // namespace varnet
