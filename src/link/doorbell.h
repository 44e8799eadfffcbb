// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace varnet {

class LinkCancel;

// One thread rings, another waits for it (in poll, or through an event
// loop's notifier on Fd()). Rings before a wait are not lost: the bell stays
// readable until Clear.
class Doorbell {
 public:
  Doorbell();
  ~Doorbell();
  Doorbell(const Doorbell&) = delete;
  Doorbell& operator=(const Doorbell&) = delete;

  void Ring();  // any thread
  void Clear();
  int Fd() const { return fd_; }
  // Waits for a ring, for `cancel` or for timeoutMs (-1: no limit); clears the bell.
  void Wait(const LinkCancel* cancel, int timeoutMs = -1);

 private:
  int fd_;  // eventfd; -1 when none could be made (Wait then looks every 20 ms)
};

}  // namespace varnet
