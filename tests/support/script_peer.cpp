#include "support/script_peer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace varnet::test {

void ScriptPeer::Send(const std::vector<uint8_t>& bytes) {
  const int fd = pty_.masterFd();
  size_t done = 0;
  int stalled = 0;  // a terminal nobody reads fills up
  while (done < bytes.size() && stalled < 100) {
    ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += size_t(w);
      stalled = 0;
    } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
      return;
    } else {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 10) == 0) ++stalled;
    }
  }
}

void ScriptPeer::Send(const std::string& text) { Send(std::vector<uint8_t>(text.begin(), text.end())); }

std::vector<uint8_t> ScriptPeer::Receive(size_t n, uint32_t gapMs) {
  const int fd = pty_.masterFd();
  std::vector<uint8_t> out;
  while (out.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, int(gapMs)) <= 0) break;
    uint8_t buf[4096];
    ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
    if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (r <= 0) break;
    out.insert(out.end(), buf, buf + r);
  }
  return out;
}

std::vector<uint8_t> ScriptPeer::ReceiveUntilQuiet(uint32_t quietMs) { return Receive(SIZE_MAX, quietMs); }

void ScriptPeer::Run(std::function<void(ScriptPeer&)> script) {
  Join();
  thread_ = std::thread([this, script = std::move(script)] { script(*this); });
}

void ScriptPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace varnet::test
