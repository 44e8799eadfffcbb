// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_link.h"

namespace varnet::test {

// The far end of a pseudo-terminal: tests play the scanner byte by byte
// with exact timing, and read what the tool wrote.
class PtyPeer {
 public:
  PtyPeer() {
    char name[128];
    termios tio{};
    cfmakeraw(&tio);
    if (openpty(&master_, &slaveKeep_, name, &tio, nullptr) != 0) throw std::runtime_error("openpty");
    slavePath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPeer() { Join(), CloseMaster(); }
  const std::string& SlavePath() const { return slavePath_; }
  int masterFd() const { return master_; }

  void Write(const std::vector<uint8_t>& bytes) {
    for (size_t done = 0; done < bytes.size() && master_ >= 0;) {
      const ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (w > 0) done += size_t(w);
      pollfd p = {master_, POLLOUT, 0};
      if (w <= 0) poll(&p, 1, 10);
    }
  }
  // Writes the bytes from a thread, `gapMs` apart, after `delayMs`.
  void WriteLater(std::vector<uint8_t> bytes, int delayMs, int gapMs = 0) {
    writers_.emplace_back([this, bytes = std::move(bytes), delayMs, gapMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      if (gapMs == 0) return Write(bytes);
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        Write({bytes[i]});
      }
    });
  }
  // Everything the tool wrote so far (waits up to waitMs for at least `atLeast` bytes).
  std::vector<uint8_t> ReadAll(int waitMs = 50, size_t atLeast = 0) {
    std::vector<uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      uint8_t buf[4096];
      const ssize_t n = master_ >= 0 ? ::read(master_, buf, sizeof buf) : -1;
      if (n > 0) {
        out.insert(out.end(), buf, buf + n);
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if ((atLeast > 0 && out.size() >= atLeast) || now >= deadline) return out;
      pollfd p = {master_, POLLIN, 0};
      poll(&p, 1, int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1);
    }
  }
  void Join() {
    for (auto& t : writers_)
      if (t.joinable()) t.join();
    writers_.clear();
  }
  // The port goes away.
  void CloseMaster() {
    if (slaveKeep_ >= 0) close(slaveKeep_);
    if (master_ >= 0) close(master_);
    slaveKeep_ = master_ = -1;
  }

 private:
  int master_ = -1;
  int slaveKeep_ = -1;
  std::string slavePath_;
  std::vector<std::thread> writers_;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(uint8_t(b));
  return v;
}

// A link whose far end the test plays byte by byte.
class PeerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenLink(link, peer.SlavePath(), 115200)); }
  void TearDown() override { peer.Join(); }
  // The far end sends `bytes` after delayMs, gapMs between bytes.
  void Later(std::vector<uint8_t> bytes, int delayMs = 20, int gapMs = 0) {
    peer.Join();
    peer.WriteLater(std::move(bytes), delayMs, gapMs);
  }
  PtyPeer peer;
  ScannerLink link;
};

}  // namespace varnet::test
