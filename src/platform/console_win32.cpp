// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/console.h"
#include "platform/wake_event.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

namespace {

std::atomic<void (*)()> g_handler{nullptr};
std::atomic<bool> g_asked{false};

// Runs on a thread the system starts for the event. TRUE: handled, the
// process goes on; FALSE: the next handler, in the end ExitProcess, as
// without one.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: break;
    default: return FALSE;
  }
  void (*handler)() = g_handler.load(std::memory_order_acquire);
  if (!handler || g_asked.exchange(true)) return FALSE;
  handler();
  return TRUE;
}

std::atomic<WakeEvent*> g_endEvent{nullptr};

BOOL WINAPI OnEndEvent(DWORD event) {
  WakeEvent* e = g_endEvent.load(std::memory_order_acquire);
  if (!e || event > CTRL_CLOSE_EVENT) return FALSE;
  e->Set();
  return TRUE;
}

}  // namespace

void SetEndRequestEvent(WakeEvent* event) {
  g_endEvent.store(event, std::memory_order_release);
  SetConsoleCtrlHandler(OnEndEvent, event ? TRUE : FALSE);
}

void InstallStopHandler(void (*handler)()) {
  g_asked.store(false);
  g_handler.store(handler, std::memory_order_release);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RemoveStopHandler() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  g_handler.store(nullptr, std::memory_order_release);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> args;
  args.reserve(size_t(n));
  for (int i = 0; i < n; ++i) args.push_back(win32::Utf8(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return args;
}

void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

bool LocalTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

std::string UtcOffset(std::time_t t) {
  std::tm local{};
  if (!LocalTime(t, local)) return "+0000";
  // The local fields read as if they were UTC, less the moment itself.
  const long long minutes = (static_cast<long long>(_mkgmtime(&local)) - static_cast<long long>(t)) / 60;
  char zone[8];
  std::snprintf(zone, sizeof zone, "%c%02lld%02lld", minutes < 0 ? '-' : '+', std::llabs(minutes) / 60,
                std::llabs(minutes) % 60);
  return zone;
}

int ProcessId() { return int(GetCurrentProcessId()); }

}  // namespace varnet::platform
