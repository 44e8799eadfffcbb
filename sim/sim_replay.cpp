// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_replay.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace varnet::sim {

uint32_t PtyLineRate(int masterFd);  // sim_line_speed.cpp

namespace {

using Clock = std::chrono::steady_clock;

// A request that differs is taken whole once the tool pauses this long.
constexpr auto kGatherIdle = std::chrono::milliseconds(20);
constexpr auto kGatherMost = std::chrono::milliseconds(500);
// The tool sets up and flushes a port right after opening it; what the trace
// shows as coming before any request is timed from just after that.
constexpr auto kOpenSettle = std::chrono::milliseconds(1);
constexpr auto kWriteStall = std::chrono::milliseconds(2000);
constexpr size_t kShownBytes = 48;

// What the replay does next on a port, made from the trace's events.
struct Step {
  enum class Kind { AwaitOpen, Request, Send, HangUp } kind = Kind::Send;
  std::vector<uint8_t> bytes;  // Request: what the tool must send; Send: what to answer
  uint32_t tick = 0;           // Request: its last write; AwaitOpen: the open; Send, HangUp: when recorded
  uint32_t baud = 0;           // Request: the rate the port was open at
  size_t open = 0;             // AwaitOpen: which open of the port, from 1
  size_t line = 0;             // in the trace
  size_t number = 0;           // Request: from 1
};

bool Timed(WireEventKind k) { return k == WireEventKind::Read || k == WireEventKind::HangUp; }

// Writes in a row make one request (a record goes out a byte a write); reads
// of one tick one answer. Reads before the first write of an open are timed
// from the open, all others from the request before them.
std::vector<Step> Script(const WirePort& port) {
  std::vector<Step> steps;
  uint32_t baud = 0;
  size_t opens = 0, requests = 0;
  bool afterWrite = false;
  const auto& ev = port.events;
  for (size_t i = 0; i < ev.size(); ++i) {
    const WireEvent& e = ev[i];
    const bool wasWrite = std::exchange(afterWrite, false);
    switch (e.kind) {
      case WireEventKind::Open: {
        baud = e.baud;
        ++opens;
        size_t j = i + 1;
        while (j < ev.size() && ev[j].kind == WireEventKind::TimeOut) ++j;
        if (j < ev.size() && Timed(ev[j].kind))
          steps.push_back({Step::Kind::AwaitOpen, {}, e.tick, baud, opens, e.line});
        break;
      }
      case WireEventKind::Write:
        afterWrite = true;
        if (wasWrite) {
          steps.back().bytes.insert(steps.back().bytes.end(), e.bytes.begin(), e.bytes.end());
          steps.back().tick = e.tick;
        } else {
          steps.push_back({Step::Kind::Request, e.bytes, e.tick, baud, 0, e.line, ++requests});
        }
        break;
      case WireEventKind::Read:
        if (!steps.empty() && steps.back().kind == Step::Kind::Send && steps.back().tick == e.tick)
          steps.back().bytes.insert(steps.back().bytes.end(), e.bytes.begin(), e.bytes.end());
        else steps.push_back({Step::Kind::Send, e.bytes, e.tick, 0, 0, e.line});
        break;
      case WireEventKind::HangUp: steps.push_back({Step::Kind::HangUp, {}, e.tick, 0, 0, e.line}); return steps;
      case WireEventKind::TimeOut:
      case WireEventKind::Close: break;
    }
  }
  return steps;
}

// Both byte strings, around their first difference when they are long.
std::pair<std::string, std::string> Shown(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t d = 0;
  while (d < a.size() && d < b.size() && a[d] == b[d]) ++d;
  auto part = [&](const std::vector<uint8_t>& v) {
    if (v.empty()) return std::string("(nothing)");
    if (std::max(a.size(), b.size()) <= 2 * kShownBytes) return HexText(v);
    const size_t from = std::min(d / 16 * 16, v.size());
    const size_t to = std::min(v.size(), from + kShownBytes);
    return (from ? "[from byte " + std::to_string(from) + "] " : std::string()) +
           HexText(std::vector<uint8_t>(v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to))) +
           (to < v.size() ? " ..." : "") + " (" + std::to_string(v.size()) + " bytes)";
  };
  return {part(a), part(b)};
}

}  // namespace

