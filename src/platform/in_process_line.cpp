// SPDX-License-Identifier: Apache-2.0
#include "platform/in_process_line.h"

#include <algorithm>
#include <map>

namespace varnet::platform {

namespace {

std::mutex g_listMutex;
std::map<std::string, std::weak_ptr<InProcessLine>> g_lines;
unsigned g_next = 0;

}  // namespace

std::shared_ptr<InProcessLine> InProcessLine::Create(const std::string& stem) {
  std::lock_guard lock(g_listMutex);
  ++g_next;
  auto line = std::make_shared<InProcessLine>("sim:" + stem + "-" + std::to_string(g_next), int(g_next));
  g_lines[line->Name()] = line;
  return line;
}

std::shared_ptr<InProcessLine> InProcessLine::Find(const std::string& name) {
  std::lock_guard lock(g_listMutex);
  auto it = g_lines.find(name);
  if (it == g_lines.end()) return nullptr;
  auto line = it->second.lock();
  if (!line) g_lines.erase(it);
  return line;
}

bool InProcessLine::AttachTool() {
  std::lock_guard lock(mu_);
  if (toolAttached_ || closed_) return false;
  toolAttached_ = true;
  return true;
}

void InProcessLine::DetachTool() {
  std::lock_guard lock(mu_);
  toolAttached_ = false;
}

size_t InProcessLine::Read(Side side, uint8_t* buf, size_t n) {
  std::lock_guard lock(mu_);
  auto& q = queue_[side];
  const size_t got = std::min(n, q.size());
  std::copy_n(q.begin(), got, buf);
  q.erase(q.begin(), q.begin() + std::ptrdiff_t(got));
  if (q.empty() && !(side == kTool && closed_)) readable_[side].Reset();
  return got;
}

void InProcessLine::Write(Side side, const uint8_t* buf, size_t n) {
  const Side to = side == kTool ? kScanner : kTool;
  std::lock_guard lock(mu_);
  // Bytes to a scanner that went away, or from a tool that let go, are lost
  // as on a wire with nobody at the other end.
  if (closed_ || n == 0 || (side == kTool && !toolAttached_)) return;
  queue_[to].insert(queue_[to].end(), buf, buf + n);
  readable_[to].Set();
}

void InProcessLine::Discard(Side side) {
  std::lock_guard lock(mu_);
  queue_[side].clear();
  if (!(side == kTool && closed_)) readable_[side].Reset();
}

void InProcessLine::SetRate(uint32_t baud) {
  std::lock_guard lock(mu_);
  rate_ = baud;
}

uint32_t InProcessLine::Rate() const {
  std::lock_guard lock(mu_);
  return rate_;
}

void InProcessLine::Close() {
  {
    std::lock_guard lock(g_listMutex);
    g_lines.erase(name_);
  }
  std::lock_guard lock(mu_);
  closed_ = true;
  queue_[kScanner].clear();
  readable_[kTool].Set();
}

bool InProcessLine::Closed() const {
  std::lock_guard lock(mu_);
  return closed_;
}

}  // namespace varnet::platform
