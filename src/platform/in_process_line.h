// SPDX-License-Identifier: Apache-2.0
// A serial line between two ends of this process: the simulated scanners of
// the demo and the tests where there are no pseudo-terminals (Windows). The
// scanner's side creates it under a name "sim:..."; SerialPort opens that
// name like a port. Only a simulator creates lines, so the program itself
// has none to open.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/wake_event.h"

namespace varnet::platform {

class InProcessLine {
 public:
  enum Side { kTool = 0, kScanner = 1 };

  // A new line, listed as "sim:<stem>-<n>" until Close.
  static std::shared_ptr<InProcessLine> Create(const std::string& stem);
  // The listed line of that name; null when there is none.
  static std::shared_ptr<InProcessLine> Find(const std::string& name);
  static bool IsLineName(const std::string& name) { return name.rfind("sim:", 0) == 0; }

  InProcessLine(std::string name, int number) : name_(std::move(name)), number_(number) {}
  const std::string& Name() const { return name_; }
  // Unique in this process: the port's number in traces.
  int Number() const { return number_; }

  // The tool's side is held by one port at a time, like a real port.
  bool AttachTool();
  void DetachTool();

  // What the other side wrote to `side`, at most n bytes, without waiting.
  size_t Read(Side side, uint8_t* buf, size_t n);
  void Write(Side side, const uint8_t* buf, size_t n);
  // Set while bytes wait for `side` (and, for the tool, once the line closed).
  const WakeEvent& Readable(Side side) const { return readable_[side]; }
  void Discard(Side side);

  // The rate the tool set; a scanner on RS-232 hears only its own.
  void SetRate(uint32_t baud);
  uint32_t Rate() const;

  // The scanner's side goes away: unlisted, and the tool's port sees it gone.
  void Close();
  bool Closed() const;

 private:
  const std::string name_;
  const int number_;
  mutable std::mutex mu_;
  std::deque<uint8_t> queue_[2];
  WakeEvent readable_[2];
  uint32_t rate_ = 0;
  bool toolAttached_ = false;
  bool closed_ = false;
};

}  // namespace varnet::platform
