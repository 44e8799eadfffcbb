// SPDX-License-Identifier: Apache-2.0
// The scanner's end of the line the tool opens: a pseudo-terminal's master
// (POSIX), or an in-process line named "sim:..." (every system; the only
// one on Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace varnet::sim {

class ScannerEnd {
 public:
  virtual ~ScannerEnd() = default;
  // What the tool opens: "/dev/pts/N" or "sim:usb-1".
  virtual std::string Name() const = 0;
  // Waits up to ms for bytes from the tool or an Interrupt; the count read,
  // 0 for none, -1 when nobody holds the tool's side just now.
  virtual long Read(uint8_t* buf, size_t n, int ms) = 0;
  // Bytes taken (0: no room just now); -1 when the line failed.
  virtual long Write(const uint8_t* buf, size_t n) = 0;
  // Until there may be room to write, at most ms.
  virtual void WaitWritable(int ms) = 0;
  // The line speed the tool set.
  virtual uint32_t LineRate() = 0;
  // Ends a Read at once, until ClearInterrupt.
  virtual void Interrupt() = 0;
  virtual void ClearInterrupt() = 0;
  // Drops what the tool sent while nobody listened.
  virtual void DiscardInput() = 0;
};

enum class Transport { Pty, InProcess };
// Pseudo-terminals where the system has them.
Transport DefaultTransport();

// Null when the system gives none.
std::unique_ptr<ScannerEnd> OpenPtyEnd();
std::unique_ptr<ScannerEnd> OpenInProcessEnd(const std::string& stem);

}  // namespace varnet::sim
