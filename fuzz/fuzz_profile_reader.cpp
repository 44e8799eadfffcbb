// SPDX-License-Identifier: Apache-2.0
// The profile reader and planner on whatever a file may hold: a malformed
// or hostile profile must give refusals, never a crash or a step that
// writes past a block.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/device_info.h"
#include "profiles/profile.h"
#include "profiles/profile_plan.h"
#include "profiles/profile_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const varnet::profiles::ReadResult read =
      varnet::profiles::ReadProfile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.profile) {
    if (read.errors.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  // Against scanners with and without a format block, and a short one.
  for (size_t formatSize : {size_t(0), size_t(640), size_t(300)}) {
    varnet::DeviceInfo info;
    info.paramBlock.SetU8(varnet::pb::ModelCode, size ? data[0] % 8 : 1);
    if (formatSize) info.formatBlock = varnet::FormatBlock(formatSize, size ? data[size - 1] : 0);
    const varnet::ScannerModel model = varnet::ScannerModel::From(info.paramBlock, "Unknow");
    const varnet::profiles::ProfilePlan plan = varnet::profiles::PlanProfile(*read.profile, info, model);
    if (plan.Refused() && !plan.steps.empty()) __builtin_trap();
    for (const auto& step : plan.steps)
      for (const auto& frame : step.frames)
        if (frame.bytes.empty() || frame.bytes.size() > 64) __builtin_trap();
  }
  return 0;
}
