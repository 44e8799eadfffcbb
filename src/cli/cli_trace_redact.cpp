// SPDX-License-Identifier: Apache-2.0
// trace-redact: a wire trace without the customer's scanned data, fit to be
// sent with a problem report. The bytes the scanner answered are taken apart
// as the tool's readers take them; decoded data, unrequested readings and
// capture images become placeholders of the same length, and everything
// else (the protocol) stays as it was, so the trace still replays.
#include <CLI/CLI.hpp>
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "cli/cli.h"
#include "imaging/capture_stream.h"
#include "link/protocol.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

namespace varnet::cli {

namespace {

// Where each byte a port read stands in the text, so it can be written back.
struct ReadByte {
  size_t line;
  size_t column;  // of its first hex digit
};

// The bytes one port read between two of the tool's writes (or opens): one
// answer, or readings that came unasked.
struct Stretch {
  std::vector<uint8_t> bytes;
  std::vector<ReadByte> where;
};

struct Tally {
  size_t dataBytes = 0;  // decoded data and readings
  size_t images = 0;
  size_t imageBytes = 0;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Scanned text keeps its control bytes (terminators, separators: the shape of
// a reading); printable bytes become X, and bytes the tool leaves out of a
// reading (7E and up) FF, so that the tool shows the same shape.
uint8_t TextPlaceholder(uint8_t b) {
  if (b < 0x20) return b;
  return b < 0x7E ? 'X' : 0xFF;
}

// A grey picture of the same size, padded with zeros to the same length, so
// that a replayed capture still shows as a picture; zeros when it does not fit.
void ReplaceImage(uint8_t* jpeg, size_t n) {
  QByteArray grey;
  const QImage original = QImage::fromData(jpeg, int(n), "JPEG");
  if (!original.isNull()) {
    QImage flat(original.size(), QImage::Format_Grayscale8);
    flat.fill(128);
    QBuffer out(&grey);
    out.open(QIODevice::WriteOnly);
    flat.save(&out, "JPEG", 10);
  }
  std::memset(jpeg, 0, n);
  if (!grey.isEmpty() && size_t(grey.size()) <= n) std::memcpy(jpeg, grey.constData(), size_t(grey.size()));
}

// A lead-in cut off at the end of an answer counts from its second byte on.
bool At(const std::vector<uint8_t>& b, size_t i, std::string_view lead) {
  const size_t n = std::min(lead.size(), b.size() - i);
  return n >= 2 && std::memcmp(b.data() + i, lead.data(), n) == 0;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Replaces the data in one answer; what is no reply the tool knows counts as
// scanned data.
void Redact(std::vector<uint8_t>& b, Tally& tally) {
  const size_t n = b.size();
  auto text = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) b[k] = TextPlaceholder(b[k]);
    tally.dataBytes += to - from;
  };
  for (size_t i = 0; i < n;) {
    const size_t left = n - i;
    if (StartsWithAck(&b[i], left) || StartsWithNak(&b[i], left)) {
      i += AckPattern.size();
    } else if (At(b, i, "*ack")) {
      i += std::min<size_t>(left, 4);
    } else if (At(b, i, "*echo")) {
      i += std::min<size_t>(left, 5);
    } else if (At(b, i, "*DCF*") || At(b, i, "*DFF*")) {
      // A settings block: all protocol.
      i += left < kBlockHeaderSize ? left : std::min<size_t>(left, kBlockHeaderSize + Le32(b, i + 8));
    } else if (At(b, i, "*BC*")) {
      if (left < DecodeHeader::kSize) break;
      const size_t from = i + DecodeHeader::kSize;
      const size_t to = from + std::min<size_t>(n - from, Le32(b, i + 8));
      text(from, to);
      i = to;
    } else if (At(b, i, "*IMT*")) {
      if (left < ImageHeader::kSize) break;
      const size_t from = i + ImageHeader::kSize;
      const size_t to = from + std::min<size_t>(n - from, Le32(b, i + 8));
      ReplaceImage(&b[from], to - from);
      ++tally.images;
      tally.imageBytes += to - from;
      i = to;
    } else if (left >= 6 && b[i + 1] == 0x52 && b[i] >= 4 && size_t(b[i]) + 2 <= left &&
               FrameChecksum(&b[i], b[i]) == uint16_t(b[i + b[i]] << 8 | b[i + b[i] + 1])) {
      i += size_t(b[i]) + 2;  // a data reply: device type, firmware, serial number
    } else {
      text(i, i + 1);
      ++i;
    }
  }
}

// "   7691.782 PORT what": the port and where `what` starts.
bool Event(const std::string& line, std::string& port, size_t& what) {
  size_t i = line.find_first_not_of(' ');
  if (i == std::string::npos || line[i] == '#') return false;
  const size_t dot = line.find('.', i);
  if (dot == std::string::npos || dot == i || line.find_first_not_of("0123456789", i) != dot) return false;
  if (dot + 4 >= line.size() || line[dot + 4] != ' ') return false;
  const size_t portEnd = line.find(' ', dot + 5);
  if (portEnd == std::string::npos) return false;
  port = line.substr(dot + 5, portEnd - dot - 5);
  what = portEnd + 1;
  return true;
}

int TraceRedact(const Options& o, Context& c) {
  const std::string& path = o.args.at(0);
  std::ifstream in(platform::FilePath(path), std::ios::binary);
  if (!in) {
    c.err << "varnet-cli: " << path << ": " << std::strerror(errno) << "\n";
    return kFailed;
  }
  std::ostringstream whole;
  whole << in.rdbuf();
  // Lines as they are, CR and all; the last one may lack its line end.
  std::vector<std::string> lines;
  const std::string original = whole.str();
  for (size_t at = 0; at < original.size();) {
    const size_t end = std::min(original.find('\n', at), original.size());
    lines.push_back(original.substr(at, end - at));
    at = end + 1;
  }
  const bool lastHasEnd = !original.empty() && original.back() == '\n';

  std::map<std::string, Stretch> open;  // by port: the stretch being read
  std::vector<Stretch> done;
  bool anyEvent = false;
  for (size_t l = 0; l < lines.size(); ++l) {
    std::string port;
    size_t what = 0;
    if (!Event(lines[l], port, what)) continue;
    anyEvent = true;
    const std::string& line = lines[l];
    if (line.compare(what, 5, "read ") != 0) {
      // Any other event ends what was read before it.
      if (auto it = open.find(port); it != open.end()) {
        done.push_back(std::move(it->second));
        open.erase(it);
      }
      continue;
    }
    Stretch& s = open[port];
    for (size_t k = what + 5; k + 1 < line.size(); ++k) {
      const int hi = HexDigit(line[k]), lo = HexDigit(line[k + 1]);
      if (hi < 0 || lo < 0) continue;
      s.bytes.push_back(uint8_t(hi << 4 | lo));
      s.where.push_back({l, k});
      ++k;
    }
  }
  if (!anyEvent) {
    c.err << "varnet-cli: " << path << ": no wire trace lines in it\n";
    return kFailed;
  }
  for (auto& [port, s] : open) done.push_back(std::move(s));

  Tally tally;
  static const char digits[] = "0123456789ABCDEF";
  for (Stretch& s : done) {
    Redact(s.bytes, tally);
    for (size_t k = 0; k < s.bytes.size(); ++k) {
      std::string& line = lines[s.where[k].line];
      line[s.where[k].column] = digits[s.bytes[k] >> 4];
      line[s.where[k].column + 1] = digits[s.bytes[k] & 15];
    }
  }

  std::ostringstream text;
  for (size_t l = 0; l < lines.size(); ++l) text << lines[l] << (l + 1 < lines.size() || lastHasEnd ? "\n" : "");
  const std::string result = text.str();
  if (o.output.empty()) {
    c.out << result;
  } else {
    int error = 0;
    if (!platform::WriteFileAtomically(o.output, reinterpret_cast<const uint8_t*>(result.data()), result.size(),
                                       &error)) {
      c.err << "varnet-cli: " << o.output << ": " << std::strerror(error) << "\n";
      return kFailed;
    }
  }
  c.err << "varnet-cli: " << tally.dataBytes << " bytes of scanned data and " << tally.images << " images ("
        << tally.imageBytes << " bytes) replaced\n";
  return kOk;
}

}  // namespace

CommandSpec TraceRedactCommand() {
  CommandSpec c{.name = "trace-redact", .summary = "a wire trace without the scanned data, to send with a problem"};
  c.details =
      "Reads a wire trace (--trace, VARNET_TRACE) and writes it with the data bytes of decode results, of readings "
      "that came unasked and of capture images replaced by placeholders of the same length: printable bytes by X, "
      "bytes 7E to FF by FF, control bytes kept; an image by a grey picture of its size, padded with zeros. "
      "Protocol bytes, the tool's own writes and every time stay as they were, so the trace still replays "
      "(varnet-sim --replay). Standard output unless -o names a file; a count of what was replaced goes to "
      "standard error.";
  c.args = {{"FILE", "the wire trace", 1, 1, Completion::File, ""}};
  c.examples = {"trace-redact wire.log -o wire-redacted.log"};
  c.needsScanner = false;
  c.runAlone = TraceRedact;
  c.addOptions = [](CLI::App& app, Options& o) {
    app.add_option("-o,--output", o.output, "write the redacted trace to FILE (replaced whole)")->type_name("FILE");
  };
  c.writes = [](const Options& o) {
    return o.output.empty() ? std::vector<Destination>{} : std::vector<Destination>{{o.output}};
  };
  return c;
}

}  // namespace varnet::cli
