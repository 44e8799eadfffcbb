// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "pages/output_format.h"
#include "pages/trigger.h"
#include "profiles/profile.h"
#include "settings/catalogue.h"
#include "settings/model_rules.h"

namespace varnet::profiles {

// Planning a profile against a scanner's blocks.
//
// Where the decisions live: the profile only says which state each named
// group should end in. Which rows are clicked, what a click does to the
// rows and the copy (DecideClick, RecordChoice, OptionCommand), which
// groups take clicks (OptionListEnabled), which records a "Set" of the
// output format or trigger page sends (OutputFormatRecords,
// TriggerRecords) and which texts an edit takes (CheckTypedText) stay with
// the settings page and the pages. The planner walks the groups in
// catalogue order and asks them; the executor then sends each step through
// the very functions the pages use (ApplyOption, SetOutputFormat,
// SetTrigger).

enum class RefusalKind {
  Usage,    // the profile names or shapes something wrongly (exit 2)
  Scanner,  // the profile cannot be applied to this scanner (exit 1)
};
struct Refusal {
  RefusalKind kind = RefusalKind::Usage;
  int line = 0;
  std::string message;
};

// A group whose state the profile changes, by category and catalogue title
// (a page field by its name), with the labels in force before and after.
struct Change {
  std::string category;
  std::string group;
  std::vector<std::string> from, to;
};

struct PlannedFrame {
  std::string what;
  std::vector<uint8_t> bytes;
};

struct PlanStep {
  enum class Kind { Click, OutputSet, TriggerSet };
  Kind kind = Kind::Click;
  std::string what;                  // "Scan Mode: Sense Mode", "Output Settings: QR"
  std::vector<PlannedFrame> frames;  // what the step sends, in order
  // Click
  EffectiveGroup group;
  int option = 0;  // the option's index in its group
  bool newState = true;
  // Sets: the page's values when "Set" is pressed
  OutputFormatValues output;
  TriggerValues trigger;
};

struct PlanOptions {
  bool anyModel = false;  // apply a profile that names another model
  // Why a group takes no clicks on this scanner, or nothing. The default is
  // the settings page's rule and reason (WhyGroupTakesNoClicks): the
  // interface and decode area groups need a format block. Comparing alone
  // (diff) passes one that never refuses.
  std::function<std::optional<std::string>(const EffectiveGroup&, const DeviceInfo&)> greyed;
};

struct ProfilePlan {
  std::vector<Refusal> refusals;  // nothing is sent when there is any
  std::vector<PlanStep> steps;    // in catalogue order
  std::vector<Change> changes;
  DeviceInfo after;  // the copies as the steps would leave them

  bool Refused() const { return !refusals.empty(); }
  bool UsageError() const;
};

// The steps that bring a scanner holding `info` (read with `model`'s rules)
// to what the profile says; nothing for a group already as it says.
ProfilePlan PlanProfile(const Profile& profile, const DeviceInfo& info, const ScannerModel& model,
                        const PlanOptions& options = {});

// The named groups whose labels in force differ between two states of one
// scanner (what an apply changed, also when it stopped half-way).
std::vector<Change> ChangedGroups(const Profile& profile, const DeviceInfo& before, const DeviceInfo& after,
                                  const ScannerModel& model);

// Every refusal on its own line ("line 7: ...").
std::string RefusalsText(const std::vector<Refusal>& refusals);

}  // namespace varnet::profiles
