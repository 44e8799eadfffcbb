// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace varnet::test {

// varnet-cli as its own process, for what only a real process shows: its
// signals and its exit status. Standard output comes through a pipe.
class CliProcess {
 public:
  explicit CliProcess(std::vector<std::string> args) {
    args.insert(args.begin(), VARNET_CLI_BINARY);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~CliProcess() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      Wait(5000);
    }
    if (out_ >= 0) close(out_);
  }
  bool Started() const { return pid_ > 0; }
  void Signal(int sig) { kill(pid_, sig); }
  // Standard output until it holds `lines` lines or `ms` have passed.
  const std::string& ReadLines(size_t lines, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (size_t(std::count(out.begin(), out.end(), '\n')) < lines && std::chrono::steady_clock::now() < end) {
      pollfd p = {out_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        char buf[4096];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, size_t(n));
      }
    }
    return out;
  }
  // The exit status, or -1 when it has not ended within `ms`.
  int Wait(int ms) {
    for (int waited = 0; status_ < 0 && waited <= ms; waited += 10) {
      int st = 0;
      if (waitpid(pid_, &st, WNOHANG) == pid_) status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      else usleep(10000);
    }
    return status_;
  }
  std::string out;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
};

}  // namespace varnet::test
