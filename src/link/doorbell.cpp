// SPDX-License-Identifier: Apache-2.0
#include "link/doorbell.h"

#include "link/serial_link.h"

namespace varnet {

void Doorbell::Wait(const LinkCancel* cancel, int timeoutMs) {
  const int ms = event_.Valid() || (timeoutMs >= 0 && timeoutMs < 20) ? timeoutMs : 20;
  platform::WaitEither(&event_, cancel ? &cancel->wake() : nullptr, ms);
  Clear();
}

}  // namespace varnet
