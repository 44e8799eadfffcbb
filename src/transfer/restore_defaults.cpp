// SPDX-License-Identifier: Apache-2.0
#include "transfer/restore_defaults.h"

#include "link/protocol.h"

namespace varnet {

const std::vector<Record>& RestoreDefaultsRecords() {
  static const std::vector<Record> records{Record{0xA0, 0x02, {0x09}}, Record{0xA1, 0x01, {0x0F}}};
  return records;
}

RestoreResult RestoreDefaults(ScannerLink& link, DeviceInfo& info, Prompts& prompts) {
  RestoreResult result;
  link.LinkBusy = true;
  SendRecordCommand(link, RestoreDefaultsRecords());
  result.acknowledged = WaitAck(link, kRestoreAckMs);
  if (result.acknowledged) prompts.Show(Message{MessageId::RestoreSuccessfully, Icon::Information, Caption::None});
  // Read back whatever the scanner holds now, acknowledged or not.
  result.refreshed = RefreshBlocks(link, info);
  if (result.refreshed) info.settingsDirty = 1;
  link.LinkBusy = false;
  return result;
}

}  // namespace varnet
