// SPDX-License-Identifier: Apache-2.0
#include "profiles/profile_schema.h"

#include <algorithm>

#include "pages/page_summary.h"
#include "profiles/profile.h"
#include "profiles/yaml11.h"
#include "settings/catalogue.h"
#include "settings/model_rules.h"
#include "ui_common/text.h"

namespace varnet::profiles {

namespace {

using nlohmann::json;

// The labels, and the booleans and numbers a YAML 1.1 reader makes of them.
json Choices(const std::vector<std::string>& labels) {
  json e = json::array();
  for (const std::string& l : labels) e.push_back(Trimmed(l));
  for (const std::string& l : labels) {
    const std::string t = Trimmed(l);
    if (t == "On") e.push_back(true);
    if (t == "Off") e.push_back(false);
    if (!t.empty() && t.find_first_not_of("0123456789") == std::string::npos && t.size() < 10)
      e.push_back(std::stoll(t));
  }
  return e;
}

json ArrayOf(const json& items) { return {{"type", "array"}, {"items", items}, {"uniqueItems", true}}; }

json SettingsGroup(const SettingGroup& g, int category) {
  std::vector<std::string> labels = OptionLabelsOnAnyModel(g);
  const json item = {{"enum", Choices(labels)}};
  if (category != kSymbologies) return {{"description", std::string("one of the options")}, {"enum", item["enum"]}};
  return {{"description", std::string("a list: exactly these in force; or add: and remove:")},
          {"oneOf", json::array({ArrayOf(item),
                                 {{"type", "object"},
                                  {"additionalProperties", false},
                                  {"minProperties", 1},
                                  {"properties", {{"add", ArrayOf(item)}, {"remove", ArrayOf(item)}}}}})}};
}

json PageFieldSchema(const PageField& f) {
  switch (f.Kind()) {
    case PageFieldKind::List: return {{"enum", Choices(f.Choices())}};
    case PageFieldKind::Count:
      return {{"anyOf", json::array({{{"type", "integer"}, {"minimum", 0}, {"maximum", kCutRows - 1}},
                                     {{"type", "string"}, {"pattern", "^([0-9]|1[0-9]|20)$"}}})}};
    case PageFieldKind::Text:
      // What the page's edits take: up to 8 ISO-8859-1 characters, not 00 or FF.
      return {{"type", "string"}, {"maxLength", 8}, {"pattern", "^[\\u0001-\\u00FE]*$"}};
  }
  return json::object();
}

json Category(const json& properties) {
  return {{"type", "object"}, {"additionalProperties", false}, {"properties", properties}};
}

}  // namespace

json ProfileSchema() {
  json categories = json::object();
  for (int c = 0; c < kCategoryCount; ++c) {
    json groups = json::object();
    for (const SettingGroup& g : varnet::Category(c)->groups) {
      if (g.IsEndMarker()) break;
      for (const std::string& name : GroupLabelsOnAnyModel(g)) groups[name] = SettingsGroup(g, c);
    }
    categories[varnet::Category(c)->name] = Category(groups);
  }
  json output = json::object();
  // Model code 1 has the whole symbology list.
  for (const PageField& f : OutputSettingsFields(1)) output[f.name] = PageFieldSchema(f);
  categories[kOutputSettings] = Category(output);
  json trigger = json::object();
  for (const PageField& f : TriggerSettingsFields()) trigger[f.name] = PageFieldSchema(f);
  categories[kTriggerSettings] = Category(trigger);

  return {
      {"$schema", "https://json-schema.org/draft/2020-12/schema"},
      {"title", "Varnet scanner profile"},
      {"description", "A scanner's settings by name; apply with varnet-cli apply FILE."},
      {"type", "object"},
      {"required", json::array({"varnet-profile"})},
      {"additionalProperties", false},
      {"properties",
       {{"varnet-profile", {{"const", kFormatVersion}}},
        {"model",
         {{"type", "object"},
          {"additionalProperties", false},
          {"properties",
           {{"name", {{"type", "string"}}}, {"code", {{"type", "integer"}, {"minimum", 0}, {"maximum", 255}}}}}}},
        {"settings", Category(categories)}}},
  };
}

}  // namespace varnet::profiles
