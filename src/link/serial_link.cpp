// SPDX-License-Identifier: Apache-2.0
#include "link/serial_link.h"

#include <algorithm>
#include <cerrno>

#include "link/ticks.h"
#include "link/trace.h"

namespace varnet {

namespace {

Reason ReasonFor(platform::PortFailure failure) {
  switch (failure) {
    case platform::PortFailure::None: return Reason::None;
    case platform::PortFailure::NotFound: return Reason::PortGone;
    case platform::PortFailure::NoPermission: return Reason::PortPermission;
    case platform::PortFailure::InUse: return Reason::PortBusy;
    case platform::PortFailure::NotASerialPort: return Reason::NotASerialPort;
    case platform::PortFailure::Settings: return Reason::PortSettings;
    case platform::PortFailure::Other: return Reason::PortError;
  }
  return Reason::PortError;
}

const platform::WakeEvent* Wake(const ScannerLink& link) { return link.cancel ? &link.cancel->wake() : nullptr; }

// Waits out ms unless the link's cancel is raised first (a port that hung up
// has nothing else to wait for).
void SleepUnlessCancelled(const ScannerLink& link, uint32_t ms) { platform::WaitEither(Wake(link), nullptr, int(ms)); }

// Notes a device that went away, once.
void NoteGone(ScannerLink& link) {
  if (link.hungUp || !link.port.Gone()) return;
  if (trace::On()) trace::HungUp(link.id());
  link.hungUp = true;
}

}  // namespace

LinkCancel::LinkCancel() = default;

LinkCancel::~LinkCancel() = default;

// Raise runs in signal handlers: lock-free atomics and the event's set only.
static_assert(std::atomic<bool>::is_always_lock_free);

void LinkCancel::Raise() {
  if (raised_.exchange(true, std::memory_order_acq_rel)) return;
  // Nobody resets it: it stays set and wakes every waiter.
  wake_.Set();
}

bool LinkCancel::Sleep(uint32_t ms) const {
  if (Raised()) return false;
  wake_.Wait(int(std::min<uint32_t>(ms, 60000)));
  return !Raised();
}

ScannerLink::~ScannerLink() { CloseLink(*this); }

bool OpenLink(ScannerLink& link, const std::string& portName, uint32_t baud) {
  CloseLink(link);
  link.lastFailure = Reason::None;
  link.lastErrno = 0;
  auto fail = [&](Reason why, int err) {
    link.lastFailure = why;
    link.lastErrno = err;
    if (trace::On()) trace::OpenFailed(portName, err);
    return false;
  };
  if (link.cancel && link.cancel->Raised()) return fail(Reason::PortError, ECANCELED);
  if (portName.empty() || baud == 0) return fail(Reason::PortGone, ENOENT);
  if (!link.port.Open(portName, baud)) return fail(ReasonFor(link.port.failure()), link.port.error());
  link.hungUp = false;
  link.baud = baud;
  if (trace::On()) trace::Opened(link.id(), portName, baud);
  return true;
}

void CloseLink(ScannerLink& link) {
  if (!link.port.IsOpen()) return;
  // What was written last (a goodbye to the scanner) goes out before the port closes.
  link.port.DrainOutput();
  if (trace::On()) trace::Closed(link.id());
  link.port.Close();
}

bool ReopenLink(ScannerLink& link, uint32_t baud) {
  std::string name = link.LinkPortName;
  CloseLink(link);
  return OpenLink(link, name, baud);
}

bool WaitReadable(ScannerLink& link, uint32_t ms) {
  if (!link.Usable()) return false;
  if (link.hungUp) {
    SleepUnlessCancelled(link, ms);
    return false;
  }
  const platform::WaitEnd end = link.port.WaitReadable(std::min<uint32_t>(ms, 60000), Wake(link));
  // The device went away: from now on reads bring nothing and waits just
  // sleep, so every exchange ends by its own time limit without spinning.
  NoteGone(link);
  return end == platform::WaitEnd::Input;
}

static size_t ReadNow(ScannerLink& link, uint8_t* buf, size_t n) {
  if (!link.Usable() || n == 0 || link.hungUp) return 0;
  const size_t got = link.port.ReadNow(buf, n);
  if (got > 0) {
    if (trace::On()) trace::Read(link.id(), buf, got);
    return got;
  }
  NoteGone(link);
  return 0;
}

size_t PollRead(ScannerLink& link, uint8_t* buf, size_t n) {
  size_t got = ReadNow(link, buf, n);
  if (got > 0 || !link.Usable()) return got;
  if (link.hungUp) {
    SleepUnlessCancelled(link, 2);
    return 0;
  }
  if (!WaitReadable(link, 2)) return 0;
  return ReadNow(link, buf, n);
}

void WriteBytes(ScannerLink& link, const uint8_t* buf, size_t n) {
  if (!link.Usable() || link.hungUp) return;
  // A full output buffer gets a little time, as a write time-out of 1 ms
  // per byte would give it.
  const size_t written = link.port.Write(buf, n, uint32_t(1 + n));
  if (written > 0 && trace::On()) trace::Wrote(link.id(), buf, written);
  NoteGone(link);
}

size_t DrainInput(ScannerLink& link) {
  uint8_t buf[256];
  size_t total = 0;
  uint32_t start = TickCount();
  while (link.Usable()) {
    size_t got = PollRead(link, buf, sizeof buf);
    if (got == 0) break;
    total += got;
    if (total >= kDrainMaxBytes || TicksSince(start) >= kDrainMaxMs) break;
  }
  return total;
}

CollectResult CollectUntilIdle(ScannerLink& link, uint8_t* buf, size_t max, uint32_t firstLimitMs, uint32_t nextLimitMs,
                               bool strictlyGreater) {
  CollectResult r;
  uint32_t idleStart = TickCount();
  for (;;) {
    if (!link.Usable()) {
      r.end = CollectEnd::Closed;
      return r;
    }
    if (r.count < max && ReadNow(link, buf + r.count, 1) == 1) {
      ++r.count;
      if (r.count >= max) {
        r.end = CollectEnd::Full;
        return r;
      }
      idleStart = TickCount();
      continue;
    }
    uint32_t limit = r.count == 0 ? firstLimitMs : nextLimitMs;
    uint32_t idle = TicksSince(idleStart);
    bool over = strictlyGreater ? idle > limit : idle >= limit;
    if (over) {
      if (trace::On()) trace::TimedOut(link.id(), limit, r.count);
      r.end = CollectEnd::Idle;
      return r;
    }
    WaitReadable(link, limit - idle + (strictlyGreater ? 1 : 0));
  }
}

size_t ReadExact(ScannerLink& link, uint8_t* buf, size_t n, uint32_t gapMs, size_t maxChunk) {
  size_t received = 0;
  uint32_t last = TickCount();
  while (received < n) {
    size_t got = ReadNow(link, buf + received, std::min(n - received, maxChunk));
    if (got > 0) {
      received += got;
      last = TickCount();
      continue;
    }
    uint32_t gap = TicksSince(last);
    if (gap >= gapMs && trace::On()) trace::TimedOut(link.id(), gapMs, received, n);
    if (gap >= gapMs || !link.Usable()) break;
    WaitReadable(link, gapMs - gap);
  }
  return received;
}

}  // namespace varnet
