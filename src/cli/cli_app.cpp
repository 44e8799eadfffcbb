// SPDX-License-Identifier: Apache-2.0
// The command line's grammar: a CLI11 app built from the command table, so
// that each command's arguments and options are declared once, beside it.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <regex>
#include <sstream>

#include "cli/cli.h"
#include "platform/serial_port.h"
#include "settings/model_rules.h"
#include "ui_common/text.h"

namespace varnet::cli {

namespace {

// Help texts fit 80 columns: names in the first kColumn, descriptions after.
constexpr size_t kColumn = 20;
constexpr size_t kWidth = 80;

// Breaks a text into lines of at most `width` at blanks; line breaks stay.
std::string Wrapped(const std::string& text, size_t width) {
  std::string out, line;
  auto flush = [&] {
    out += line;
    line.clear();
  };
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '\n') {
      flush();
      out += '\n';
      ++at;
      continue;
    }
    const size_t end = std::min(text.find_first_of(" \n", at), text.size());
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      flush();
      out += '\n';
    } else if (!line.empty()) {
      line += ' ';
    }
    line += word;
    at = end < text.size() && text[end] == ' ' ? end + 1 : end;
  }
  flush();
  return out;
}

std::string Described(const std::string& text) { return Wrapped(text, kWidth - kColumn); }

// CLI11's help with our words: arguments are not marked "REQUIRED" (the
// usage line shows which are optional) and the command list is wrapped.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() {
    label("SUBCOMMAND", "COMMAND");
    label("Positionals", "Arguments");
    column_width(kColumn);
  }
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_positional() ? std::string() : CLI::Formatter::make_option_opts(option);
  }
  std::string make_subcommand(const CLI::App* sub) const override {
    std::stringstream out;
    CLI::detail::format_help(out, sub->get_name(), Described(sub->get_description()), column_width_);
    return out.str();
  }
};

