// SPDX-License-Identifier: Apache-2.0
#include "cli/cli_pages.h"

#include "pages/page_summary.h"

namespace varnet::cli {

std::vector<CategoryState> PageCategoryStates(const ParamBlock& pb, const std::optional<FormatBlock>& block) {
  std::vector<CategoryState> out;
  for (const PageCategory& c : PageCategories(pb, block)) {
    CategoryState category{c.name, {}};
    for (const PageGroup& g : c.groups) {
      GroupState group{g.title, g.label, {}};
      for (const std::string& v : g.values) group.options.push_back({v, true});
      category.groups.push_back(std::move(group));
    }
    out.push_back(std::move(category));
  }
  return out;
}

}  // namespace varnet::cli
