// SPDX-License-Identifier: Apache-2.0
// Wire tracing: every write and read on a port, the time-outs of the
// readers and the opening and closing of ports, one line each, for a record
// of what went over the wire that anyone can send along with a problem.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace varnet::trace {

// Written in the first line ("format 2"); README.md describes each format.
// 1 had no number; 2 starts a read line again 2 ms after its first byte.
constexpr int kFormat = 2;

namespace detail {
extern std::atomic<bool> on;
}

// The link calls the hooks below only when this is true. Off, a hook costs
// one relaxed load; with VARNET_NO_WIRE_TRACE (set for the core's own files
// only, by the build's VARNET_WIRE_TRACE=OFF) nothing at all.
#ifdef VARNET_NO_WIRE_TRACE
constexpr bool On() { return false; }
#else
inline bool On() { return detail::on.load(std::memory_order_relaxed); }
#endif

// Lines go to `fd` (not closed by Stop: standard error). `program` names
// the trace in its first line.
void ToFd(int fd, const std::string& program);
// Lines are appended to `path` (made private, mode 0600: the trace holds
// scanned data). False with the reason when it cannot be opened.
bool ToFile(const std::string& path, const std::string& program, std::string& why);
// VARNET_TRACE: unset, empty or 0 off; 1 standard error; anything else the
// name of a file. False with the reason when that file cannot be opened
// (tracing then stays off).
bool FromEnvironment(const std::string& program, std::string& why);
// Writes out what is still gathered and stops tracing.
void Stop();

// Hooks. Reads that come in one go are gathered into lines of up to 32
// bytes; a run of identical time-outs with nothing read (a silent port
// being listened to) shows as its first line and a count.
void Opened(int fd, const std::string& port, uint32_t baud);
void OpenFailed(const std::string& port, int error);
void Wrote(int fd, const uint8_t* bytes, size_t n);
void Read(int fd, const uint8_t* bytes, size_t n);
// A reader gave up after `limitMs` without a byte, with `got` bytes in (of
// `wanted`, when it waited for a known count).
void TimedOut(int fd, uint32_t limitMs, size_t got, size_t wanted = 0);
void HungUp(int fd);
void Closed(int fd);

}  // namespace varnet::trace
