// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/reason.h"
#include "platform/serial_port.h"
#include "platform/wake_event.h"

namespace varnet {

// Lets another thread end the waits of links it does not own. Raised once,
// never lowered: a search or a command run makes a fresh one.
class LinkCancel {
 public:
  LinkCancel();
  ~LinkCancel();
  LinkCancel(const LinkCancel&) = delete;
  LinkCancel& operator=(const LinkCancel&) = delete;

  // Any thread, and a signal handler: an atomic store and the event set,
  // errno left as it was. Every link watching this one stops waiting at once.
  void Raise();
  bool Raised() const { return raised_.load(std::memory_order_acquire); }
  // Set from the first Raise on; waits watch it beside the port.
  const platform::WakeEvent& wake() const { return wake_; }
  // Sleeps up to ms; false when raised meanwhile (or before).
  bool Sleep(uint32_t ms) const;

 private:
  std::atomic<bool> raised_{false};
  platform::WakeEvent wake_;
};

// A link slot (a serial port, or none), its port name and the busy flag that
// keeps the timer off the port during multi-step exchanges.
//
// Thread rules. A link belongs to one thread at a time, its owner: the
// window's thread for the connection, each probe's own thread during a
// search, each port's worker in the command line. Only the owner opens,
// reads, writes, reopens or closes it, and only the owner reads or changes
// its fields; LinkBusy is for re-entrancy on that one thread. Another thread
// never closes a port, since the descriptor or handle could be reused by an
// open elsewhere while the owner is about to read it; it raises the
// LinkCancel the link watches instead. The owner's waits then end at once as
// if the link were closed, its next OpenLink fails, and it closes the port
// itself (or, to say goodbye to the scanner first, stops watching the raised
// cancel and runs that last exchange with its own time limits). Ownership
// passes only where one thread is done with the link before the next starts
// (a thread start or join).
struct ScannerLink {
  ScannerLink() = default;
  ~ScannerLink();
  ScannerLink(const ScannerLink&) = delete;
  ScannerLink& operator=(const ScannerLink&) = delete;

  bool IsOpen() const { return port.IsOpen(); }
  // Open and not cancelled: the collecting loops go on only while this holds.
  bool Usable() const { return port.IsOpen() && !(cancel && cancel->Raised()); }
  // The open port's number in traces, -1 when the slot is empty.
  int id() const { return port.Id(); }

  platform::SerialPort port;           // the slot: open, or not
  const LinkCancel* cancel = nullptr;  // set by the owner before use; may be shared by many links
  std::string LinkPortName;            // name as the system calls it: ttyACM0, ttyUSB12, pts/3, COM7
  uint32_t baud = 0;                   // rate of the open port
  bool LinkBusy = true;                // plain assignments only
  bool hungUp = false;                 // the device went away; reads return nothing
  // Why the last OpenLink failed (one of the Port reasons), so that the front
  // ends can say why, not only that it failed.
  Reason lastFailure = Reason::None;
  int lastErrno = 0;
};

enum class CollectEnd { Idle, Full, Closed };
struct CollectResult {
  size_t count = 0;
  CollectEnd end = CollectEnd::Idle;
};

// Opens the port raw 8-N-1 at `baud`, no flow control, DTR/RTS cleared,
// exclusive, reads that never wait; discards both directions of the driver. On
// success the link holds the port (and remembers nothing else: the caller
// sets LinkPortName). Any earlier port in the slot is closed first. Fails
// without touching the port once the link's LinkCancel is raised.
bool OpenLink(ScannerLink& link, const std::string& portName, uint32_t baud);
void CloseLink(ScannerLink& link);
// Closes and opens LinkPortName again at another rate.
bool ReopenLink(ScannerLink& link, uint32_t baud);

// Reads what has arrived, at most n bytes; waits at most about 2 ms when
// nothing is there. 0 on nothing, on error or with an empty slot.
size_t PollRead(ScannerLink& link, uint8_t* buf, size_t n);
// Waits up to ms for input (or a cancel); true when input may be there.
bool WaitReadable(ScannerLink& link, uint32_t ms);
void WriteBytes(ScannerLink& link, const uint8_t* buf, size_t n);

// Discards unread input. Bounded: a scanner that never falls silent cannot
// hold it for more than kDrainMaxMs or kDrainMaxBytes.
constexpr uint32_t kDrainMaxMs = 300;
constexpr size_t kDrainMaxBytes = 64 * 1024;
size_t DrainInput(ScannerLink& link);

// Byte-at-a-time collection until the line is idle. The idle period restarts
// with every byte; the limit is firstLimit before the first byte and
// nextLimit after one. With strictlyGreater the collection ends only when
// the idle time exceeds the limit, otherwise when it reaches it.
CollectResult CollectUntilIdle(ScannerLink& link, uint8_t* buf, size_t max, uint32_t firstLimitMs, uint32_t nextLimitMs,
                               bool strictlyGreater = false);

// Reads up to n bytes, ending when all are in or when no byte came for gapMs.
// Each read asks for at most maxChunk bytes.
size_t ReadExact(ScannerLink& link, uint8_t* buf, size_t n, uint32_t gapMs, size_t maxChunk = SIZE_MAX);

}  // namespace varnet
