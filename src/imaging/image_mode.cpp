// SPDX-License-Identifier: Apache-2.0
#include "imaging/image_mode.h"

#include "link/protocol.h"
#include "link/serial_link.h"

namespace varnet {

void StartImageMode(ScannerLink& link) {
  SendShortCommand(link, 0xA0, 0x02, 0x05);
  (void)WaitAck(link, 350);
  SendShortCommand(link, 0xA0, 0x02, 0x02);
  link.LinkBusy = false;
}

bool StopImageMode(ScannerLink& link) {
  SendShortCommand(link, 0xA0, 0x02, 0x00);
  return WaitAck(link, 1000);
}

}  // namespace varnet
