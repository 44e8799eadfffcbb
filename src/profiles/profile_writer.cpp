// SPDX-License-Identifier: Apache-2.0
#include "profiles/profile_writer.h"

#include <algorithm>
#include <functional>

#include "pages/page_summary.h"
#include "pages/page_text.h"
#include "profiles/profile.h"
#include "profiles/yaml11.h"
#include "settings/apply_option.h"
#include "ui_common/text.h"

namespace varnet::profiles {

namespace {

constexpr size_t kCommentWidth = 100;

// A text from the scanner inside a comment line: no line breaks.
std::string CommentText(std::string s) {
  for (char& c : s)
    if (uint8_t(c) < 0x20 || c == 0x7F) c = '?';
  return s;
}

class Writer {
 public:
  std::string out;

  // "# head: a, b, c" wrapped at the comment width.
  void Comment(const std::string& indent, const std::string& head, const std::vector<std::string>& items) {
    std::string line = indent + "# " + head;
    for (size_t i = 0; i < items.size(); ++i) {
      const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
      if (line.size() + 1 + item.size() > kCommentWidth && line.find_first_not_of(" #") != std::string::npos) {
        out += line + "\n";
        line = indent + "#  ";
      }
      line += " " + item;
    }
    out += line + "\n";
  }

  void Line(const std::string& text) { out += text + "\n"; }

