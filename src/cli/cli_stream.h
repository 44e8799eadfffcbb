// SPDX-License-Identifier: Apache-2.0
// What the commands that run until they are told to stop (monitor, capture)
// share: lines printed as they come from several ports' threads, and the end
// asked for by Ctrl-C, SIGTERM or a reader that went away.
#pragma once
#include <iosfwd>
#include <mutex>
#include <string>

#include "link/serial_link.h"

namespace varnet::cli {

// Whole lines on the output, from any thread, each flushed at once.
class LineOut {
 public:
  explicit LineOut(std::ostream& out) : out_(out) {}
  // False once the output takes no more (a closed pipe): the commands then
  // end as if interrupted.
  bool Line(const std::string& line);
  // Held while a port's result is printed, so it does not split a line.
  std::mutex& mutex() { return mutex_; }

 private:
  std::ostream& out_;
  std::mutex mutex_;
};

// While one lives, SIGINT and SIGTERM (Ctrl-C, Ctrl-Break and closing the
// console on Windows) ask the commands to end: the handler
// raises cancel(), which the commands' links watch, so the read in progress
// ends at once; their loops look at StopRequested(), and each port's owner
// then stops watching the cancel and closes its connection as the desktop
// program does. A second such signal ends the program at once. SIGPIPE is
// ignored, so a closed output shows as a failed write instead of killing the
// program with a connection open. One at a time.
class StopScope {
 public:
  StopScope();
  ~StopScope();
  StopScope(const StopScope&) = delete;
  StopScope& operator=(const StopScope&) = delete;
  const LinkCancel& cancel() const { return cancel_; }

 private:
  LinkCancel cancel_;
};

bool StopRequested();
// What a signal does, for a command whose output went away.
void RequestStop();

// The wall clock in local time: "2026-12-07 14:03:27.512", or with `iso`
// "2026-12-07T14:03:27.512+01:00".
std::string LocalTimestamp(bool iso);
// "20261207-140327" for file names.
std::string FileTimestamp();

}  // namespace varnet::cli
