// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "platform/wake_event.h"

namespace varnet::platform {

namespace {
// NOLINTNEXTLINE(performance-no-int-to-ptr): the headers keep the HANDLE as an integer, without windows.h
HANDLE H(intptr_t native) { return reinterpret_cast<HANDLE>(native); }
}  // namespace

// Manual reset: set stays set for every waiter until Reset, as an eventfd stays readable.
WakeEvent::WakeEvent() : native_(reinterpret_cast<intptr_t>(CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

WakeEvent::~WakeEvent() {
  if (native_) CloseHandle(H(native_));
}

void WakeEvent::Set() {
  const DWORD saved = GetLastError();
  if (native_) SetEvent(H(native_));
  SetLastError(saved);
}

void WakeEvent::Reset() {
  if (native_) ResetEvent(H(native_));
}

bool WakeEvent::Wait(int ms) const { return WaitEither(this, nullptr, ms); }

bool WakeEvent::Valid() const { return native_ != 0; }

bool WaitEither(const WakeEvent* a, const WakeEvent* b, int ms) {
  HANDLE handles[2];
  DWORD n = 0;
  if (a && a->Valid()) handles[n++] = H(a->Native());
  if (b && b->Valid()) handles[n++] = H(b->Native());
  const DWORD timeout = ms < 0 ? INFINITE : DWORD(ms);
  if (n == 0) {
    if (ms < 0) return false;  // nothing could ever wake it
    Sleep(timeout);
    return false;
  }
  const DWORD r = WaitForMultipleObjects(n, handles, FALSE, timeout);
  return r < WAIT_OBJECT_0 + n;
}

}  // namespace varnet::platform
