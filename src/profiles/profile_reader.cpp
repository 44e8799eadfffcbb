// SPDX-License-Identifier: Apache-2.0
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <exception>
#include <sstream>

#include "pages/page_summary.h"
#include "profiles/names.h"
#include "profiles/profile.h"
#include "profiles/yaml11.h"
#include "settings/catalogue.h"
#include "settings/model_rules.h"

namespace varnet::profiles {

namespace {

// Takes a document's events and drops them.
class Ignore : public YAML::EventHandler {
 public:
  void OnDocumentStart(const YAML::Mark&) override {}
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
  void OnAlias(const YAML::Mark&, YAML::anchor_t) override {}
  void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t, const std::string&) override {}
  void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}
};

// Whether the text holds a second document. Asked with a bounded number of
// steps: on some malformed input the parser reports empty documents without
// end, so reading them all (YAML::LoadAll) would never return.
bool HasSecondDocument(const std::string& text) {
  std::istringstream in(text);
  YAML::Parser parser(in);
  Ignore ignore;
  return parser.HandleNextDocument(ignore) && parser.HandleNextDocument(ignore);
}

int LineOf(const YAML::Node& n) { return n.Mark().line >= 0 ? n.Mark().line + 1 : 0; }

class Reader {
 public:
  std::vector<ProfileError> errors;

  void Usage(int line, std::string message) { errors.push_back({line, std::move(message), true}); }
  void Fatal(int line, std::string message) { errors.push_back({line, std::move(message), false}); }

  // A scalar other than null; false with an error otherwise.
  bool ScalarOf(const YAML::Node& n, std::string_view what, Scalar& out) {
    if (!n.IsScalar()) {
      Usage(LineOf(n),
            std::string(what) + (n.IsNull() ? " has no value" : " must be a single text, not a list or map"));
      return false;
    }
    out = {n.Scalar(), LineOf(n), n.Tag() == "?"};
    return true;
  }

  // The keys of a mapping, each once.
  std::vector<std::pair<Scalar, YAML::Node>> Entries(const YAML::Node& map, std::string_view where) {
    std::vector<std::pair<Scalar, YAML::Node>> out;
    for (auto it = map.begin(); it != map.end(); ++it) {
      Scalar key;
      if (!it->first.IsScalar()) {
        Usage(LineOf(it->first), "a key in " + std::string(where) + " must be a name");
        continue;
      }
      key = {it->first.Scalar(), LineOf(it->first), it->first.Tag() == "?"};
      const auto same = std::find_if(out.begin(), out.end(), [&](const auto& e) { return e.first.text == key.text; });
      if (same != out.end()) {
        // Two values for one name: the later would silently win in review.
        Usage(key.line, Quoted(key.text) + " is named twice in " + std::string(where) + " (first on line " +
                            std::to_string(same->first.line) + ")");
        continue;
      }
      out.emplace_back(key, it->second);
    }
    return out;
  }

  bool ListOf(const YAML::Node& n, std::string_view what, std::vector<Scalar>& out) {
    if (!n.IsSequence()) {
      Usage(LineOf(n), std::string(what) + " must be a list");
      return false;
    }
    bool ok = true;
    for (const YAML::Node& item : n) {
      Scalar s;
      if (ScalarOf(item, "an item of " + std::string(what), s)) out.push_back(s);
      else ok = false;
    }
    return ok;
  }

  void Group(const Scalar& name, const YAML::Node& value, CategoryEntry& category) {
    GroupEntry g;
    g.name = name;
    const std::string what = Quoted(name.text);
    if (value.IsNull()) {
      Usage(name.line, what + " has no value");
      return;
    }
    if (value.IsScalar()) {
      g.form = ValueForm::Text;
      g.text = {value.Scalar(), LineOf(value), value.Tag() == "?"};
    } else if (value.IsSequence()) {
      g.form = ValueForm::List;
      if (!ListOf(value, what, g.list)) return;
    } else {
      g.form = ValueForm::Edit;
      for (auto& [key, list] : Entries(value, what)) {
        if (key.text == "add") {
          if (!ListOf(list, what + " add", g.add)) return;
        } else if (key.text == "remove") {
          if (!ListOf(list, what + " remove", g.remove)) return;
        } else {
          Usage(key.line, "unknown key " + Quoted(key.text) + " in " + what +
                              ": a group's map takes add: and remove:" + DidYouMean(key.text, {"add", "remove"}));
          return;
        }
      }
    }
    category.groups.push_back(std::move(g));
  }

