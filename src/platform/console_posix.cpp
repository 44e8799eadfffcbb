// SPDX-License-Identifier: Apache-2.0
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <ctime>

#include "platform/console.h"
#include "platform/wake_event.h"

namespace varnet::platform {

namespace {

std::atomic<void (*)()> g_handler{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);
struct sigaction g_oldInt, g_oldTerm, g_oldPipe;

extern "C" void OnStopSignal(int) {
  if (void (*handler)() = g_handler.load(std::memory_order_acquire)) handler();
}

std::atomic<WakeEvent*> g_endEvent{nullptr};

extern "C" void OnEndSignal(int) {
  if (WakeEvent* e = g_endEvent.load(std::memory_order_acquire)) e->Set();
}

}  // namespace

void SetEndRequestEvent(WakeEvent* event) {
  g_endEvent.store(event, std::memory_order_release);
  struct sigaction sa {};
  sa.sa_handler = event ? OnEndSignal : SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void InstallStopHandler(void (*handler)()) {
  g_handler.store(handler, std::memory_order_release);
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

void RemoveStopHandler() {
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  sigaction(SIGPIPE, &g_oldPipe, nullptr);
  g_handler.store(nullptr, std::memory_order_release);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseUtf8Console() {}

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

std::string UtcOffset(std::time_t t) {
  std::tm local{};
  char zone[8] = "";
  if (!LocalTime(t, local) || std::strftime(zone, sizeof zone, "%z", &local) != 5) return "+0000";
  return zone;
}

int ProcessId() { return int(getpid()); }

}  // namespace varnet::platform
