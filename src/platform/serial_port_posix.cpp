// SPDX-License-Identifier: Apache-2.0
#include <asm/termbits.h>  // termios2 / BOTHER for rates without a Bxxx constant
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/in_process_line.h"
#include "platform/serial_port.h"

namespace varnet::platform {

namespace {

PortFailure FailureFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return PortFailure::NotFound;
    case EACCES:
    case EPERM: return PortFailure::NoPermission;
    case EBUSY:
    case EWOULDBLOCK: return PortFailure::InUse;
    case ENOTTY: return PortFailure::NotASerialPort;
    default: return PortFailure::Other;
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

}  // namespace

bool SerialPort::Fail(PortFailure why, int error) {
  if (handle_ >= 0) {
    (void)ioctl(int(handle_), TIOCNXCL);
    ::close(int(handle_));
    handle_ = -1;
  }
  failure_ = why;
  error_ = error;
  return false;
}

bool SerialPort::Open(const std::string& name, uint32_t baud) {
  if (InProcessLine::IsLineName(name)) return OpenLine(name, baud);
  Close();
  failure_ = PortFailure::None;
  error_ = 0;
  gone_ = false;
  const int fd = ::open(PortPath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(FailureFromErrno(errno), errno);
  handle_ = fd;
  if (!isatty(fd)) return Fail(PortFailure::NotASerialPort, ENOTTY);
  // Exclusive: another Varnet (flock) or anyone else (TIOCEXCL) keeps out.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(PortFailure::InUse, errno);
  if (ioctl(fd, TIOCEXCL) != 0) return Fail(PortFailure::Settings, errno);
  if (!ApplyLineSettings(fd, baud)) return Fail(PortFailure::Settings, errno);
  ClearModemLines(fd);
  Purge();
  return true;
}

// close() on a terminal waits for its output already.
void SerialPort::DrainOutput() {
  if (line_) return;
}

void SerialPort::Close() {
  if (line_) return CloseLine();
  if (handle_ < 0) return;
  const int fd = int(handle_);
  handle_ = -1;
  // The exclusive flag outlives the descriptor on some terminals (ptys):
  // clear it, or the next open by a non-root user fails.
  (void)ioctl(fd, TIOCNXCL);
  ::close(fd);
}

bool SerialPort::IsOpen() const { return line_ || handle_ >= 0; }

int SerialPort::Id() const { return line_ ? 100000 + line_->Number() : int(handle_); }

size_t SerialPort::ReadNow(uint8_t* buf, size_t n) {
  if (line_) return gone_ ? 0 : ReadLine(buf, n);
  if (handle_ < 0 || n == 0 || gone_) return 0;
  // With VMIN = VTIME = 0 an empty read returns 0; a gone device gives EIO
  // (or shows up as a hang-up in poll).
  const ssize_t got = ::read(int(handle_), buf, n);
  if (got > 0) return size_t(got);
  if (got < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) gone_ = true;
  return 0;
}

WaitEnd SerialPort::WaitReadable(uint32_t ms, const WakeEvent* wake) {
  if (line_) return WaitLine(ms, wake);
  struct pollfd fds[2] = {{gone_ ? -1 : int(handle_), POLLIN, 0}, {wake ? int(wake->Native()) : -1, POLLIN, 0}};
  const int rc = ::poll(fds, 2, int(std::min<uint32_t>(ms, 60000)));
  if (rc <= 0) return WaitEnd::TimedOut;
  if (fds[1].revents) return WaitEnd::Woken;
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
    gone_ = true;
    return WaitEnd::Gone;
  }
  return (fds[0].revents & POLLIN) ? WaitEnd::Input : WaitEnd::TimedOut;
}

size_t SerialPort::Write(const uint8_t* buf, size_t n, uint32_t ms) {
  if (line_) return gone_ ? 0 : WriteLine(buf, n);
  size_t done = 0;
  // The port is non-blocking; a full output buffer gets `ms` in all.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (done < n && handle_ >= 0 && !gone_) {
    const ssize_t w = ::write(int(handle_), buf + done, n - done);
    if (w > 0) {
      done += size_t(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > end) break;
    struct pollfd p = {int(handle_), POLLOUT, 0};
    ::poll(&p, 1, 5);
  }
  return done;
}

void SerialPort::Purge() {
  if (line_) return line_->Discard(InProcessLine::kTool);
  if (handle_ >= 0) (void)ioctl(int(handle_), TCFLSH, TCIOFLUSH);
}

std::string PortPath(const std::string& name) {
  if (InProcessLine::IsLineName(name)) return name;
  if (!name.empty() && name[0] == '/') return name;
  return "/dev/" + name;
}

std::string PortDisplayName(const std::string& nameOrPath) {
  if (InProcessLine::IsLineName(nameOrPath)) return nameOrPath;
  return nameOrPath.rfind("/dev/", 0) == 0 ? nameOrPath.substr(5) : nameOrPath;
}

std::string PortIdentity(const std::string& nameOrPath) {
  if (InProcessLine::IsLineName(nameOrPath)) return nameOrPath;
  std::error_code ec;
  const std::filesystem::path device = std::filesystem::weakly_canonical(PortPath(nameOrPath), ec);
  return ec ? PortPath(nameOrPath) : device.string();
}

const char* ExamplePortName() { return "ttyACM0"; }

const char* UsualPortHolders() { return "ModemManager or another Varnet"; }

const char* PortOptionHelp() { return "the scanner's port: a name under /dev (ttyACM0) or a path; repeat for several"; }

}  // namespace varnet::platform