void AddSharedOption(CLI::App& app, const SharedOption& shared) {
  if (!*shared.value) {
    app.add_flag(shared.name)->description(Described(shared.help));
    return;
  }
  CLI::Option* option = app.add_option(shared.name)
                            ->description(Described(shared.help))
                            ->type_name(shared.value)
                            ->allow_extra_args(false);
  if (std::string_view(shared.name) == "--port") option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  else option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// A positive number of at most nine digits.
bool ParseCount(const std::string& s, uint32_t& out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = uint32_t(std::stoul(s));
  return out > 0;
}

std::string Footer(const CommandSpec& command) {
  std::string t = command.details.empty() ? "" : Wrapped(command.details, kWidth) + "\n\n";
  if (!command.examples.empty()) {
    t += command.examples.size() > 1 ? "Examples:\n" : "Example:\n";
    // The examples name a Linux port; each system shows one of its own.
    for (std::string e : command.examples) {
      const std::string port = platform::ExamplePortName();
      for (size_t at = 0; (at = e.find("ttyACM0", at)) != std::string::npos; at += port.size()) e.replace(at, 7, port);
      t += "  varnet-cli " + e + "\n";
    }
  }
  return t + "Options may stand before or after the command. See varnet-cli(1).";
}

// The app with one subcommand per command; `positionals` gets each command's
// argument options in the order of its table entry.
struct Grammar {
  CLI::App app{"varnet-cli: configure 2D barcode scanners from scripts.", "varnet-cli"};
  std::vector<CLI::App*> subs;  // in the order of the command table
  std::vector<std::vector<CLI::Option*>> positionals;
};

void Build(Grammar& g, const std::vector<CommandSpec>& commands, Options& o) {
  CLI::App& app = g.app;
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_help_flag("-h,--help", "show this help and exit");
  app.set_version_flag("--version", VARNET_VERSION, "show the version and exit");
  // Options after the command's name are the main program's too.
  app.fallthrough();
  app.require_subcommand(1);
  for (const SharedOption& shared : SharedOptions()) AddSharedOption(app, shared);
  app.footer(Wrapped(
      "\"varnet-cli COMMAND --help\" shows a command's arguments and an example. Options may stand before or after "
      "the command.\nExit status: 0 success, 1 the operation failed (on any port), 2 wrong usage. See varnet-cli(1).",
      kWidth));

  for (const CommandSpec& command : commands) {
    CLI::App* sub = app.add_subcommand(command.name, command.summary);
    sub->group("Commands");
    std::vector<CLI::Option*> args;
    for (const Argument& a : command.args) {
      CLI::Option* option = sub->add_option(a.name)->description(Described(a.help))->type_name("");
      if (a.min > 0) option->required();
      // Counts are checked after parsing, to name what is missing.
      if (a.max > 1) option->expected(1, CLI::detail::expected_max_vector_size)->allow_extra_args();
      args.push_back(option);
    }
    for (const SharedOption& shared : SharedOptions())
      if (shared.everyCommand || command.Takes(shared.name)) AddSharedOption(*sub, shared);
    if (command.addOptions) command.addOptions(*sub, o);
    sub->footer(Footer(command));
    g.subs.push_back(sub);
    g.positionals.push_back(std::move(args));
  }
}

// The values of a shared option, given before and after the command.
std::vector<std::string> SharedValues(CLI::App& app, CLI::App* sub, const char* name) {
  std::vector<std::string> values;
  for (CLI::App* a : {&app, sub})
    if (CLI::Option* option = a ? a->get_option_no_throw(name) : nullptr) {
      const auto& r = option->results();
      values.insert(values.end(), r.begin(), r.end());
    }
  return values;
}

bool SharedFlag(CLI::App& app, CLI::App* sub, const char* name) {
  for (CLI::App* a : {&app, sub})
    if (CLI::Option* option = a ? a->get_option_no_throw(name) : nullptr)
      if (option->count() > 0) return true;
  return false;
}

std::vector<std::string> OptionNames(CLI::App& app, CLI::App* sub) {
  std::vector<std::string> names;
  for (CLI::App* a : {&app, sub})
    if (a)
      for (const CLI::Option* option : a->get_options())
        for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
  return names;
}

int UsageError(std::ostream& err, const std::string& text, const CommandSpec* command) {
  err << "varnet-cli: " << text << "\n";
  if (command) {
    err << "usage: varnet-cli [OPTIONS] " << command->Synopsis() << "   (varnet-cli " << command->name << " --help)\n";
  } else {
    err << "Run \"varnet-cli --help\" for the commands and options.\n";
  }
  return kUsage;
}

// Unknown words: an unknown command, an unknown option, or one argument too many.
int ExtrasError(Grammar& g, CLI::App* sub, const CommandSpec* command, const std::vector<CommandSpec>& commands,
                std::ostream& err) {
  const std::vector<std::string> extras = g.app.remaining(true);
  if (extras.empty()) return UsageError(err, "wrong usage", command);
  const auto option = std::find_if(extras.begin(), extras.end(), [](const std::string& e) { return e[0] == '-'; });
  if (!command) {
    const auto word = std::find_if(extras.begin(), extras.end(), [](const std::string& e) { return e[0] != '-'; });
    if (word != extras.end() && (option == extras.end() || word < option)) {
      std::vector<std::string> names;
      names.reserve(commands.size());
      for (const CommandSpec& c : commands) names.push_back(c.name);
      return UsageError(err, "unknown command " + Quoted(*word) + CloseMatchText(CloseMatches(*word, names)), nullptr);
    }
  }
  if (option != extras.end()) {
    const std::string name = option->substr(0, option->find('='));
    // A command's own option given before the command's name.
    if (sub && sub->get_option_no_throw(name))
      return UsageError(err, "option " + Quoted(name) + " belongs after the command " + Quoted(command->name), command);
    return UsageError(
        err, "unknown option " + Quoted(name) + CloseMatchText(CloseMatches(name, OptionNames(g.app, sub))), command);
  }
  return UsageError(err, command->name + ": unexpected argument " + Quoted(extras.front()), command);
}

// The command CLI11 parsed, with its place in the table; none before a
// command's name was read.
const CommandSpec* ParsedCommand(const Grammar& g, const std::vector<CommandSpec>& commands, size_t& which) {
  for (size_t i = 0; i < g.subs.size(); ++i)
    if (g.subs[i]->parsed()) {
      which = i;
      return &commands[i];
    }
  return nullptr;
}

// CLI11's refusal in our words: the missing command or argument, an option
// without its value.
int ParseFailure(Grammar& g, const CLI::ParseError& e, const CommandSpec* command, size_t which,
                 const std::vector<CommandSpec>& commands, std::ostream& err) {
  if (dynamic_cast<const CLI::RequiredError*>(&e)) {
    if (!command) {
      // Words that are no command are named before the missing command.
      if (!g.app.remaining(true).empty()) return ExtrasError(g, nullptr, nullptr, commands, err);
      err << "varnet-cli: no command given\n" << g.app.help();
      return kUsage;
    }
    for (size_t i = 0; i < command->args.size(); ++i)
      if (command->args[i].min > 0 && g.positionals[which][i]->count() == 0)
        return UsageError(err, command->name + ": missing " + command->args[i].name, command);
  }
  // CLI11 says "--port: 1 required PORT missing" for an option without its value.
  if (const auto* mismatch = dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    static const std::regex kNoValue(R"(^(-[^:]+): \d+ required (\S+) missing$)");
    std::smatch m;
    const std::string what = mismatch->what();
    if (std::regex_match(what, m, kNoValue))
      return UsageError(err, m[1].str() + " needs a value (" + m[2].str() + ")", command);
  }
  return UsageError(err, e.what(), command);
}

// The shared options, given before or after the command; -1 when they are
// good, else the exit status.
int ReadSharedOptions(CLI::App& app, CLI::App* sub, Options& o, std::ostream& err) {
  o.ports = SharedValues(app, sub, "--port");
  o.all = SharedFlag(app, sub, "--all");
  o.save = SharedFlag(app, sub, "--save");
  o.dryRun = SharedFlag(app, sub, "--dry-run");
  o.noVerify = SharedFlag(app, sub, "--no-verify");
  o.json = SharedFlag(app, sub, "--json");
  o.trace = SharedFlag(app, sub, "--trace");
  const std::vector<std::string> baud = SharedValues(app, sub, "--baud");
  if (!baud.empty() && !ParseCount(baud.back(), o.baud)) {
    err << "varnet-cli: --baud needs a positive number\n";
    return kUsage;
  }
  const std::vector<std::string> jobs = SharedValues(app, sub, "--jobs");
  uint32_t atOnce = 0;
  if (!jobs.empty() && !ParseCount(jobs.back(), atOnce)) {
    err << "varnet-cli: --jobs needs a positive number\n";
    return kUsage;
  }
  o.jobs = atOnce;
  return -1;
}

// The command's arguments in the order of its table entry, counted; -1 when
// they are good, else the exit status.
int ReadArguments(const CommandSpec& command, const std::vector<CLI::Option*>& positionals, Options& o,
                  std::ostream& err) {
  for (size_t i = 0; i < command.args.size(); ++i) {
    const Argument& a = command.args[i];
    const std::vector<std::string>& values = positionals[i]->results();
    if (values.size() < a.min)
      return UsageError(err,
                        command.name + ": " +
                            (values.empty() ? "missing " + a.name
                                            : a.name + " needs at least " + std::to_string(a.min) + " arguments"),
                        &command);
    if (values.size() > a.max)
      return UsageError(err, command.name + ": unexpected argument " + Quoted(values[a.max]), &command);
    o.args.insert(o.args.end(), values.begin(), values.end());
  }
  return -1;
}

// --dry-run given to a command that sends nothing it could list.
int DryRunMisplaced(const std::vector<CommandSpec>& commands, std::ostream& err) {
  std::vector<std::string> names;
  for (const CommandSpec& c : commands)
    if (c.Takes("--dry-run")) names.push_back(c.name);
  std::string list;
  for (size_t i = 0; i < names.size(); ++i) list += (i ? (i + 1 == names.size() ? " and " : ", ") : "") + names[i];
  err << "varnet-cli: --dry-run applies to " << list << " only\n";
  return kUsage;
}

}  // namespace