struct TraceReplay::Impl {
  struct Port {
    std::string name;  // the trace's
    std::vector<Step> steps;
    std::vector<size_t> nextRequest;  // per step: the first Request at or after it
    std::vector<size_t> nextWait;     // per step: the first Request or AwaitOpen at or after it
    int master = -1;
    int notify = -1;  // inotify on the slave: the tool's opens and closes
    std::string slavePath;
    std::thread thread;

    // Serving thread only (and Stop, after the join).
    enum class State { Playing, Gathering, Diverged, Gone } state = State::Playing;
    size_t at = 0;
    Clock::time_point anchorAt;
    uint32_t anchorTick = 0;
    std::vector<uint8_t> pending;  // sent by the tool, not yet matched
    std::vector<Clock::time_point> opens;
    size_t closes = 0;
    bool toolAway = true;  // the master's last poll saw the slave closed
    size_t divergedStep = 0;
    std::string divergedRate;
    Clock::time_point gatherStart, lastByte;

    // Under Impl::mutex.
    bool done = false;
    bool idle = false;
  };

  WireTrace trace;
  double speed = 1.0;
  std::function<void(const std::string&)> report;
  std::vector<std::unique_ptr<Port>> ports;
  int wake = -1;
  std::atomic<bool> stopping{false};
  bool started = false;
  bool stopped = false;

  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<std::string> problems;

  void Serve(Port& p);
  void Advance(Port& p, Clock::time_point& now, std::optional<Clock::time_point>& wakeAt);
  void Diverge(Port& p, size_t step, Clock::time_point now, std::string rate = {});
  void Report(Port& p);
  void Publish(Port& p);
  void Send(Port& p, const std::vector<uint8_t>& bytes);
  void Problem(const std::string& text);
  Clock::time_point Due(const Port& p, uint32_t tick) const;
  static bool ToolAttached(const Port& p) { return p.opens.size() > p.closes; }
};

TraceReplay::TraceReplay(WireTrace trace, double speed, std::function<void(const std::string&)> report)
    : impl_(std::make_unique<Impl>()) {
  impl_->trace = std::move(trace);
  impl_->speed = speed > 0 ? speed : 1.0;
  impl_->report = std::move(report);
  for (const WirePort& wp : impl_->trace.ports) {
    auto p = std::make_unique<Impl::Port>();
    p->name = wp.name;
    p->steps = Script(wp);
    const size_t n = p->steps.size();
    p->nextRequest.assign(n + 1, n);
    p->nextWait.assign(n + 1, n);
    for (size_t i = n; i-- > 0;) {
      const Step::Kind k = p->steps[i].kind;
      p->nextRequest[i] = k == Step::Kind::Request ? i : p->nextRequest[i + 1];
      p->nextWait[i] = k == Step::Kind::Request || k == Step::Kind::AwaitOpen ? i : p->nextWait[i + 1];
    }
    impl_->ports.push_back(std::move(p));
  }
}

TraceReplay::~TraceReplay() {
  Stop();
  for (auto& p : impl_->ports) {
    if (p->master >= 0) ::close(p->master);
    if (p->notify >= 0) ::close(p->notify);
  }
  if (impl_->wake >= 0) ::close(impl_->wake);
}

bool TraceReplay::Start() {
  Impl& s = *impl_;
  if (s.started) return true;
  s.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (s.wake < 0) return false;
  for (auto& p : s.ports) {
    int m = -1, sl = -1;
    if (::openpty(&m, &sl, nullptr, nullptr, nullptr) != 0) return false;
    char name[128];
    const bool named = ::ptsname_r(m, name, sizeof name) == 0;
    // Raw until the tool sets its own line settings. The slave is not kept
    // open: the tool's opens and closes are then the only ones inotify sees.
    termios t{};
    ::tcgetattr(sl, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(sl, TCSANOW, &t);
    ::close(sl);
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    ::fcntl(m, F_SETFD, FD_CLOEXEC);
    p->master = m;
    if (!named) return false;
    p->slavePath = name;
    p->notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (p->notify < 0 || ::inotify_add_watch(p->notify, name, IN_OPEN | IN_CLOSE) < 0) return false;
  }
  s.started = true;
  for (auto& p : s.ports) p->thread = std::thread([&s, port = p.get()] { s.Serve(*port); });
  return true;
}

std::vector<std::string> TraceReplay::SlavePaths() const {
  std::vector<std::string> paths;
  for (const auto& p : impl_->ports) paths.push_back(p->slavePath);
  return paths;
}

const WireTrace& TraceReplay::Trace() const { return impl_->trace; }

bool TraceReplay::PlayedOut() const { return WaitPlayedOut(0); }

bool TraceReplay::WaitPlayedOut(int timeoutMs) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return std::all_of(impl_->ports.begin(), impl_->ports.end(), [](const auto& p) { return p->done; });
  });
}

