#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "support/pty_peer.h"
#include "support/transfer_blocks.h"

namespace varnet::test {

// A minimal scanner for the link benchmark: answers each short command with
// the bytes scripted for its three parameter bytes, nothing when unscripted.
// Tests use the simulator (sim/), which answers like a scanner.
class ScriptedScanner {
 public:
  ScriptedScanner() : thread_([this] { Run(); }) {}
  ~ScriptedScanner() { stop_ = true, thread_.join(); }
  const std::string& SlavePath() const { return peer_.SlavePath(); }
  void On(uint8_t p1, uint8_t p2, uint8_t p3, std::vector<uint8_t> reply) {
    std::lock_guard<std::mutex> l(mu_);
    replies_[uint32_t(p1) << 16 | uint32_t(p2) << 8 | p3] = std::move(reply);
  }

 private:
  void Run() {
    std::vector<uint8_t> pending;
    while (!stop_) {
      pollfd p = {peer_.masterFd(), POLLIN, 0};
      uint8_t buf[512];
      const ssize_t n = poll(&p, 1, 5) > 0 ? read(peer_.masterFd(), buf, sizeof buf) : 0;
      if (n > 0) pending.insert(pending.end(), buf, buf + n);
      while (!pending.empty() && pending.size() >= size_t(pending[0]) + 2) {
        std::vector<uint8_t> frame(pending.begin(), pending.begin() + pending[0] + 2);
        pending.erase(pending.begin(), pending.begin() + long(frame.size()));
        if (frame.size() != 7) continue;
        std::lock_guard<std::mutex> l(mu_);
        auto it = replies_.find(uint32_t(frame[2]) << 16 | uint32_t(frame[3]) << 8 | frame[4]);
        if (it != replies_.end()) peer_.Write(it->second);
      }
    }
  }
  PtyPeer peer_;
  std::mutex mu_;
  std::map<uint32_t, std::vector<uint8_t>> replies_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

inline std::vector<uint8_t> BlockReply(const char* tag, const std::vector<uint8_t>& payload) {
  return Tagged(tag, payload);
}

}  // namespace varnet::test
