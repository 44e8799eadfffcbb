// SPDX-License-Identifier: Apache-2.0
#include "cli/cli_stream.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "platform/console.h"

namespace varnet::cli {

namespace {

// Lock-free, so the handler may use them.
std::atomic<bool> g_stop{false};
std::atomic<LinkCancel*> g_cancel{nullptr};  // the living StopScope's
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<LinkCancel*>::is_always_lock_free);

void Stop() {
  g_stop.store(true, std::memory_order_relaxed);
  if (LinkCancel* cancel = g_cancel.load(std::memory_order_acquire)) cancel->Raise();
}

struct tm LocalNow(int& millis, time_t* when = nullptr) {
  const auto now = std::chrono::system_clock::now();
  const time_t t = std::chrono::system_clock::to_time_t(now);
  if (when) *when = t;
  millis = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  struct tm local {};
  platform::LocalTime(t, local);
  return local;
}

}  // namespace

bool LineOut::Line(const std::string& line) {
  std::lock_guard lock(mutex_);
  out_ << line << '\n' << std::flush;
  return bool(out_);
}

StopScope::StopScope() {
  g_stop.store(false);
  g_cancel.store(&cancel_, std::memory_order_release);
  platform::InstallStopHandler(Stop);
}

StopScope::~StopScope() {
  platform::RemoveStopHandler();
  g_cancel.store(nullptr, std::memory_order_release);
}

bool StopRequested() { return g_stop.load(std::memory_order_relaxed); }

void RequestStop() { Stop(); }

std::string LocalTimestamp(bool iso) {
  int ms = 0;
  time_t t = 0;
  const struct tm local = LocalNow(ms, &t);
  char date[40];
  strftime(date, sizeof date, iso ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &local);
  std::string s = date;
  char frac[8];
  snprintf(frac, sizeof frac, ".%03d", ms);
  s += frac;
  if (iso) {
    // +0100 -> +01:00
    const std::string zone = platform::UtcOffset(t);
    s += zone.substr(0, 3) + ":" + zone.substr(3, 2);
  }
  return s;
}

std::string FileTimestamp() {
  int ms = 0;
  const struct tm local = LocalNow(ms);
  char s[20];
  strftime(s, sizeof s, "%Y%m%d-%H%M%S", &local);
  return s;
}

}  // namespace varnet::cli