bool TraceReplay::WaitIdle(int timeoutMs) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return std::all_of(impl_->ports.begin(), impl_->ports.end(), [](const auto& p) { return p->idle; });
  });
}

void TraceReplay::Stop() {
  Impl& s = *impl_;
  if (s.stopped) return;
  s.stopped = true;
  s.stopping = true;
  const uint64_t one = 1;
  if (s.wake >= 0) (void)!::write(s.wake, &one, sizeof one);
  for (auto& p : s.ports) {
    if (p->thread.joinable()) p->thread.join();
    if (p->state == Impl::Port::State::Gathering) s.Report(*p);
    const size_t r = p->nextRequest[p->at];
    if (p->state != Impl::Port::State::Playing || r == p->steps.size()) continue;
    const Step& want = p->steps[r];
    const auto [expected, sent] = Shown(want.bytes, p->pending);
    std::string text = p->name + " on " + p->slavePath + ": the tool stopped before the trace did: request ";
    text += std::to_string(want.number);
    text += " (trace line " + std::to_string(want.line) + ") ";
    text += p->pending.empty() ? "never came" : "came only in part";
    text += "\n  expected: " + expected;
    text += "\n  sent:     " + sent;
    s.Problem(text);
  }
}

std::vector<std::string> TraceReplay::Problems() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->problems;
}

void TraceReplay::Impl::Problem(const std::string& text) {
  {
    std::lock_guard lock(mutex);
    problems.push_back(text);
  }
  if (report) report(text);
}

Clock::time_point TraceReplay::Impl::Due(const Port& p, uint32_t tick) const {
  const int32_t ms = std::max<int32_t>(0, int32_t(tick - p.anchorTick));  // the tick wraps at 2^32
  return p.anchorAt +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms / speed));
}