  void List(const std::string& indent, const std::string& key, const std::vector<std::string>& items) {
    if (items.empty()) {
      Line(indent + YamlScalar(key) + ": []");
      return;
    }
    Line(indent + YamlScalar(key) + ":");
    for (const std::string& item : items) Line(indent + "  - " + YamlScalar(item));
  }
};

// A field's text, or a comment when the page's edit could not hold it (so
// the profile never asks for what the page would refuse).
void TextField(Writer& w, const std::string& name, const std::string& text) {
  if (CheckTypedText(text) != TypedTextCheck::Ok) {
    w.Line("    # " + name + ": left out, the page's edit cannot hold " + YamlScalar(text));
  } else {
    w.Line("    " + YamlScalar(name) + ": " + YamlScalar(text));
  }
}

std::vector<std::string> Labels(const std::vector<EffectiveOption>& shown, const std::vector<bool>& ticks, bool inForce,
                                const std::function<bool(const EffectiveOption&)>& which) {
  std::vector<std::string> labels;
  for (size_t r = 0; r < shown.size(); ++r)
    if (which(shown[r]) && (!inForce || ticks[r])) labels.push_back(Trimmed(shown[r].english));
  return labels;
}

void WriteGroup(Writer& w, const EffectiveGroup& g, const ParamBlock& pb, const ScannerModel& model) {
  const std::string indent = "    ";
  const std::vector<EffectiveOption> shown = ShownOptions(g, model);
  const std::vector<bool> ticks = TicksInForce(g, shown, pb);
  const std::string key = Trimmed(g.english);
  auto any = [](const EffectiveOption&) { return true; };
  if (g.category != kSymbologies) {
    const std::vector<std::string> choices = Labels(shown, ticks, false, any);
    w.Comment(indent, "one of:", choices);
    const std::vector<std::string> inForce = Labels(shown, ticks, true, any);
    if (inForce.size() == 1) w.Line(indent + YamlScalar(key) + ": " + YamlScalar(inForce[0]));
    else w.Line(indent + "# " + key + ": left out, the scanner holds a value that no option stands for");
    return;
  }
  auto inner = [&](const EffectiveOption& o) { return KindOfOption(g, o.index) != OptionKind::OnOff; };
  auto onOff = [&](const EffectiveOption& o) { return KindOfOption(g, o.index) == OptionKind::OnOff; };
  const std::vector<std::string> choices = Labels(shown, ticks, false, inner);
  const std::vector<std::string> switches = Labels(shown, ticks, false, onOff);
  if (!choices.empty()) w.Comment(indent, "one of:", choices);
  if (!switches.empty()) w.Comment(indent, choices.empty() ? "any of:" : "and any of:", switches);
  const size_t innerInForce = Labels(shown, ticks, true, inner).size();
  const bool code11 = g.Title() == "Code 11";
  if (!choices.empty() && (innerInForce > 1 || (innerInForce == 0 && !code11))) {
    // No list can name this state; say only what the switches are.
    w.Line(indent + "# the check-digit mode is left out: the scanner holds " +
           (innerInForce ? "several of them at once" : "none of them"));
    w.Line(indent + YamlScalar(key) + ":");
    w.List(indent + "  ", "add", Labels(shown, ticks, true, onOff));
    std::vector<std::string> off;
    for (size_t r = 0; r < shown.size(); ++r)
      if (onOff(shown[r]) && !ticks[r]) off.push_back(Trimmed(shown[r].english));
    w.List(indent + "  ", "remove", off);
    return;
  }
  w.List(indent, key, Labels(shown, ticks, true, any));
}

}  // namespace

std::string WriteProfile(const DeviceInfo& info, const ScannerModel& model) {
  Writer w;
  const ParamBlock& pb = info.paramBlock;
  const std::string modelName = Latin1ToUtf8(pb.ModelName());
  w.Line("# Varnet profile: the settings of a " + CommentText(modelName) + " (model code " +
         std::to_string(pb.ModelCode()) + ", firmware " + CommentText(Latin1ToUtf8(model.firmware)) + ").");
  w.Line("# A group that is not named is left alone. Apply with: varnet-cli apply FILE");
  w.Line("varnet-profile: " + std::to_string(kFormatVersion));
  w.Line("model: {name: " + YamlScalar(modelName) + ", code: " + std::to_string(pb.ModelCode()) + "}");
  w.Line("settings:");
  for (int c = 0; c < kCategoryCount; ++c) {
    const std::vector<EffectiveGroup> groups = ShownGroups(c, model);
    if (groups.empty()) continue;
    w.Line("  " + YamlScalar(Category(c)->name) + ":");
    for (const EffectiveGroup& g : groups) WriteGroup(w, g, pb, model);
  }

  const std::vector<PageField> output = OutputSettingsFields(pb.ModelCode());
  w.Line(std::string("  ") + kOutputSettings + ":");
  bool symbologyNote = false;
  for (const PageField& f : output) {
    const std::vector<std::string> values = PageFieldValues(f, pb, info.formatBlock);
    if (f.symbologyRow < 0) {
      w.Comment("    ", "one of:", f.Choices());
      if (values.empty()) w.Line("    # " + f.name + ": left out, the scanner holds a code that no row stands for");
      else w.Line("    " + YamlScalar(f.name) + ": " + YamlScalar(values[0]));
      continue;
    }
    if (!info.HasFormatBlock()) break;
    if (!symbologyNote) {
      std::vector<std::string> names;
      for (size_t row = 0; row < SymbologyRowCount(pb.ModelCode()); ++row)
        names.emplace_back(SymbologyRows()[row].name);
      w.Line("    # per symbology: \"NAME Truncate Leading Data\" and \"NAME Truncate Ending Data\" (0 to 20),");
      w.Line("    # \"NAME Prefix\" and \"NAME Suffix\" (up to 8 characters); those not listed are 0 or empty.");
      w.Comment("    ", "NAME is one of:", names);
      symbologyNote = true;
    }
    // Per symbology only what is set, as `get` lists it.
    if (values.empty() || values[0].empty() || (f.Kind() == PageFieldKind::Count && values[0] == "0")) continue;
    if (f.Kind() == PageFieldKind::Count) {
      const int n = std::stoi(values[0]);
      if (n >= kCutRows) {
        w.Line("    # " + f.name + ": left out, " + values[0] + " is more than the page's list offers");
      } else {
        w.Line("    " + YamlScalar(f.name) + ": " + values[0]);
      }
    } else {
      TextField(w, f.name, values[0]);
    }
  }

  if (info.HasFormatBlock()) {
    w.Line(std::string("  ") + kTriggerSettings + ":");
    for (const PageField& f : TriggerSettingsFields()) {
      const std::vector<std::string> values = PageFieldValues(f, pb, info.formatBlock);
      if (f.Kind() == PageFieldKind::List) w.Comment("    ", "one of:", f.Choices());
      const std::string text = values.empty() ? "" : values[0];
      if (f.Kind() == PageFieldKind::Text) TextField(w, f.name, text);
      else w.Line("    " + YamlScalar(f.name) + ": " + YamlScalar(text));
    }
  }
  return w.out;
}

}  // namespace varnet::profiles