const std::vector<SharedOption>& SharedOptions() {
  static const std::vector<SharedOption> options = {
      {"--port", "PORT", platform::PortOptionHelp()},
      {"--all", "", "every scanner port that discovery finds"},
      {"--baud", "N", "connect at N bit/s only (default: the six RS-232 rates in turn)"},
      {"--jobs", "N", "ports handled at once (default: every port given, at most 64; 1: one after the other)"},
      {"--save", "", "make the change permanent when the command changed settings and succeeded"},
      {"--dry-run", "", "list the frames the command would send and send none"},
      {"--no-verify", "", "import: do not read the blocks back"},
      {"--json", "", "one JSON object per port (or file) and line"},
      {"--trace", "", "every byte written to and read from the ports, with time-outs, on standard error", true},
  };
  return options;
}

std::vector<std::string> OptionNamesOf(const CommandSpec& command) {
  std::vector<std::string> names;
  for (const SharedOption& shared : SharedOptions())
    if (shared.everyCommand || command.Takes(shared.name)) names.push_back(shared.name);
  if (command.addOptions) {
    CLI::App app;
    Options o;
    command.addOptions(app, o);
    for (const CLI::Option* option : app.get_options())
      for (const std::string& n : option->get_lnames())
        if (n != "help") names.push_back("--" + n);
  }
  names.push_back("--help");
  return names;
}

