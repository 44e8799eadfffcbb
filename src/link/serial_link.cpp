// SPDX-License-Identifier: Apache-2.0
#include "link/serial_link.h"

#include <asm/termbits.h>  // termios2 / BOTHER for rates without a Bxxx constant
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "link/ticks.h"
#include "link/trace.h"

namespace varnet {

namespace {

Reason FailureFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return Reason::PortGone;
    case EACCES:
    case EPERM: return Reason::PortPermission;
    case EBUSY:
    case EWOULDBLOCK: return Reason::PortBusy;
    case ENOTTY: return Reason::NotASerialPort;
    default: return Reason::PortError;
  }
}

// Raw 8-N-1, no flow control, no character processing, HUPCL off, any rate.
bool ApplyLineSettings(int fd, uint32_t baud) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL | CBAUD);
  tio.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER;
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &tio) == 0;
}

void ClearModemLines(int fd) {
  // Pseudo-terminals answer ENOTTY/EINVAL here; that is fine.
  int bits = TIOCM_DTR | TIOCM_RTS;
  (void)ioctl(fd, TIOCMBIC, &bits);
}

int CancelFd(const ScannerLink& link) { return link.cancel ? link.cancel->WakeFd() : -1; }

// Waits out ms unless the link's cancel is raised first (a port that hung up
// has nothing else to wait for).
void SleepUnlessCancelled(const ScannerLink& link, uint32_t ms) {
  struct pollfd p = {CancelFd(link), POLLIN, 0};
  ::poll(&p, 1, int(ms));
}

}  // namespace

LinkCancel::LinkCancel() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LinkCancel::~LinkCancel() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

// Raise runs in signal handlers: lock-free atomics and write() only.
static_assert(std::atomic<bool>::is_always_lock_free);

void LinkCancel::Raise() {
  if (raised_.exchange(true, std::memory_order_acq_rel)) return;
  // Nobody reads the counter back: it stays readable and wakes every waiter.
  const int savedErrno = errno;
  uint64_t one = 1;
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
  errno = savedErrno;
}

bool LinkCancel::Sleep(uint32_t ms) const {
  if (Raised()) return false;
  struct pollfd p = {wakeFd_, POLLIN, 0};
  ::poll(&p, 1, int(std::min<uint32_t>(ms, 60000)));
  return !Raised();
}

ScannerLink::~ScannerLink() { CloseLink(*this); }

std::string PortPath(const std::string& portName) {
  if (!portName.empty() && portName[0] == '/') return portName;
  return "/dev/" + portName;
}

bool OpenLink(ScannerLink& link, const std::string& portName, uint32_t baud) {
  CloseLink(link);
  link.lastFailure = Reason::None;
  link.lastErrno = 0;
  auto fail = [&](int fd, Reason why, int err) {
    if (fd >= 0) {
      (void)ioctl(fd, TIOCNXCL);
      ::close(fd);
    }
    link.lastFailure = why;
    link.lastErrno = err;
    if (trace::On()) trace::OpenFailed(portName, err);
    return false;
  };
  if (link.cancel && link.cancel->Raised()) return fail(-1, Reason::PortError, ECANCELED);
  if (portName.empty() || baud == 0) return fail(-1, Reason::PortGone, ENOENT);

  int fd = ::open(PortPath(portName).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(-1, FailureFromErrno(errno), errno);
  if (!isatty(fd)) return fail(fd, Reason::NotASerialPort, ENOTTY);
  // Exclusive: another Varnet (flock) or anyone else (TIOCEXCL) keeps out.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(fd, Reason::PortBusy, errno);
  if (ioctl(fd, TIOCEXCL) != 0) return fail(fd, Reason::PortSettings, errno);
  if (!ApplyLineSettings(fd, baud)) return fail(fd, Reason::PortSettings, errno);
  ClearModemLines(fd);
  (void)ioctl(fd, TCFLSH, TCIOFLUSH);

  link.hungUp = false;
  link.baud = baud;
  link.fd = fd;
  if (trace::On()) trace::Opened(fd, portName, baud);
  return true;
}

void CloseLink(ScannerLink& link) {
  const int fd = link.fd;
  if (fd < 0) return;
  link.fd = -1;
  // The exclusive flag outlives the descriptor on some terminals (ptys):
  // clear it, or the next open by a non-root user fails.
  (void)ioctl(fd, TIOCNXCL);
  if (trace::On()) trace::Closed(fd);
  ::close(fd);
}

bool ReopenLink(ScannerLink& link, uint32_t baud) {
  std::string name = link.LinkPortName;
  CloseLink(link);
  return OpenLink(link, name, baud);
}

bool WaitReadable(ScannerLink& link, uint32_t ms) {
  if (!link.Usable()) return false;
  struct pollfd fds[2] = {{link.hungUp ? -1 : link.fd, POLLIN, 0}, {CancelFd(link), POLLIN, 0}};
  int rc = ::poll(fds, 2, int(std::min<uint32_t>(ms, 60000)));
  if (rc <= 0) return false;
  if (fds[1].revents) return false;  // cancelled meanwhile
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
    // The device went away: from now on reads bring nothing and waits just
    // sleep, so every exchange ends by its own time limit without spinning.
    if (trace::On() && !link.hungUp) trace::HungUp(link.fd);
    link.hungUp = true;
    return false;
  }
  return fds[0].revents & POLLIN;
}

