// SPDX-License-Identifier: Apache-2.0
#include "ui_common/link_texts.h"

namespace varnet {

Message OpenFailureMessage(const ScannerLink& link) {
  return {MessageId::OpenComFailed, Icon::Error, Caption::None, link.lastFailure, link.lastErrno};
}

bool ReadDeviceInformationWithNotice(ScannerLink& link, DeviceInfo& info, Prompts& prompts) {
  if (!ReadDeviceInformation(link, info)) return false;
  if (!info.formatBlock) prompts.Info(MessageId::UpdateFirmware);
  return true;
}

}  // namespace varnet
