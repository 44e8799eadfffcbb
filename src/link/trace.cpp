// SPDX-License-Identifier: Apache-2.0
#include "link/trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

#include "link/ticks.h"
#include "platform/console.h"
#include "platform/files.h"

namespace varnet::trace {

namespace detail {
std::atomic<bool> on{false};
}

namespace {

constexpr size_t kLineBytes = 32;
// Bytes read within this many ms of a line's first byte share its line (and
// its time), so that a replay can keep the pace of a slow reply.
constexpr uint32_t kReadGatherMs = 2;

struct Port {
  std::string name;
  std::vector<uint8_t> gathered;  // read, not yet written out
  uint32_t gatheredAt = 0;        // tick of the first gathered byte
  bool emptyTimeOut = false;      // the last line was a time-out with nothing read
  uint32_t emptyLimit = 0;
  size_t repeats = 0;  // identical time-outs since, not written yet
  uint32_t lastRepeatAt = 0;
};

struct Sink {
  std::mutex mutex;
  int fd = -1;
  bool ownsFd = false;
  std::map<int, Port> ports;  // by descriptor: one open port each
};

// Never destroyed: a reader on another thread may still trace while the
// process ends.
Sink& TheSink() {
  static Sink* sink = new Sink;
  return *sink;
}

std::string Stamp(uint32_t tick) {
  char s[32];
  snprintf(s, sizeof s, "%7u.%03u ", tick / 1000, tick % 1000);
  return s;
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
}

void WriteAll(int fd, const std::string& text) { platform::WriteFd(fd, text); }

// Lines of `what` with the bytes, 32 a line.
void BytesLines(std::string& out, uint32_t tick, const std::string& port, const char* what, const uint8_t* bytes,
                size_t n) {
  for (size_t at = 0; at < n; at += kLineBytes) {
    out += Stamp(tick) + port + " " + what;
    AppendHex(out, bytes + at, std::min(kLineBytes, n - at));
    out += '\n';
  }
}

// What a port still holds back, written out before its next line.
void Settle(std::string& out, Port& p) {
  if (!p.gathered.empty()) {
    BytesLines(out, p.gatheredAt, p.name, "read ", p.gathered.data(), p.gathered.size());
    p.gathered.clear();
  }
  if (p.repeats > 0) {
    out += Stamp(p.lastRepeatAt) + p.name + " time-out after " + std::to_string(p.emptyLimit) + " ms, nothing read (" +
           std::to_string(p.repeats) + " more times)\n";
    p.repeats = 0;
  }
  p.emptyTimeOut = false;
}

// Runs `make` on the port's state under the lock and writes what it made.
template <class Make>
void Emit(int fd, Make&& make) {
  Sink& s = TheSink();
  std::lock_guard lock(s.mutex);
  if (s.fd < 0) return;
  std::string out;
  auto it = s.ports.find(fd);
  if (it == s.ports.end()) it = s.ports.emplace(fd, Port{"fd" + std::to_string(fd)}).first;
  make(out, it->second);
  if (!out.empty()) WriteAll(s.fd, out);
}

void Start(int fd, bool owns, const std::string& program) {
  Stop();
  Sink& s = TheSink();
  {
    std::lock_guard lock(s.mutex);
    s.fd = fd;
    s.ownsFd = owns;
    // The tick clock counts from an arbitrary point: tie it to the wall clock.
    char when[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (platform::LocalTime(now, local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S ", &local);
    WriteAll(fd, "# " + program + " wire trace, format " + std::to_string(kFormat) + ", pid " +
                     std::to_string(platform::ProcessId()) + ": tick " + Stamp(TickCount()) + "s is " + when +
                     platform::UtcOffset(now) + "\n");
  }
  detail::on.store(true);
}

}  // namespace

void ToFd(int fd, const std::string& program) { Start(fd, false, program); }

bool ToFile(const std::string& path, const std::string& program, std::string& why) {
  int error = 0;
  const int fd = platform::OpenAppendPrivate(path, &error);
  if (fd < 0) {
    why = platform::ErrorText(error);
    return false;
  }
  Start(fd, true, program);
  return true;
}

bool FromEnvironment(const std::string& program, std::string& why) {
  const char* value = getenv("VARNET_TRACE");
  if (value == nullptr || *value == '\0' || std::string(value) == "0") return true;
  if (std::string(value) == "1") {
    ToFd(2, program);
    return true;
  }
  if (!ToFile(value, program, why)) {
    why = std::string(value) + ": " + why;
    return false;
  }
  return true;
}

void Stop() {
  detail::on.store(false);
  Sink& s = TheSink();
  std::lock_guard lock(s.mutex);
  if (s.fd < 0) return;
  std::string out;
  for (auto& [fd, p] : s.ports) Settle(out, p);
  WriteAll(s.fd, out);
  if (s.ownsFd) platform::CloseFd(s.fd);
  s.fd = -1;
  s.ports.clear();
}

void Opened(int fd, const std::string& port, uint32_t baud) {
  Sink& s = TheSink();
  {
    std::lock_guard lock(s.mutex);
    s.ports[fd] = Port{port};
  }
  Emit(fd, [&](std::string& out, Port& p) {
    out += Stamp(TickCount()) + p.name + " open at " + std::to_string(baud) + " bit/s\n";
  });
}

void OpenFailed(const std::string& port, int error) {
  Sink& s = TheSink();
  std::lock_guard lock(s.mutex);
  if (s.fd >= 0)
    WriteAll(s.fd, Stamp(TickCount()) + port +
                       " open failed: " + (error ? platform::ErrorText(error) : std::string("not usable")) + "\n");
}

void Wrote(int fd, const uint8_t* bytes, size_t n) {
  Emit(fd, [&](std::string& out, Port& p) {
    Settle(out, p);
    BytesLines(out, TickCount(), p.name, "write", bytes, n);
  });
}

void Read(int fd, const uint8_t* bytes, size_t n) {
  Emit(fd, [&](std::string& out, Port& p) {
    const uint32_t now = TickCount();
    if (!p.gathered.empty() && now - p.gatheredAt > kReadGatherMs) Settle(out, p);
    if (p.repeats > 0 || p.emptyTimeOut) Settle(out, p);
    if (p.gathered.empty()) p.gatheredAt = now;
    p.gathered.insert(p.gathered.end(), bytes, bytes + n);
    // Full lines go out at once; the rest waits for more of the same reply.
    const size_t full = p.gathered.size() / kLineBytes * kLineBytes;
    if (full > 0) {
      BytesLines(out, p.gatheredAt, p.name, "read ", p.gathered.data(), full);
      p.gathered.erase(p.gathered.begin(), p.gathered.begin() + std::ptrdiff_t(full));
      p.gatheredAt = now;
    }
  });
}

void TimedOut(int fd, uint32_t limitMs, size_t got, size_t wanted) {
  Emit(fd, [&](std::string& out, Port& p) {
    const uint32_t now = TickCount();
    if (got == 0 && wanted == 0 && p.emptyTimeOut && p.emptyLimit == limitMs && p.gathered.empty()) {
      ++p.repeats;
      p.lastRepeatAt = now;
      return;
    }
    Settle(out, p);
    out += Stamp(now) + p.name + " time-out after " + std::to_string(limitMs) + " ms, ";
    if (wanted > 0) out += std::to_string(got) + " of " + std::to_string(wanted) + " bytes read\n";
    else if (got > 0) out += std::to_string(got) + " bytes read\n";
    else out += "nothing read\n";
    p.emptyTimeOut = got == 0 && wanted == 0;
    p.emptyLimit = limitMs;
  });
}

void HungUp(int fd) {
  Emit(fd, [&](std::string& out, Port& p) {
    Settle(out, p);
    out += Stamp(TickCount()) + p.name + " hang-up: the device went away\n";
  });
}

void Closed(int fd) {
  Emit(fd, [&](std::string& out, Port& p) {
    Settle(out, p);
    out += Stamp(TickCount()) + p.name + " closed\n";
  });
  Sink& s = TheSink();
  std::lock_guard lock(s.mutex);
  s.ports.erase(fd);
}

}  // namespace varnet::trace
