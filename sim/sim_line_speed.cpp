// SPDX-License-Identifier: Apache-2.0
// The line speed the tool has set on the pty, in bits per second. Kept apart
// from <termios.h>, whose definitions clash with the kernel's termios2 that
// carries arbitrary rates (BOTHER).
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace varnet::sim {

// On the master side the termios requests reach the slave's settings.
uint32_t PtyLineRate(int masterFd) {
  termios2 t{};
  if (::ioctl(masterFd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

}  // namespace varnet::sim