static size_t ReadNow(ScannerLink& link, uint8_t* buf, size_t n) {
  if (!link.Usable() || n == 0 || link.hungUp) return 0;
  // With VMIN = VTIME = 0 an empty read returns 0; a gone device gives EIO
  // (or shows up as a hang-up in poll).
  const int fd = link.fd;
  ssize_t got = ::read(fd, buf, n);
  if (got > 0) {
    if (trace::On()) trace::Read(fd, buf, size_t(got));
    return size_t(got);
  }
  if (got < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
    if (trace::On()) trace::HungUp(fd);
    link.hungUp = true;
  }
  return 0;
}

size_t PollRead(ScannerLink& link, uint8_t* buf, size_t n) {
  size_t got = ReadNow(link, buf, n);
  if (got > 0 || !link.Usable()) return got;
  if (link.hungUp) {
    SleepUnlessCancelled(link, 2);
    return 0;
  }
  if (!WaitReadable(link, 2)) return 0;
  return ReadNow(link, buf, n);
}

void WriteBytes(ScannerLink& link, const uint8_t* buf, size_t n) {
  size_t done = 0;
  uint32_t start = TickCount();
  // The port is non-blocking; a full output buffer gets a little time, as a
  // write time-out of 1 ms per byte would give it.
  while (done < n) {
    if (!link.Usable() || link.hungUp) return;
    const int fd = link.fd;
    ssize_t w = ::write(fd, buf + done, n - done);
    if (w > 0) {
      if (trace::On()) trace::Wrote(fd, buf + done, size_t(w));
      done += size_t(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return;
    if (TicksSince(start) > 1 + n) return;
    struct pollfd p = {fd, POLLOUT, 0};
    ::poll(&p, 1, 5);
  }
}

size_t DrainInput(ScannerLink& link) {
  uint8_t buf[256];
  size_t total = 0;
  uint32_t start = TickCount();
  while (link.Usable()) {
    size_t got = PollRead(link, buf, sizeof buf);
    if (got == 0) break;
    total += got;
    if (total >= kDrainMaxBytes || TicksSince(start) >= kDrainMaxMs) break;
  }
  return total;
}

CollectResult CollectUntilIdle(ScannerLink& link, uint8_t* buf, size_t max, uint32_t firstLimitMs, uint32_t nextLimitMs,
                               bool strictlyGreater) {
  CollectResult r;
  uint32_t idleStart = TickCount();
  for (;;) {
    if (!link.Usable()) {
      r.end = CollectEnd::Closed;
      return r;
    }
    if (r.count < max && ReadNow(link, buf + r.count, 1) == 1) {
      ++r.count;
      if (r.count >= max) {
        r.end = CollectEnd::Full;
        return r;
      }
      idleStart = TickCount();
      continue;
    }
    uint32_t limit = r.count == 0 ? firstLimitMs : nextLimitMs;
    uint32_t idle = TicksSince(idleStart);
    bool over = strictlyGreater ? idle > limit : idle >= limit;
    if (over) {
      if (trace::On()) trace::TimedOut(link.fd, limit, r.count);
      r.end = CollectEnd::Idle;
      return r;
    }
    uint32_t remaining = limit - idle + (strictlyGreater ? 1 : 0);
    if (link.hungUp) {
      SleepUnlessCancelled(link, remaining);
    } else {
      WaitReadable(link, remaining);
    }
  }
}

size_t ReadExact(ScannerLink& link, uint8_t* buf, size_t n, uint32_t gapMs, size_t maxChunk) {
  size_t received = 0;
  uint32_t last = TickCount();
  while (received < n) {
    size_t got = ReadNow(link, buf + received, std::min(n - received, maxChunk));
    if (got > 0) {
      received += got;
      last = TickCount();
      continue;
    }
    uint32_t gap = TicksSince(last);
    if (gap >= gapMs && trace::On()) trace::TimedOut(link.fd, gapMs, received, n);
    if (gap >= gapMs || !link.Usable()) break;
    if (link.hungUp) {
      SleepUnlessCancelled(link, gapMs - gap);
    } else {
      WaitReadable(link, gapMs - gap);
    }
  }
  return received;
}

}  // namespace varnet
