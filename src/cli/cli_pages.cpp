#include "cli/cli_pages.h"

#include "pages/page_summary.h"

namespace varnet::cli {

void AppendPageCategories(const ParamBlock& pb, const std::optional<FormatBlock>& block, nlohmann::json& categories,
                          std::ostream& text) {
  for (const PageCategory& c : PageCategories(pb, block)) {
    nlohmann::json groups = nlohmann::json::array();
    text << c.name << "\n";
    for (const PageGroup& g : c.groups) {
      nlohmann::json options = nlohmann::json::array();
      for (const std::string& v : g.values) options.push_back({{"label", v}, {"in_force", true}});
      groups.push_back({{"title", g.title}, {"label", g.label}, {"options", options}});
      text << "  " << g.label << ":";
      // An empty text is a value of its own; no value at all is a stored code the lists do not know.
      if (g.values.empty()) text << " (unknown)";
      for (const std::string& v : g.values) text << " " << (v.empty() ? "\"\"" : v);
      text << "\n";
    }
    categories.push_back({{"name", c.name}, {"groups", groups}});
  }
}

}  // namespace varnet::cli
