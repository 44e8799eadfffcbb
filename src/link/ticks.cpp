// SPDX-License-Identifier: Apache-2.0
#include "link/ticks.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace varnet {

namespace {
std::atomic<uint32_t> g_tickOffset{0};
}

uint32_t TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
  return uint32_t(uint64_t(ms)) + g_tickOffset.load(std::memory_order_relaxed);
}

void SetTickOffset(uint32_t offset) { g_tickOffset.store(offset, std::memory_order_relaxed); }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace varnet
