// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "settings/catalogue.h"

namespace varnet {

// What one click on an option row does to the rows, before anything is sent.
struct ClickDecision {
  bool send = false;        // false: the row is a choice already in force (or no such row)
  bool newState = false;    // the clicked row after the click; always true for a choice
  std::vector<bool> ticks;  // every row after the click
};

// `shown` are the rows of the group (ShownOptions), `ticks` whether each is
// shown in force, `row` the clicked one.
ClickDecision DecideClick(const EffectiveGroup& group, const std::vector<EffectiveOption>& shown,
                          const std::vector<bool>& ticks, size_t row);

// Whether the rows of a group take clicks: the interface and decode area
// groups only on scanners with a format block.
bool OptionListEnabled(const EffectiveGroup& group, bool hasFormatBlock);
// For tools that change settings by name: why the page would take no click
// on this group's rows, or empty when it would. Such a change is refused
// before anything is sent.
std::string WhyGroupTakesNoClicks(const EffectiveGroup& group, bool hasFormatBlock);

struct ApplyResult {
  bool sent = false;          // a write frame went out
  bool acked = false;         // and the scanner acknowledged it
  bool reopened = false;      // the link follows a new baud rate
  bool reopenFailed = false;  // acknowledged, but the port could not be opened at the new rate
  bool rebootNotice = false;  // the output interface now differs from the one at connection
  std::vector<bool> ticks;    // rows to show: the click's result, or as before when not acknowledged
};

// One click on a row, on the scanner: records the choice in the ParamBlock
// copy, sends it and waits for the acknowledgement (250 ms, 500 ms in Image
// Mode). Without an acknowledgement the copy and the ticks are put back as
// they were, so that a failed write is never shown as applied.
ApplyResult ApplyOption(ScannerLink& link, DeviceInfo& info, const EffectiveGroup& group,
                        const std::vector<EffectiveOption>& shown, const std::vector<bool>& ticks, size_t row,
                        bool imageMode);

// The ticks of the shown rows as the ParamBlock copy has them.
std::vector<bool> TicksInForce(const EffectiveGroup& group, const std::vector<EffectiveOption>& shown,
                               const ParamBlock& pb);

}  // namespace varnet
