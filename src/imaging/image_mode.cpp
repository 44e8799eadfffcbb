// SPDX-License-Identifier: Apache-2.0
#include "imaging/image_mode.h"

#include "link/protocol.h"
#include "link/serial_link.h"

namespace varnet {

void StartImageMode(ScannerLink& link) {
  SendShortCommand(link, kImageModeOn);
  (void)WaitAck(link, 350);
  SendShortCommand(link, kImageModeStart);
  link.LinkBusy = false;
}

bool StopImageMode(ScannerLink& link) {
  SendShortCommand(link, kImageModeOff);
  return WaitAck(link, 1000);
}

}  // namespace varnet
