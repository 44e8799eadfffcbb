// SPDX-License-Identifier: Apache-2.0
// Build-time helper: writes varnet-cli's bash completion, the template with
// the words the command line knows (commands, options, argument kinds, the
// catalogue's group titles and option labels) put in place of its marker, so
// that the completion never falls behind the program.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "pages/page_summary.h"
#include "settings/catalogue.h"
#include "ui_common/text.h"

namespace {

using varnet::Folded;
using varnet::Trimmed;
using varnet::cli::Completion;

// A word in single quotes for bash.
std::string Sq(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Words(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + Sq(w);
  return out;
}

std::string Kind(const varnet::cli::Argument& a) {
  switch (a.completion) {
    case Completion::File: return (a.max > 1 ? "files:" : "file:") + a.extension;
    case Completion::FileOrPort: return "side:" + a.extension;
    case Completion::Group: return "group";
    case Completion::SetPairs: return "pairs";
    case Completion::None: break;
  }
  return "none";
}

std::string Generated() {
  std::ostringstream t;
  const std::vector<varnet::cli::CommandSpec> commands = varnet::cli::AllCommands();
  std::vector<std::string> names, shared{"--help", "--version"}, valued;
  for (const auto& c : commands) names.push_back(c.name);
  for (const auto& o : varnet::cli::SharedOptions()) {
    shared.push_back(o.name);
    if (*o.value) valued.push_back(o.name);
  }
  // A command's own options that take a value (--count N): their values are
  // no arguments of the command.
  for (const auto& c : commands) {
    if (!c.addOptions) continue;
    CLI::App app;
    varnet::cli::Options o;
    c.addOptions(app, o);
    for (const CLI::Option* option : app.get_options())
      if (option->get_items_expected_min() > 0)
        for (const std::string& n : option->get_lnames())
          if (std::find(valued.begin(), valued.end(), "--" + n) == valued.end()) valued.push_back("--" + n);
  }
  t << "_varnet_cli_commands=(" << Words(names) << ")\n"
    << "_varnet_cli_shared_options=(" << Words(shared) << ")\n"
    << "_varnet_cli_value_options=(" << Words(valued) << ")\n";

  t << "# The options a command takes after its name, and its arguments' kinds.\n"
    << "_varnet_cli_command_words() {\n  case $1 in\n";
  for (const auto& c : commands) {
    std::vector<std::string> kinds;
    for (const auto& a : c.args) kinds.push_back(Kind(a));
    t << "    " << Sq(c.name) << ") _varnet_cli_options=(" << Words(varnet::cli::OptionNamesOf(c))
      << "); _varnet_cli_kinds=(" << Words(kinds) << ") ;;\n";
  }
  t << "    *) _varnet_cli_options=(); _varnet_cli_kinds=() ;;\n  esac\n}\n";

  // Group titles and option labels; `get` also takes the page groups.
  std::vector<std::string> groups, pageGroups;
  t << "# A group's option labels, by its title in lower case.\n"
    << "_varnet_cli_group_options() {\n  case $1 in\n";
  for (int c = 0; c < varnet::kCategoryCount; ++c)
    for (const varnet::SettingGroup& g : varnet::Category(c)->groups) {
      if (g.IsEndMarker()) continue;
      const std::string title = Trimmed(g.english);
      if (std::find(groups.begin(), groups.end(), title) != groups.end()) continue;
      groups.push_back(title);
      std::vector<std::string> labels;
      for (const varnet::SettingOption& o : g.options)
        if (*o.english) labels.push_back(Trimmed(o.english));
      t << "    " << Sq(Folded(title)) << ") _varnet_cli_words=(" << Words(labels) << ") ;;\n";
    }
  t << "    *) _varnet_cli_words=() ;;\n  esac\n}\n";
  for (const varnet::PageCategory& c : varnet::PageCategories(varnet::ParamBlock{}, varnet::FormatBlock(640, 0)))
    for (const varnet::PageGroup& g : c.groups) pageGroups.push_back(g.title);
  t << "_varnet_cli_groups=(" << Words(groups) << ")\n"
    << "_varnet_cli_page_groups=(" << Words(pageGroups) << ")\n";
  return t.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: completion_words TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::ostringstream out;
  bool placed = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "# @WORDS@") {
      out << Generated();
      placed = true;
    } else {
      out << line << "\n";
    }
  }
  if (!in.eof() || !placed) {
    std::cerr << "completion_words: cannot read " << argv[1] << " or it has no \"# @WORDS@\" line\n";
    return 1;
  }
  std::ofstream file(argv[2], std::ios::trunc);
  file << out.str();
  return file.flush() ? 0 : 1;
}
