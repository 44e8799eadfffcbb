#include "support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace varnet::test {

PtyPeer::PtyPeer() {
  char name[128];
  struct termios tio {};
  cfmakeraw(&tio);
  if (openpty(&master_, &slaveKeep_, name, &tio, nullptr) != 0) throw std::runtime_error("openpty");
  slavePath_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer() {
  Join();
  CloseMaster();
}

void PtyPeer::CloseMaster() {
  if (slaveKeep_ >= 0) close(slaveKeep_);
  slaveKeep_ = -1;
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPeer::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size() && master_ >= 0) {
    ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (w > 0) done += size_t(w);
    else {
      struct pollfd p = {master_, POLLOUT, 0};
      poll(&p, 1, 10);
    }
  }
}

void PtyPeer::WriteLater(std::vector<uint8_t> bytes, int delayMs, int gapMs) {
  writers_.emplace_back([this, bytes = std::move(bytes), delayMs, gapMs] {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (gapMs == 0) {
      Write(bytes);
      return;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      Write({bytes[i]});
    }
  });
}

std::vector<uint8_t> PtyPeer::ReadAll(int waitMs, size_t atLeast) {
  std::vector<uint8_t> out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    uint8_t buf[4096];
    ssize_t n = master_ >= 0 ? ::read(master_, buf, sizeof buf) : -1;
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
      continue;
    }
    if (out.size() >= atLeast && atLeast > 0) break;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    struct pollfd p = {master_, POLLIN, 0};
    poll(&p, 1, int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1);
  }
  return out;
}

void PtyPeer::Join() {
  for (auto& t : writers_)
    if (t.joinable()) t.join();
  writers_.clear();
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(uint8_t(b));
  return v;
}

}  // namespace varnet::test