bool CommandSpec::Takes(std::string_view option) const {
  if (option == "--jobs") return !streaming && Takes("--port");
  return std::find(shared.begin(), shared.end(), option) != shared.end();
}

std::string CommandSpec::Synopsis() const {
  std::string s = name;
  for (const Argument& a : args) {
    const std::string part = a.name + (a.max > 1 ? "..." : "");
    s += " " + (a.min == 0 ? "[" + part + "]" : part);
  }
  return s;
}

int ParseCommandLine(int argc, char** argv, const std::vector<CommandSpec>& commands, Options& o,
                     const CommandSpec*& command, std::ostream& out, std::ostream& err) {
  Grammar g;
  Build(g, commands, o);
  command = nullptr;
  size_t which = 0;
  try {
    g.app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    command = ParsedCommand(g, commands, which);
    out << (command ? g.subs[which]->help("varnet-cli") : g.app.help());
    return kOk;
  } catch (const CLI::CallForVersion&) {
    out << "varnet-cli " << VARNET_VERSION << "\n";
    return kOk;
  } catch (const CLI::ExtrasError&) {
    command = ParsedCommand(g, commands, which);
    return ExtrasError(g, command ? g.subs[which] : nullptr, command, commands, err);
  } catch (const CLI::ParseError& e) {
    command = ParsedCommand(g, commands, which);
    return ParseFailure(g, e, command, which, commands, err);
  }
  command = ParsedCommand(g, commands, which);
  o.command = command->name;
  if (const int status = ReadSharedOptions(g.app, g.subs[which], o, err); status >= 0) return status;
  if (const int status = ReadArguments(*command, g.positionals[which], o, err); status >= 0) return status;
  if (o.dryRun && !command->Takes("--dry-run")) return DryRunMisplaced(commands, err);
  return -1;
}

}  // namespace varnet::cli
