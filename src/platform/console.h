// SPDX-License-Identifier: Apache-2.0
// The process and its console: asked to end (Ctrl-C), arguments and output
// in UTF-8, local time.
#pragma once
#include <ctime>
#include <string>
#include <vector>

namespace varnet::platform {

// From Install until Remove, the system's requests to end call `handler`
// once: SIGINT and SIGTERM on POSIX; Ctrl-C, Ctrl-Break and the console
// window closing on Windows. The handler may only store atomics and set
// WakeEvents. A second request ends the program at once, as it would
// without a handler. On POSIX SIGPIPE is ignored meanwhile, so a reader that
// went away shows as a failed write. One at a time.
void InstallStopHandler(void (*handler)());
void RemoveStopHandler();

class WakeEvent;
// For a windowed program: every request to end (SIGTERM, SIGINT and SIGHUP
// on POSIX, interrupted system calls restarted; Ctrl-C, Ctrl-Break and the
// console closing on Windows) sets `event`, until called with nullptr, which
// restores the system's defaults.
void SetEndRequestEvent(WakeEvent* event);

// The command line as UTF-8, whatever the system's code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// The console shows UTF-8 output as text (Windows: SetConsoleOutputCP).
void UseUtf8Console();

// Local time of `t`; false when the system cannot say.
bool LocalTime(std::time_t t, std::tm& out);
// How far local time is ahead of UTC at `t`: "+0100", "-0530" (what %z
// gives on POSIX; Windows' %z gives the zone's name instead).
std::string UtcOffset(std::time_t t);
int ProcessId();

}  // namespace varnet::platform
