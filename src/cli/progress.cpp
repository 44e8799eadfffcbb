// SPDX-License-Identifier: Apache-2.0
#include "cli/progress.h"

#include <ostream>

#include "platform/files.h"

namespace varnet::cli {

void TerminalProgress::Step(size_t port, std::string_view step) {
  const std::string name = port < ports_.size() ? ports_[port] : std::string("?");
  std::lock_guard lock(mutex_);
  err_ << "[" << port + 1 << "/" << ports_.size() << "] " << name << ": " << step << "\n" << std::flush;
}

bool ShowsProgress(int errFd, bool json, size_t ports) {
  return !json && ports > 1 && errFd >= 0 && platform::IsTerminal(errFd);
}

std::unique_ptr<Progress> MakeProgress(std::ostream& err, int errFd, bool json, const std::vector<std::string>& ports) {
  if (ShowsProgress(errFd, json, ports.size())) return std::make_unique<TerminalProgress>(err, ports);
  return std::make_unique<SilentProgress>();
}

}  // namespace varnet::cli
