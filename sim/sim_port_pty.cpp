// SPDX-License-Identifier: Apache-2.0
// The scanner's end of a pseudo-terminal: the tool opens the slave like any
// serial port.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "sim/sim_port.h"

namespace varnet::sim {

uint32_t PtyLineRate(int masterFd);  // sim_line_speed.cpp

namespace {

class PtyEnd : public ScannerEnd {
 public:
  PtyEnd(int master, int slave, std::string name, int wake)
      : master_(master), slave_(slave), name_(std::move(name)), wake_(wake) {}
  ~PtyEnd() override {
    ::close(slave_);
    ::close(master_);
    ::close(wake_);
  }
  std::string Name() const override { return name_; }
  long Read(uint8_t* buf, size_t n, int ms) override {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
    ::poll(fds, 2, ms);
    if (fds[0].revents & POLLIN) {
      const ssize_t got = ::read(master_, buf, n);
      return got > 0 ? long(got) : 0;
    }
    return (fds[0].revents & (POLLHUP | POLLERR)) ? -1 : 0;
  }
  long Write(const uint8_t* buf, size_t n) override {
    const ssize_t w = ::write(master_, buf, n);
    if (w >= 0) return long(w);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
  }
  void WaitWritable(int ms) override {
    pollfd p{master_, POLLOUT, 0};
    ::poll(&p, 1, ms);
  }
  uint32_t LineRate() override { return PtyLineRate(master_); }
  void Interrupt() override {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(wake_, &one, sizeof one);
  }
  void ClearInterrupt() override {
    uint64_t drain;
    [[maybe_unused]] ssize_t r = ::read(wake_, &drain, sizeof drain);
  }
  void DiscardInput() override {
    uint8_t stale[256];
    while (::read(master_, stale, sizeof stale) > 0) {
    }
  }

 private:
  const int master_, slave_;
  const std::string name_;
  const int wake_;  // eventfd that ends a poll() at once
};

}  // namespace

Transport DefaultTransport() { return Transport::Pty; }

std::unique_ptr<ScannerEnd> OpenPtyEnd() {
  int m = -1, sl = -1;
  if (::openpty(&m, &sl, nullptr, nullptr, nullptr) != 0) return nullptr;
  char name[128];
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (::ptsname_r(m, name, sizeof name) != 0 || wake < 0) {
    ::close(m);
    ::close(sl);
    if (wake >= 0) ::close(wake);
    return nullptr;
  }
  // Raw both ways, so that no byte is translated; the slave stays open
  // here so the pty survives the tool opening and closing it.
  termios t{};
  ::tcgetattr(sl, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(sl, TCSANOW, &t);
  ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
  ::fcntl(m, F_SETFD, FD_CLOEXEC);
  ::fcntl(sl, F_SETFD, FD_CLOEXEC);
  return std::make_unique<PtyEnd>(m, sl, name, wake);
}

}  // namespace varnet::sim
