#include "support/scripted_scanner.h"

#include <asm/termbits.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace varnet::test {

ScriptedScanner::ScriptedScanner() { thread_ = std::thread([this] { Run(); }); }

ScriptedScanner::~ScriptedScanner() {
  stop_ = true;
  thread_.join();
}

void ScriptedScanner::On(uint8_t p1, uint8_t p2, uint8_t p3, std::vector<uint8_t> reply) {
  std::lock_guard<std::mutex> l(mu_);
  replies_[uint32_t(p1) << 16 | uint32_t(p2) << 8 | p3] = std::move(reply);
}

std::vector<std::vector<uint8_t>> ScriptedScanner::Frames() {
  std::lock_guard<std::mutex> l(mu_);
  return frames_;
}

bool ScriptedScanner::Received(uint8_t p1, uint8_t p2, uint8_t p3) {
  for (auto& f : Frames())
    if (f.size() == 7 && f[2] == p1 && f[3] == p2 && f[4] == p3) return true;
  return false;
}

void ScriptedScanner::Run() {
  std::vector<uint8_t> pending;
  while (!stop_) {
    struct pollfd p = {peer_.masterFd(), POLLIN, 0};
    if (poll(&p, 1, 5) <= 0) continue;
    uint8_t buf[512];
    ssize_t n = read(peer_.masterFd(), buf, sizeof buf);
    if (n <= 0) continue;
    pending.insert(pending.end(), buf, buf + n);
    while (!pending.empty() && pending.size() >= size_t(pending[0]) + 2) {
      size_t len = size_t(pending[0]) + 2;
      std::vector<uint8_t> frame(pending.begin(), pending.begin() + len);
      pending.erase(pending.begin(), pending.begin() + len);
      std::vector<uint8_t> reply;
      {
        std::lock_guard<std::mutex> l(mu_);
        frames_.push_back(frame);
        if (frame.size() == 7) {
          auto it = replies_.find(uint32_t(frame[2]) << 16 | uint32_t(frame[3]) << 8 | frame[4]);
          if (it != replies_.end()) reply = it->second;
        }
      }
      if (onlyAt_) {
        struct termios2 tio {};
        if (ioctl(peer_.masterFd(), TCGETS2, &tio) != 0 || tio.c_ospeed != onlyAt_) reply.clear();
      }
      if (silent_) reply.clear();
      if (!reply.empty()) peer_.Write(reply);
    }
  }
}

std::vector<uint8_t> DataReply(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r{uint8_t(data.size() + 4), 0x52, 0x0E, 0x0D};
  r.insert(r.end(), data.begin(), data.end());
  uint32_t sum = 0;
  for (uint8_t b : r) sum += b;
  uint16_t ck = uint16_t(65536 - (sum & 0xFFFF));
  r.push_back(uint8_t(ck >> 8));
  r.push_back(uint8_t(ck));
  return r;
}

}  // namespace varnet::test
