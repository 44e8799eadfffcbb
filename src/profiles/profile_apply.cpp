// SPDX-License-Identifier: Apache-2.0
#include "profiles/profile_apply.h"

#include <algorithm>

#include "link/protocol.h"
#include "settings/apply_option.h"

namespace varnet::profiles {

ExecuteResult ExecutePlan(ScannerLink& link, DeviceInfo& info, const ScannerModel& model, const ProfilePlan& plan) {
  ExecuteResult r;
  if (plan.Refused()) return r;
  for (const PlanStep& step : plan.steps) {
    bool acked = false;
    switch (step.kind) {
      case PlanStep::Kind::Click: {
        const std::vector<EffectiveOption> shown = ShownOptions(step.group, model);
        const size_t row = size_t(
            std::find_if(shown.begin(), shown.end(), [&](const EffectiveOption& o) { return o.index == step.option; }) -
            shown.begin());
        const ApplyResult applied =
            ApplyOption(link, info, step.group, shown, TicksInForce(step.group, shown, info.paramBlock), row, false);
        acked = applied.acked;
        r.reopenFailed = applied.reopenFailed;
        if (applied.acked && step.group.Title() == "Output Interface") r.rebootNotice = applied.rebootNotice;
        break;
      }
      case PlanStep::Kind::OutputSet:
        acked = SetOutputFormat(link, info, step.output) == SetOutcome::Acknowledged;
        break;
      case PlanStep::Kind::TriggerSet: acked = SetTrigger(link, info, step.trigger) == SetOutcome::Acknowledged; break;
    }
    if (!acked) {
      r.failed = true;
      r.failedStep = step.what;
      return r;
    }
    r.taken.push_back(step.what);
    if (r.reopenFailed) return r;
  }
  return r;
}

Verification VerifyProfile(ScannerLink& link, DeviceInfo& info, const ScannerModel& model, const Profile& profile,
                           const PlanOptions& options) {
  Verification v;
  DeviceInfo readBack = info;
  // An empty block stands for "not read": ReadBlock leaves it as it is on failure.
  if (readBack.formatBlock) readBack.formatBlock = FormatBlock{};
  v.readable = RefreshBlocks(link, readBack) && (!readBack.formatBlock || !readBack.formatBlock->empty());
  if (!v.readable) return v;
  info.paramBlock = readBack.paramBlock;
  info.formatBlock = readBack.formatBlock;
  const ProfilePlan again = PlanProfile(profile, info, model, options);
  v.refusals = again.refusals;
  v.left = again.changes;
  // A step with no visible change (a re-sent text) still means a difference.
  if (v.left.empty() && !again.steps.empty())
    for (const PlanStep& s : again.steps) v.left.push_back({"", s.what, {}, {}});
  return v;
}

}  // namespace varnet::profiles
