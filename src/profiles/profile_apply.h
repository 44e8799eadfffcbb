// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "profiles/profile_plan.h"

namespace varnet::profiles {

struct ExecuteResult {
  std::vector<std::string> taken;  // the steps the scanner acknowledged, in order
  bool failed = false;             // a step was not acknowledged: nothing after it was sent
  std::string failedStep;
  bool reopenFailed = false;  // a new baud rate was taken, but the port could not follow it
  bool rebootNotice = false;  // the output interface now differs from the one at connection
};

// Sends the plan's steps through the pages' own operations (a click as the
// settings page makes it, a "Set" of the output format or trigger page),
// stopping at the first the scanner does not acknowledge.
ExecuteResult ExecutePlan(ScannerLink& link, DeviceInfo& info, const ScannerModel& model, const ProfilePlan& plan);

struct Verification {
  bool readable = false;          // both blocks could be read back
  std::vector<Change> left;       // groups the scanner does not hold as the profile says
  std::vector<Refusal> refusals;  // what makes the read-back unplannable
  bool Verified() const { return readable && left.empty() && refusals.empty(); }
};

// Reads both blocks back into `info` and checks that nothing is left to do:
// the profile planned against the scanner's own copies gives no step.
Verification VerifyProfile(ScannerLink& link, DeviceInfo& info, const ScannerModel& model, const Profile& profile,
                           const PlanOptions& options = {});

}  // namespace varnet::profiles
