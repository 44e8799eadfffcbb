// SPDX-License-Identifier: Apache-2.0
// SerialPort on an in-process line: what a port does, without a device.
#include <algorithm>
#include <cerrno>

#include "platform/in_process_line.h"
#include "platform/serial_port.h"

namespace varnet::platform {

bool SerialPort::OpenLine(const std::string& name, uint32_t baud) {
  Close();
  failure_ = PortFailure::None;
  error_ = 0;
  gone_ = false;
  line_ = InProcessLine::Find(name);
  if (!line_) return Fail(PortFailure::NotFound, ENOENT);
  if (!line_->AttachTool()) {
    line_.reset();
    return Fail(PortFailure::InUse, EBUSY);
  }
  line_->SetRate(baud);
  line_->Discard(InProcessLine::kTool);
  return true;
}

size_t SerialPort::ReadLine(uint8_t* buf, size_t n) {
  const size_t got = line_->Read(InProcessLine::kTool, buf, n);
  if (got == 0 && line_->Closed()) gone_ = true;
  return got;
}

WaitEnd SerialPort::WaitLine(uint32_t ms, const WakeEvent* wake) {
  const WakeEvent& input = line_->Readable(InProcessLine::kTool);
  if (!WaitEither(&input, wake, int(std::min<uint32_t>(ms, 60000)))) return WaitEnd::TimedOut;
  if (wake && wake->Wait(0)) return WaitEnd::Woken;
  if (line_->Closed()) {
    gone_ = true;
    return WaitEnd::Gone;
  }
  return WaitEnd::Input;
}

size_t SerialPort::WriteLine(const uint8_t* buf, size_t n) {
  if (line_->Closed()) {
    gone_ = true;
    return 0;
  }
  line_->Write(InProcessLine::kTool, buf, n);
  return n;
}

void SerialPort::CloseLine() {
  line_->DetachTool();
  line_.reset();
}

}  // namespace varnet::platform
