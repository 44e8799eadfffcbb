// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/wake_event.h"

namespace varnet::platform {
class InProcessLine;
}

namespace varnet::platform {

// Why a port did not open, as the link words it.
enum class PortFailure {
  None,
  NotFound,        // no such port (or the device went away)
  NoPermission,    // the user may not open it
  InUse,           // another program holds it
  NotASerialPort,  // the name is something else
  Settings,        // the line settings or time-outs were refused
  Other,           // see the error number
};

enum class WaitEnd { Input, TimedOut, Woken, Gone };

// One serial port, raw 8-N-1 at any rate, no flow control, DTR and RTS
// inactive, held exclusively. Reads never wait; waiting is WaitReadable,
// which a WakeEvent ends at once. Belongs to one thread at a time.
class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort() { Close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the port by its system name (ttyACM0, COM3) or path (/dev/pts/3,
  // \\.\COM12) and discards what the driver holds in both directions. On
  // failure nothing stays open; failure() and error() say why (error() is
  // an errno value).
  bool Open(const std::string& name, uint32_t baud);
  // Lets what was written go out first (a last command before a close).
  void DrainOutput();
  void Close();
  bool IsOpen() const;
  // A number naming the open port in traces; -1 when closed.
  int Id() const;

  // What has arrived, at most n bytes, without waiting; 0 when nothing has.
  // A device that went away sets Gone().
  size_t ReadNow(uint8_t* buf, size_t n);
  // Until input is there, `wake` is set, ms have passed or the device went away.
  WaitEnd WaitReadable(uint32_t ms, const WakeEvent* wake);
  // Writes, giving a full output buffer about `ms` in all; the count written.
  size_t Write(const uint8_t* buf, size_t n, uint32_t ms);
  // Discards unread input and unsent output.
  void Purge();

  bool Gone() const { return gone_; }
  PortFailure failure() const { return failure_; }
  int error() const { return error_; }

 private:
  bool Fail(PortFailure why, int error);
  // A "sim:" name: the same calls on an in-process line (serial_port_line.cpp).
  bool OpenLine(const std::string& name, uint32_t baud);
  size_t ReadLine(uint8_t* buf, size_t n);
  WaitEnd WaitLine(uint32_t ms, const WakeEvent* wake);
  size_t WriteLine(const uint8_t* buf, size_t n);
  void CloseLine();

  std::shared_ptr<InProcessLine> line_;

  intptr_t handle_ = -1;  // the descriptor; the HANDLE on Windows
  bool gone_ = false;
  PortFailure failure_ = PortFailure::None;
  int error_ = 0;
  // The last byte either way (steady clock, us): Windows waits step by it.
  [[maybe_unused]] uint64_t lastActivityUs_ = 0;
};

// The path a port name opens: /dev/NAME, or \\.\NAME (so COM10 and up open);
// a path, and an in-process line's "sim:" name, stay as they are.
std::string PortPath(const std::string& name);
// The name people know a port by, from a name or path: ttyACM0, pts/3, COM3.
std::string PortDisplayName(const std::string& nameOrPath);
// One key per device, whatever name it was given under (symbolic links
// resolved on POSIX, letter case on Windows).
std::string PortIdentity(const std::string& nameOrPath);
// A port name to show in examples and help texts.
const char* ExamplePortName();
// How --port names a port, for the help.
const char* PortOptionHelp();
// What usually holds a port here, for the message saying it is in use.
const char* UsualPortHolders();

}  // namespace varnet::platform
