// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_trace.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace varnet::sim {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "   7691.782 " at the start of a line: the tick in ms and what follows.
bool Stamp(std::string_view line, uint32_t& tick, std::string_view& rest) {
  size_t i = line.find_first_not_of(' ');
  if (i == std::string_view::npos || !IsDigit(line[i])) return false;
  uint64_t seconds = 0;
  for (; i < line.size() && IsDigit(line[i]); ++i) seconds = seconds * 10 + uint64_t(line[i] - '0');
  if (i + 5 > line.size() || line[i] != '.' || !IsDigit(line[i + 1]) || !IsDigit(line[i + 2]) ||
      !IsDigit(line[i + 3]) || line[i + 4] != ' ')
    return false;
  const uint32_t ms = uint32_t((line[i + 1] - '0') * 100 + (line[i + 2] - '0') * 10 + (line[i + 3] - '0'));
  tick = uint32_t(seconds * 1000 + ms);  // the writer's tick wraps the same way
  rest = line.substr(i + 5);
  return true;
}

bool Hex(std::string_view text, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) return false;
    out.push_back(uint8_t(HexDigit(text[i]) << 4 | HexDigit(text[i + 1])));
    i += 2;
  }
  return !out.empty();
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// "# varnet-cli wire trace, format 2, pid ...": the format, 1 when unnumbered.
std::optional<int> HeaderFormat(std::string_view line) {
  if (line.find(" wire trace") == std::string_view::npos) return std::nullopt;
  const size_t at = line.find(", format ");
  if (at == std::string_view::npos) return 1;
  int format = 0;
  for (size_t i = at + 9; i < line.size() && IsDigit(line[i]); ++i) format = format * 10 + (line[i] - '0');
  return format;
}

}  // namespace

std::string HexText(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

std::optional<WireTrace> ParseWireTrace(std::string_view text, std::string& why) {
  WireTrace trace;
  bool headerSeen = false;
  std::map<std::string, size_t, std::less<>> portIndex;
  size_t lineNo = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto fail = [&](const std::string& what) {
      why = "line " + std::to_string(lineNo) + ": " + what;
      return std::nullopt;
    };
    if (StartsWith(line, "#")) {
      const auto format = HeaderFormat(line);
      if (!format) continue;
      if (*format < 1 || *format > kNewestTraceFormat)
        return fail("trace format " + std::to_string(*format) + " is newer than this simulator reads (" +
                    std::to_string(kNewestTraceFormat) + ")");
      if (!headerSeen) trace.format = *format;
      headerSeen = true;
      continue;
    }
    uint32_t tick = 0;
    std::string_view rest;
    if (!Stamp(line, tick, rest)) continue;  // not a trace line
    const size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return fail("no event after the port");
    const std::string_view port = rest.substr(0, blank);
    const std::string_view what = rest.substr(blank + 1);
    WireEvent e;
    e.tick = tick;
    e.line = lineNo;
    if (StartsWith(what, "open at ")) {
      e.kind = WireEventKind::Open;
      e.baud = uint32_t(std::strtoul(std::string(what.substr(8)).c_str(), nullptr, 10));
    } else if (StartsWith(what, "open failed")) {
      continue;  // nothing reached the port
    } else if (StartsWith(what, "write ")) {
      e.kind = WireEventKind::Write;
      if (!Hex(what.substr(6), e.bytes)) return fail("bad bytes after write");
    } else if (StartsWith(what, "read ")) {
      e.kind = WireEventKind::Read;
      if (!Hex(what.substr(5), e.bytes)) return fail("bad bytes after read");
    } else if (StartsWith(what, "time-out after ")) {
      e.kind = WireEventKind::TimeOut;
    } else if (StartsWith(what, "hang-up")) {
      e.kind = WireEventKind::HangUp;
    } else if (what == "closed") {
      e.kind = WireEventKind::Close;
    } else {
      return fail("unknown event \"" + std::string(what.substr(0, 40)) + "\"");
    }
    auto it = portIndex.find(port);
    if (it == portIndex.end()) {
      // A port's lines count from its first open: before it there is nothing
      // a scanner could have answered.
      if (e.kind != WireEventKind::Open) continue;
      it = portIndex.emplace(std::string(port), trace.ports.size()).first;
      trace.ports.push_back({std::string(port), {}});
    }
    trace.ports[it->second].events.push_back(std::move(e));
  }
  return trace;
}

std::optional<WireTrace> ReadWireTrace(const std::string& path, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  auto trace = ParseWireTrace(text.str(), why);
  if (!trace) why = path + ": " + why;
  return trace;
}

}  // namespace varnet::sim
