// SPDX-License-Identifier: Apache-2.0
#include "settings/apply_option.h"

#include <algorithm>

#include "link/protocol.h"

namespace varnet {

namespace {
constexpr uint32_t kAckLimitMs = 250;
constexpr uint32_t kAckLimitImageModeMs = 500;
}  // namespace

ClickDecision DecideClick(const EffectiveGroup& group, const std::vector<EffectiveOption>& shown,
                          const std::vector<bool>& ticks, size_t row) {
  ClickDecision d;
  d.ticks = ticks;
  if (row >= shown.size() || row >= ticks.size()) return d;
  const int index = shown[row].index;
  const auto clearRows = [&](int first, int last) {
    for (size_t r = 0; r < d.ticks.size() && r < shown.size(); ++r)
      if (shown[r].index >= first && shown[r].index <= last) d.ticks[r] = false;
  };
  switch (KindOfOption(group, index)) {
    case OptionKind::WholeListChoice:
      if (ticks[row]) return d;
      std::fill(d.ticks.begin(), d.ticks.end(), false);
      break;
    case OptionKind::SymbologyChoice: {
      if (ticks[row]) return d;
      const auto [first, last] = ChoiceRows(group, index);
      clearRows(first, last);
      break;
    }
    case OptionKind::Code11Choice: {
      // Sent again even when in force, so the user can repeat a mode the
      // scanner may not hold.
      const auto [first, last] = ChoiceRows(group, index);
      clearRows(first, last);
      break;
    }
    case OptionKind::OnOff: break;
  }
  // A choice row was cleared above, so it always ends up "on".
  d.newState = !d.ticks[row];
  d.ticks[row] = d.newState;
  d.send = true;
  return d;
}

bool OptionListEnabled(const EffectiveGroup& group, bool hasFormatBlock) {
  const std::string_view t = group.Title();
  if (t == "Output Interface" || t == "USB Keyboard" || t == "Decode Area") return hasFormatBlock;
  return true;
}

std::string WhyGroupTakesNoClicks(const EffectiveGroup& group, bool hasFormatBlock) {
  if (OptionListEnabled(group, hasFormatBlock)) return {};
  return "the scanner has no format block, so the desktop program shows this group greyed";
}

std::vector<bool> TicksInForce(const EffectiveGroup& group, const std::vector<EffectiveOption>& shown,
                               const ParamBlock& pb) {
  std::vector<bool> ticks;
  ticks.reserve(shown.size());
  for (const EffectiveOption& o : shown) ticks.push_back(IsOptionInForce(group, o, pb));
  return ticks;
}

ApplyResult ApplyOption(ScannerLink& link, DeviceInfo& info, const EffectiveGroup& group,
                        const std::vector<EffectiveOption>& shown, const std::vector<bool>& ticks, size_t row,
                        bool imageMode) {
  ApplyResult r;
  const ClickDecision d = DecideClick(group, shown, ticks, row);
  r.ticks = ticks;
  if (!d.send) return r;

  const EffectiveOption& option = shown[row];
  const ParamBlock before = info.paramBlock;
  link.LinkBusy = true;  // SendShortCommand lowers it once the frame is written
  RecordChoice(group, option, d.newState, info.paramBlock);
  const auto cmd = OptionCommand(group, option, d.newState);
  SendShortCommand(link, cmd);
  r.sent = true;
  r.acked = WaitAck(link, imageMode ? kAckLimitImageModeMs : kAckLimitMs);

  if (r.acked) {
    r.ticks = d.ticks;
    info.settingsDirty = 1;
    const std::string_view t = group.Title();
    if (t == "RS232 Baud Rate") {
      r.reopened = ReopenLink(link, info.paramBlock.U32(pb::Rs232Baud));
      r.reopenFailed = !r.reopened;
    } else if (t == "Output Interface") {
      r.rebootNotice = info.paramBlock.U8(pb::OutputInterface) != info.interfaceAtConnect;
    }
  } else {
    // The scanner did not take the choice: keep showing what it holds.
    info.paramBlock = before;
  }
  link.LinkBusy = false;
  return r;
}

}  // namespace varnet
