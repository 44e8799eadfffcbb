// SPDX-License-Identifier: Apache-2.0
#include "settings/settings_summary.h"

#include <algorithm>
#include <sstream>

#include "pages/page_summary.h"
#include "settings/apply_option.h"
#include "settings/catalogue.h"
#include "ui_common/text.h"

namespace varnet {

std::vector<CategoryState> SettingsCategories(const ParamBlock& pb, const ScannerModel& model) {
  std::vector<CategoryState> categories;
  for (int c = 0; c < kCategoryCount; ++c) {
    CategoryState cat{Category(c)->name, {}};
    for (const EffectiveGroup& g : ShownGroups(c, model)) {
      GroupState group{std::string(g.Title()), g.english, g.chinese, {}, {}};
      const std::vector<EffectiveOption> shown = ShownOptions(g, model);
      const std::vector<bool> ticks = TicksInForce(g, shown, pb);
      for (size_t i = 0; i < shown.size(); ++i) group.options.push_back({shown[i].english, shown[i].chinese, ticks[i]});
      cat.groups.push_back(std::move(group));
    }
    categories.push_back(std::move(cat));
  }
  return categories;
}

std::vector<CategoryState> PageCategoryStates(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  std::vector<CategoryState> out;
  for (const PageCategory& c : PageCategories(pb, block)) {
    CategoryState category{c.name, {}};
    for (const PageGroup& g : c.groups) {
      GroupState group{g.title, g.label, {}, g.symbology, {}};
      for (const std::string& v : g.values) group.options.push_back({v, {}, true});
      category.groups.push_back(std::move(group));
    }
    out.push_back(std::move(category));
  }
  return out;
}

std::vector<CategoryState> AllCategories(const DeviceInfo& info, const ScannerModel& model) {
  std::vector<CategoryState> categories = SettingsCategories(info.paramBlock, model);
  std::vector<CategoryState> pages = PageCategoryStates(info.paramBlock, info.formatBlock);
  categories.insert(categories.end(), pages.begin(), pages.end());
  return categories;
}

std::string FieldName(const GroupState& group) {
  if (group.symbology.empty() || group.title.size() <= group.symbology.size()) return group.title;
  return group.title.substr(group.symbology.size() + 1);
}

std::string InForceText(const GroupState& group, bool chinese) {
  std::string inForce;
  for (const OptionState& o : group.options)
    if (o.inForce) {
      const std::string label = Trimmed(chinese && !o.chinese.empty() ? o.chinese : o.label);
      inForce += (inForce.empty() ? "" : ", ") + label;
    }
  return inForce;
}

std::string CategoriesText(const std::vector<CategoryState>& categories) {
  size_t width = 0;
  for (const CategoryState& c : categories)
    for (const GroupState& g : c.groups) width = std::max(width, Trimmed(g.label).size());
  std::ostringstream t;
  for (const CategoryState& c : categories) {
    t << c.name << "\n";
    for (const GroupState& g : c.groups) {
      const std::string label = Trimmed(g.label);
      const std::string inForce = InForceText(g);
      t << "  " << label << std::string(width - label.size() + 2, ' ') << (inForce.empty() ? "(none)" : inForce)
        << "\n";
    }
  }
  return t.str();
}

}  // namespace varnet
