// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/wake_event.h"

namespace varnet::platform {

WakeEvent::WakeEvent() : native_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
  if (native_ >= 0) ::close(int(native_));
}

void WakeEvent::Set() {
  // The counter is only ever read by Reset: it stays readable for every waiter.
  const int savedErrno = errno;
  uint64_t one = 1;
  if (native_ >= 0) (void)!::write(int(native_), &one, sizeof one);
  errno = savedErrno;
}

void WakeEvent::Reset() {
  uint64_t count;
  if (native_ >= 0) (void)!::read(int(native_), &count, sizeof count);
}

bool WakeEvent::Wait(int ms) const { return WaitEither(this, nullptr, ms); }

bool WakeEvent::Valid() const { return native_ >= 0; }

bool WaitEither(const WakeEvent* a, const WakeEvent* b, int ms) {
  struct pollfd fds[2] = {{a ? int(a->Native()) : -1, POLLIN, 0}, {b ? int(b->Native()) : -1, POLLIN, 0}};
  return ::poll(fds, 2, ms) > 0;
}

}  // namespace varnet::platform
