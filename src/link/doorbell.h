// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "platform/wake_event.h"

namespace varnet {

class LinkCancel;

// One thread rings, another waits for it in Wait. Rings before a wait are not
// lost: the bell stays rung until Clear.
class Doorbell {
 public:
  void Ring() { event_.Set(); }  // any thread
  void Clear() { event_.Reset(); }
  // Waits for a ring, for `cancel` or for timeoutMs (-1: no limit); clears the bell.
  void Wait(const LinkCancel* cancel, int timeoutMs = -1);

 private:
  platform::WakeEvent event_;  // when the system gave none, Wait looks every 20 ms
};

}  // namespace varnet
