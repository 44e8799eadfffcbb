// SPDX-License-Identifier: Apache-2.0
// A wire trace as the tool writes it (--trace, VARNET_TRACE), read back so
// that the simulator can play the scanner's side of it. README.md describes
// the format; this reader takes formats 1 and 2, LF or CRLF line ends, and
// skips lines that are not the trace's (a program's own messages on the
// same standard error).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnet::sim {

// The newest trace format this reader knows.
constexpr int kNewestTraceFormat = 2;

enum class WireEventKind { Open, Write, Read, TimeOut, HangUp, Close };

struct WireEvent {
  WireEventKind kind = WireEventKind::Open;
  uint32_t tick = 0;           // ms of the tool's tick clock (wraps at 2^32)
  uint32_t baud = 0;           // Open
  std::vector<uint8_t> bytes;  // Write, Read
  size_t line = 0;             // in the trace, from 1
};

// One port the trace opens, its events in the order written.
struct WirePort {
  std::string name;  // as the trace names it: ttyACM0, /dev/pts/3, COM3
  std::vector<WireEvent> events;
};

struct WireTrace {
  int format = 1;               // of the first header line
  std::vector<WirePort> ports;  // in the order the trace first opens them
};

// False with the reason (and the line) when the text is no trace this reader
// knows: a newer format, a port line of an unknown kind, bad hexadecimal.
std::optional<WireTrace> ParseWireTrace(std::string_view text, std::string& why);
std::optional<WireTrace> ReadWireTrace(const std::string& path, std::string& why);

// "05 57 0E" (upper case, one blank between bytes).
std::string HexText(const std::vector<uint8_t>& bytes);

}  // namespace varnet::sim
