#include "support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdlib>

namespace varnet::test {

PtyPeer::PtyPeer() {
  int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m < 0) return;
  if (::grantpt(m) != 0 || ::unlockpt(m) != 0) {
    ::close(m);
    return;
  }
  char name[128];
  if (::ptsname_r(m, name, sizeof name) != 0) {
    ::close(m);
    return;
  }
  int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (s < 0) {
    ::close(m);
    return;
  }
  termios t{};
  ::tcgetattr(s, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(s, TCSANOW, &t);
  ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
  master_ = m;
  slave_ = s;
  path_ = name;
}

PtyPeer::~PtyPeer() {
  Join();
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

void PtyPeer::Send(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  int stalled = 0;  // a terminal nobody reads fills up; give up after a second
  while (done < bytes.size() && stalled < 100) {
    ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += size_t(w);
      stalled = 0;
    } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
      return;
    } else {
      pollfd p{master_, POLLOUT, 0};
      if (::poll(&p, 1, 10) == 0) ++stalled;
    }
  }
}

void PtyPeer::Send(const std::string& text) { Send(std::vector<uint8_t>(text.begin(), text.end())); }

std::vector<uint8_t> PtyPeer::Receive(size_t n, uint32_t gapMs) {
  std::vector<uint8_t> out;
  while (out.size() < n) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, int(gapMs)) <= 0) break;
    uint8_t buf[4096];
    size_t want = std::min(sizeof buf, n - out.size());
    ssize_t r = ::read(master_, buf, want);
    if (r <= 0) break;
    out.insert(out.end(), buf, buf + r);
  }
  return out;
}

std::vector<uint8_t> PtyPeer::ReceiveUntilQuiet(uint32_t quietMs) { return Receive(SIZE_MAX, quietMs); }

void PtyPeer::Run(std::function<void(PtyPeer&)> script) {
  Join();
  thread_ = std::thread([this, script = std::move(script)] { script(*this); });
}

void PtyPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace varnet::test