void TraceReplay::Impl::Send(Port& p, const std::vector<uint8_t>& bytes) {
  // Nobody there: the tool flushes the port when it opens it again.
  if (!ToolAttached(p)) return;
  size_t done = 0;
  auto progress = Clock::now();
  while (done < bytes.size() && !stopping) {
    const ssize_t w = ::write(p.master, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += size_t(w);
      progress = Clock::now();
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return;
    if (Clock::now() - progress > kWriteStall) return;  // the tool stopped reading
    pollfd out{p.master, POLLOUT, 0};
    ::poll(&out, 1, 20);
  }
}

void TraceReplay::Impl::Diverge(Port& p, size_t step, Clock::time_point now, std::string rate) {
  p.state = Port::State::Gathering;
  p.divergedStep = step;
  p.divergedRate = std::move(rate);
  p.gatherStart = p.lastByte = now;
}

void TraceReplay::Impl::Report(Port& p) {
  p.state = Port::State::Diverged;
  const bool past = p.divergedStep >= p.steps.size();
  const std::vector<uint8_t> none;
  const std::vector<uint8_t>& want = past ? none : p.steps[p.divergedStep].bytes;
  std::string text = p.name + " on " + p.slavePath + ": ";
  if (past) {
    size_t requests = 0;
    for (const Step& s : p.steps) requests += s.kind == Step::Kind::Request;
    text += "the tool sent more than the trace holds (" + std::to_string(requests) + " requests)";
  } else {
    const Step& s = p.steps[p.divergedStep];
    text += "request " + std::to_string(s.number) + " (trace line " + std::to_string(s.line) + ") differs";
    if (!p.divergedRate.empty())
      text += ": sent at " + p.divergedRate + " bit/s, the trace's at " + std::to_string(s.baud) + " bit/s";
  }
  const auto [expected, sent] = Shown(want, p.pending);
  Problem(text + "\n  expected: " + expected + "\n  sent:     " + sent);
  p.pending.clear();
}

void TraceReplay::Impl::Advance(Port& p, Clock::time_point& now, std::optional<Clock::time_point>& wakeAt) {
  using State = Port::State;
  if (p.state == State::Gathering) {
    const auto end = std::min(p.lastByte + kGatherIdle, p.gatherStart + kGatherMost);
    if (now < end) {
      wakeAt = end;
      return;
    }
    Report(p);
  }
  if (p.state != State::Playing) return;
  for (;;) {
    // What the tool has sent so far must begin its next request; once that
    // request is whole, the answers recorded before it go out at once.
    bool whole = false;
    const size_t r = p.nextRequest[p.at];
    if (!p.pending.empty()) {
      if (r == p.steps.size()) return Diverge(p, r, now);
      const auto& want = p.steps[r].bytes;
      const size_t n = std::min(want.size(), p.pending.size());
      if (!std::equal(p.pending.begin(), p.pending.begin() + std::ptrdiff_t(n), want.begin()))
        return Diverge(p, r, now);
      whole = p.pending.size() >= want.size();
    }
    if (p.at == p.steps.size()) return;
    const Step& s = p.steps[p.at];
    switch (s.kind) {
      case Step::Kind::AwaitOpen:
        if (p.opens.size() < s.open && !whole) return;
        p.anchorAt = p.opens.size() >= s.open ? p.opens[s.open - 1] + kOpenSettle : now;
        p.anchorTick = s.tick;
        break;
      case Step::Kind::Request: {
        if (!whole) return;
        const uint32_t rate = PtyLineRate(p.master);
        if (s.baud && rate && rate != s.baud) return Diverge(p, p.at, now, std::to_string(rate));
        p.pending.erase(p.pending.begin(), p.pending.begin() + std::ptrdiff_t(s.bytes.size()));
        p.anchorAt = now;
        p.anchorTick = s.tick;
        break;
      }
      case Step::Kind::Send:
      case Step::Kind::HangUp: {
        const auto due = Due(p, s.tick);
        if (!whole && now < due) {
          wakeAt = due;
          return;
        }
        if (s.kind == Step::Kind::HangUp) {
          // Unplugged: the tool's descriptor hangs up and the path goes away.
          ::close(p.master);
          p.master = -1;
          p.state = State::Gone;
          return;
        }
        Send(p, s.bytes);
        now = Clock::now();
        break;
      }
    }
    ++p.at;
  }
}

void TraceReplay::Impl::Publish(Port& p) {
  using State = Port::State;
  const bool away = !p.opens.empty() && !ToolAttached(p);
  const bool waiting = p.state == State::Playing && p.pending.empty();
  bool done = p.state == State::Gone || (p.state == State::Diverged && away) ||
              (waiting && away && p.nextWait[p.at] == p.steps.size());
  bool idle = done;
  if (waiting && p.at < p.steps.size()) {
    const Step& s = p.steps[p.at];
    idle = idle || s.kind == Step::Kind::Request || (s.kind == Step::Kind::AwaitOpen && p.opens.size() < s.open);
  }
  std::lock_guard lock(mutex);
  if (done == p.done && idle == p.idle) return;
  p.done = done;
  p.idle = idle;
  changed.notify_all();
}

void TraceReplay::Impl::Serve(Port& p) {
  std::vector<uint8_t> buf(4096);
  alignas(inotify_event) char events[4096];
  while (!stopping) {
    auto now = Clock::now();
    std::optional<Clock::time_point> wakeAt;
    Advance(p, now, wakeAt);
    Publish(p);
    const bool listen = p.master >= 0 && !p.toolAway;
    pollfd fds[3] = {{listen ? p.master : -1, POLLIN, 0}, {p.notify, POLLIN, 0}, {wake, POLLIN, 0}};
    timespec wait{};
    if (wakeAt) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wakeAt - Clock::now()).count();
      wait.tv_sec = ns > 0 ? ns / 1000000000 : 0;
      wait.tv_nsec = ns > 0 ? ns % 1000000000 : 0;
    }
    ::ppoll(fds, 3, wakeAt ? &wait : nullptr, nullptr);
    if (stopping) break;
    now = Clock::now();
    // The master first: an open that inotify shows now outdates a hang-up
    // the same poll saw.
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(p.master, buf.data(), buf.size());
      if (n > 0 && p.state != Port::State::Diverged) {
        p.pending.insert(p.pending.end(), buf.begin(), buf.begin() + n);
        p.lastByte = now;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      p.toolAway = true;  // until inotify sees the next open
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = ::read(p.notify, events, sizeof events);
      for (ssize_t i = 0; i < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + i);
        if (e->mask & IN_OPEN) {
          p.opens.push_back(now);
          p.toolAway = false;
        }
        if (e->mask & IN_CLOSE) ++p.closes;
        i += ssize_t(sizeof(inotify_event) + e->len);
      }
    }
  }
}

}  // namespace varnet::sim
