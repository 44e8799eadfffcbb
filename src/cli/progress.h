// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace varnet::cli {

// Progress of a command that runs on several ports, for a person watching
// standard error. The runner reports each port's steps by the port's place
// in the list; a runner that handles ports at once may call from several
// threads (each call writes whole lines).
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void Step(size_t port, std::string_view step) = 0;  // "connecting", "set", "saving"
  virtual void Done(size_t port, bool ok) = 0;
};

// Says nothing: output to a file or a pipe, JSON, or a single port.
class SilentProgress : public Progress {
 public:
  void Step(size_t, std::string_view) override {}
  void Done(size_t, bool) override {}
};

// "[2/5] ttyACM1: connecting", one line per step.
class TerminalProgress : public Progress {
 public:
  TerminalProgress(std::ostream& err, std::vector<std::string> ports) : err_(err), ports_(std::move(ports)) {}
  void Step(size_t port, std::string_view step) override;
  void Done(size_t port, bool ok) override { Step(port, ok ? "done" : "failed"); }

 private:
  std::ostream& err_;
  std::vector<std::string> ports_;
  std::mutex mutex_;
};

// Whether progress is shown: standard error (`errFd`) is a terminal, the
// output is not JSON, and the command runs on more than one port.
bool ShowsProgress(int errFd, bool json, size_t ports);
std::unique_ptr<Progress> MakeProgress(std::ostream& err, int errFd, bool json, const std::vector<std::string>& ports);

}  // namespace varnet::cli
