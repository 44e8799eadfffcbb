// SPDX-License-Identifier: Apache-2.0
// Reads return at once with what has arrived (COMMTIMEOUTS MAXDWORD, 0, 0);
// between reads the port is looked at with ClearCommError while the wait
// sleeps on the wake event in short steps. Overlapped reads and
// WaitCommEvent would wake on input directly, but under Wine an overlapped
// read with these time-outs never completes and WaitCommEvent fires with an
// empty mask every few ms: this path behaves the same on Windows and under
// Wine, so the code the tests run is the code users run. The step starts at
// 1 ms after each byte in either direction and grows to a quarter of the
// silence since (at most 10 ms): replies are seen within about a
// millisecond, and a port that stays silent costs little. Waits of 1 ms need
// a 1 ms system timer (15.6 ms by default), asked for while a port is open.
#include <windows.h>
// After windows.h:
#include <timeapi.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>

#include "platform/in_process_line.h"
#include "platform/serial_port.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

namespace {

// NOLINTNEXTLINE(performance-no-int-to-ptr): the headers keep the HANDLE as an integer, without windows.h
HANDLE H(intptr_t native) { return reinterpret_cast<HANDLE>(native); }

uint64_t NowUs() {
  return uint64_t(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// What a port that went away (a USB device unplugged) answers reads with.
bool GoneError(DWORD e) {
  switch (e) {
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND: return true;
    default: return false;
  }
}

constexpr const char kDevicePrefix[] = "\\\\.\\";

bool HasDevicePrefix(const std::string& s) {
  return s.size() > 4 && (s.rfind(kDevicePrefix, 0) == 0 || s.rfind("//./", 0) == 0);
}

}  // namespace

bool SerialPort::Fail(PortFailure why, int error) {
  if (handle_ != -1) {
    CloseHandle(H(handle_));
    timeEndPeriod(1);
    handle_ = -1;
  }
  failure_ = why;
  error_ = error;
  return false;
}

bool SerialPort::Open(const std::string& name, uint32_t baud) {
  if (InProcessLine::IsLineName(name)) return OpenLine(name, baud);
  Close();
  failure_ = PortFailure::None;
  error_ = 0;
  gone_ = false;
  // No sharing: Windows then refuses the port to every other program.
  HANDLE h = CreateFileW(win32::Wide(PortPath(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    switch (e) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND: return Fail(PortFailure::NotFound, ENOENT);
      // A port another program holds answers access denied.
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION: return Fail(PortFailure::InUse, EBUSY);
      default: return Fail(PortFailure::Other, win32::ErrnoFrom(e));
    }
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  timeBeginPeriod(1);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetFileType(h) != FILE_TYPE_CHAR) return Fail(PortFailure::NotASerialPort, ENOTTY);
  // A line left at a rate the driver has no name for (Wine: a terminal that
  // a Linux program set to a custom rate) cannot be read back: start from
  // the usual characters, every other field is set below.
  if (!GetCommState(h, &dcb)) {
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
  }
  dcb.BaudRate = baud;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) return Fail(PortFailure::Settings, win32::ErrnoFrom(GetLastError()));
  // Reads return at once. A write may take 2 ms a byte (9600 bit/s needs
  // 1.04) and 50 ms more, so that no rate cuts a block short while a port
  // that takes nothing cannot hold the write for long.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 2, 50};
  if (!SetCommTimeouts(h, &timeouts)) return Fail(PortFailure::Settings, win32::ErrnoFrom(GetLastError()));
  // The DCB holds both lines inactive already; drivers that have no modem
  // lines (Wine's ports among them) refuse these, which does no harm.
  (void)EscapeCommFunction(h, CLRDTR);
  (void)EscapeCommFunction(h, CLRRTS);
  Purge();
  lastActivityUs_ = NowUs();
  return true;
}

void SerialPort::DrainOutput() {
  if (line_) return;
  if (handle_ != -1 && !gone_) (void)FlushFileBuffers(H(handle_));
}

void SerialPort::Close() {
  if (line_) return CloseLine();
  if (handle_ == -1) return;
  CloseHandle(H(handle_));
  timeEndPeriod(1);
  handle_ = -1;
}

bool SerialPort::IsOpen() const { return line_ || handle_ != -1; }

int SerialPort::Id() const { return line_ ? 100000 + line_->Number() : handle_ == -1 ? -1 : int(handle_); }

size_t SerialPort::ReadNow(uint8_t* buf, size_t n) {
  if (line_) return gone_ ? 0 : ReadLine(buf, n);
  if (handle_ == -1 || n == 0 || gone_) return 0;
  DWORD got = 0;
  if (!ReadFile(H(handle_), buf, DWORD(n), &got, nullptr)) {
    if (GoneError(GetLastError())) gone_ = true;
    return 0;
  }
  if (got > 0) lastActivityUs_ = NowUs();
  return got;
}

WaitEnd SerialPort::WaitReadable(uint32_t ms, const WakeEvent* wake) {
  if (line_) return WaitLine(ms, wake);
  const uint64_t end = NowUs() + uint64_t(ms) * 1000;
  const bool waker = wake && wake->Valid();
  for (;;) {
    if (waker && wake->Wait(0)) return WaitEnd::Woken;
    DWORD errors = 0;
    COMSTAT status{};
    if (gone_ || !ClearCommError(H(handle_), &errors, &status)) {
      gone_ = true;
      return WaitEnd::Gone;
    }
    if (status.cbInQue > 0) return WaitEnd::Input;
    const uint64_t now = NowUs();
    if (now >= end) return WaitEnd::TimedOut;
    const uint64_t silenceMs = (now - lastActivityUs_) / 1000;
    const DWORD step = DWORD(std::clamp<uint64_t>(silenceMs / 4, 1, 10));
    const DWORD left = DWORD((end - now + 999) / 1000);
    const DWORD wait = std::min(step, left);
    if (waker) {
      if (WaitForSingleObject(H(wake->Native()), wait) == WAIT_OBJECT_0) return WaitEnd::Woken;
    } else {
      Sleep(wait);
    }
  }
}

size_t SerialPort::Write(const uint8_t* buf, size_t n, uint32_t /*ms: the port's write time-outs bound it*/) {
  if (line_) return gone_ ? 0 : WriteLine(buf, n);
  if (handle_ == -1 || gone_ || n == 0) return 0;
  DWORD written = 0;
  if (!WriteFile(H(handle_), buf, DWORD(n), &written, nullptr) && GoneError(GetLastError())) gone_ = true;
  lastActivityUs_ = NowUs();
  return written;
}

void SerialPort::Purge() {
  if (line_) return line_->Discard(InProcessLine::kTool);
  if (handle_ != -1) (void)PurgeComm(H(handle_), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
}

std::string PortPath(const std::string& name) {
  if (InProcessLine::IsLineName(name)) return name;
  return HasDevicePrefix(name) ? name : kDevicePrefix + name;
}

std::string PortDisplayName(const std::string& nameOrPath) {
  if (InProcessLine::IsLineName(nameOrPath)) return nameOrPath;
  return HasDevicePrefix(nameOrPath) ? nameOrPath.substr(4) : nameOrPath;
}

std::string PortIdentity(const std::string& nameOrPath) {
  if (InProcessLine::IsLineName(nameOrPath)) return nameOrPath;
  std::string id = PortDisplayName(nameOrPath);
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return id;
}

const char* ExamplePortName() { return "COM3"; }

const char* UsualPortHolders() { return "a terminal program or another Varnet"; }

const char* PortOptionHelp() { return "the scanner's port: COM3, COM12 or \\\\.\\COM12; repeat for several"; }

}  // namespace varnet::platform