  void Settings(const YAML::Node& settings, Profile& profile) {
    if (settings.IsNull()) return;
    if (!settings.IsMap()) {
      Usage(LineOf(settings), "settings must be a map of categories");
      return;
    }
    for (auto& [name, groups] : Entries(settings, "settings")) {
      const auto& names = CategoryNames();
      if (std::find(names.begin(), names.end(), name.text) == names.end()) {
        Usage(name.line, "unknown category " + Quoted(name.text) + DidYouMean(name.text, names));
        continue;
      }
      CategoryEntry category;
      category.name = name;
      if (groups.IsNull()) {
        profile.categories.push_back(std::move(category));
        continue;
      }
      if (!groups.IsMap()) {
        Usage(LineOf(groups), "category " + Quoted(name.text) + " must be a map of groups");
        continue;
      }
      for (auto& [groupName, value] : Entries(groups, Quoted(name.text))) Group(groupName, value, category);
      profile.categories.push_back(std::move(category));
    }
  }

  void Model(const YAML::Node& model, Profile& profile) {
    profile.modelLine = LineOf(model);
    if (model.IsNull()) return;
    if (!model.IsMap()) {
      Usage(LineOf(model), "model must be a map with name: and code:");
      return;
    }
    for (auto& [key, value] : Entries(model, "model")) {
      Scalar s;
      if (!ScalarOf(value, "model " + key.text, s)) continue;
      if (key.text == "name") {
        profile.modelName = s.text;
      } else if (key.text == "code") {
        const auto code = s.plain ? Yaml11Int(s.text) : std::nullopt;
        if (!code || *code < 0 || *code > 255) Usage(s.line, "model code must be a number from 0 to 255");
        else profile.modelCode = int(*code);
      } else {
        Usage(key.line, "unknown key " + Quoted(key.text) +
                            " in model: it takes name: and code:" + DidYouMean(key.text, {"name", "code"}));
      }
    }
  }

  std::optional<Profile> Document(const YAML::Node& root) {
    if (!root.IsMap()) {
      Fatal(LineOf(root), "not a profile: the file must be a map that starts with \"varnet-profile: 1\"");
      return std::nullopt;
    }
    const auto entries = Entries(root, "the profile");
    const auto version =
        std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.first.text == "varnet-profile"; });
    if (version == entries.end()) {
      Fatal(LineOf(root), "not a profile: \"varnet-profile: 1\" is missing");
      return std::nullopt;
    }
    const YAML::Node& v = version->second;
    if (!v.IsScalar() || Yaml11Int(v.Scalar()) != kFormatVersion) {
      Fatal(LineOf(v),
            "unsupported profile format " + Quoted(v.IsScalar() ? v.Scalar() : "") + ": this program reads format 1");
      return std::nullopt;
    }
    Profile profile;
    for (const auto& [key, value] : entries) {
      if (key.text == "varnet-profile") continue;
      if (key.text == "model") Model(value, profile);
      else if (key.text == "settings") Settings(value, profile);
      else
        Usage(key.line, "unknown key " + Quoted(key.text) + ": a profile takes varnet-profile:, model: and settings:" +
                            DidYouMean(key.text, {"varnet-profile", "model", "settings"}));
    }
    return profile;
  }
};

}  // namespace

const std::vector<std::string>& CategoryNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    n.reserve(kCategoryCount + 2);
    for (int c = 0; c < kCategoryCount; ++c) n.emplace_back(Category(c)->name);
    n.emplace_back(kOutputSettings);
    n.emplace_back(kTriggerSettings);
    return n;
  }();
  return names;
}

ReadResult ReadProfile(std::string_view text) {
  ReadResult r;
  Reader reader;
  if (text.size() > kMaxProfileBytes) {
    r.errors.push_back({0, "not a profile: larger than 1 MiB", false});
    return r;
  }
  try {
    const std::string copy(text);
    const YAML::Node root = YAML::Load(copy);
    if (HasSecondDocument(copy)) reader.Fatal(0, "not a profile: the file does not hold exactly one YAML document");
    else r.profile = reader.Document(root);
  } catch (const YAML::Exception& e) {
    reader.Fatal(e.mark.line >= 0 ? e.mark.line + 1 : 0, "not valid YAML: " + e.msg);
    r.profile.reset();
  } catch (const std::exception& e) {
    reader.Fatal(0, std::string("not valid YAML: ") + e.what());
    r.profile.reset();
  }
  r.errors = std::move(reader.errors);
  if (!r.errors.empty()) r.profile.reset();
  return r;
}

std::string ErrorText(const ProfileError& e) {
  return e.line > 0 ? "line " + std::to_string(e.line) + ": " + e.message : e.message;
}

}  // namespace varnet::profiles
