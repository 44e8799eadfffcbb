// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace varnet::platform {

// An event one thread sets and others wait on: an eventfd on POSIX, a
// manual-reset event on Windows. It stays set until Reset, so a Set before a
// wait is not lost.
class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // Any thread, and a signal or console handler: no lock, no allocation,
  // errno left as it was.
  void Set();
  void Reset();
  // Waits up to ms (-1: no limit) for the event; true when it is set.
  bool Wait(int ms) const;
  // False when the system gave no event (waits then time out only).
  bool Valid() const;
  // The eventfd on POSIX, the event HANDLE on Windows: for the serial
  // port's own waits.
  intptr_t Native() const { return native_; }

 private:
  intptr_t native_;
};

// Waits up to ms (-1: no limit) until `a` or `b` is set (either may be null);
// true when one of them is.
bool WaitEither(const WakeEvent* a, const WakeEvent* b, int ms);

}  // namespace varnet::platform
