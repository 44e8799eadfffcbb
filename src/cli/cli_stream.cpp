// SPDX-License-Identifier: Apache-2.0
#include "cli/cli_stream.h"

#include <signal.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ostream>

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

extern "C" void OnStopSignal(int) { Stop(); }

struct sigaction g_oldInt, g_oldTerm, g_oldPipe;

struct tm LocalNow(int& millis) {
  const auto now = std::chrono::system_clock::now();
  const time_t t = std::chrono::system_clock::to_time_t(now);
  millis = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  struct tm local {};
  localtime_r(&t, &local);
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
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  // Once asked, a second Ctrl-C is not asking again: it ends the program.
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, &g_oldInt);
  sigaction(SIGTERM, &sa, &g_oldTerm);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &g_oldPipe);
}

StopScope::~StopScope() {
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  sigaction(SIGPIPE, &g_oldPipe, nullptr);
  g_cancel.store(nullptr, std::memory_order_release);
}

bool StopRequested() { return g_stop.load(std::memory_order_relaxed); }

void RequestStop() { Stop(); }

std::string LocalTimestamp(bool iso) {
  int ms = 0;
  const struct tm local = LocalNow(ms);
  char date[40], zone[8] = "";
  strftime(date, sizeof date, iso ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &local);
  std::string s = date;
  char frac[8];
  snprintf(frac, sizeof frac, ".%03d", ms);
  s += frac;
  if (iso && strftime(zone, sizeof zone, "%z", &local) == 5) {
    // +0100 -> +01:00
    s += std::string(zone, 3) + ":" + std::string(zone + 3, 2);
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
