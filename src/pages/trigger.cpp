// SPDX-License-Identifier: Apache-2.0
#include "pages/trigger.h"

#include "pages/page_text.h"

namespace varnet {

namespace {

std::vector<uint8_t> TextOrZero(const std::string& text, size_t width) {
  std::vector<uint8_t> v = TextValue(text, width);
  if (v.empty()) v.push_back(0x00);
  return v;
}

void StoreText(ParamBlock& pb, size_t offset, size_t width, const std::string& text) {
  std::vector<uint8_t> v = TextValue(text, width);
  StoreFieldText(pb.bytes.data() + offset, width, std::string(v.begin(), v.end()));
}

}  // namespace

TriggerValues TriggerValuesFrom(const ParamBlock& pb) {
  const uint8_t* b = pb.bytes.data();
  TriggerValues v;
  v.polarityRow = b[pb::PulsePolarity] != 0 ? 1 : 0;
  v.transmitBadRead = b[pb::TransmitBadRead] != 0;
  v.startCommand = FieldText(b + pb::StartCommand, pb::kCommandWidth);
  v.stopCommand = FieldText(b + pb::StopCommand, pb::kCommandWidth);
  v.badReadMessage = FieldText(b + pb::BadReadMessage, pb::kBadReadMessageWidth);
  return v;
}

std::vector<Record> TriggerRecords(const TriggerValues& v) {
  std::vector<Record> r;
  if (v.polarityRow == 0 || v.polarityRow == 1) r.push_back({0xA1, 0x0F, {uint8_t(v.polarityRow)}});
  r.push_back({0xA1, 0x19, TextOrZero(v.startCommand, pb::kCommandWidth)});
  r.push_back({0xA1, 0x1A, TextOrZero(v.stopCommand, pb::kCommandWidth)});
  r.push_back({0xA1, 0x0E, {uint8_t(v.transmitBadRead ? 1 : 0)}});
  r.push_back({0xA1, 0x1E, TextOrZero(v.badReadMessage, pb::kBadReadMessageWidth)});
  return r;
}

void StoreTriggerValues(const TriggerValues& v, ParamBlock& pb) {
  if (v.polarityRow == 0 || v.polarityRow == 1) pb.SetU8(pb::PulsePolarity, uint8_t(v.polarityRow));
  pb.SetU8(pb::TransmitBadRead, v.transmitBadRead ? 1 : 0);
  StoreText(pb, pb::StartCommand, pb::kCommandWidth, v.startCommand);
  StoreText(pb, pb::StopCommand, pb::kCommandWidth, v.stopCommand);
  StoreText(pb, pb::BadReadMessage, pb::kBadReadMessageWidth, v.badReadMessage);
}

SetOutcome SetTrigger(ScannerLink& link, DeviceInfo& info, const TriggerValues& v) {
  if (!SendRecordCommand(link, TriggerRecords(v))) return SetOutcome::NotSent;
  if (!WaitAck(link, 500)) return SetOutcome::NotAcknowledged;
  StoreTriggerValues(v, info.paramBlock);
  info.settingsDirty = 1;
  return SetOutcome::Acknowledged;
}

}  // namespace varnet
