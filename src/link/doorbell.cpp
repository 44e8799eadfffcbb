// SPDX-License-Identifier: Apache-2.0
#include "link/doorbell.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "link/serial_link.h"

namespace varnet {

Doorbell::Doorbell() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Doorbell::~Doorbell() {
  if (fd_ >= 0) ::close(fd_);
}

void Doorbell::Ring() {
  uint64_t one = 1;
  if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

void Doorbell::Clear() {
  uint64_t count;
  if (fd_ >= 0) (void)!::read(fd_, &count, sizeof count);
}

void Doorbell::Wait(const LinkCancel* cancel, int timeoutMs) {
  struct pollfd fds[2] = {{fd_, POLLIN, 0}, {cancel ? cancel->WakeFd() : -1, POLLIN, 0}};
  ::poll(fds, 2, fd_ >= 0 || (timeoutMs >= 0 && timeoutMs < 20) ? timeoutMs : 20);
  Clear();
}

}  // namespace varnet
