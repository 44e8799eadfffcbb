// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_wire.h"

#include <algorithm>
#include <cstring>

namespace varnet::sim {

uint16_t FrameChecksum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += data[i];
  return static_cast<uint16_t>(0x10000u - (sum & 0xFFFFu));
}

std::vector<uint8_t> DataReply(uint8_t r2, uint8_t r3, const std::vector<uint8_t>& data, bool corruptChecksum) {
  // Sized once and filled in place: growing it byte by byte makes GCC 12
  // warn about a copy it cannot see through.
  const size_t len = 4 + data.size();
  std::vector<uint8_t> f(len + 2);
  f[0] = static_cast<uint8_t>(len);
  f[1] = 0x52;
  f[2] = r2;
  f[3] = r3;
  std::copy(data.begin(), data.end(), f.begin() + 4);
  uint16_t ck = FrameChecksum(f.data(), len);
  if (corruptChecksum) ck ^= 0x0101;
  f[len] = static_cast<uint8_t>(ck >> 8);
  f[len + 1] = static_cast<uint8_t>(ck & 0xFF);
  return f;
}

std::vector<uint8_t> BlockHeader(const std::string& tag, uint32_t length, const uint8_t fill[28]) {
  std::vector<uint8_t> h(fill, fill + 28);
  // The tag is a zero-terminated text in bytes 0..7; byte 5 must be zero
  // after a five-letter tag, the rest of 0..7 keeps the fill.
  std::memcpy(h.data(), tag.data(), tag.size());
  h[tag.size()] = 0;
  PutLe32(h, 8, length);
  return h;
}

void PutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

std::optional<std::vector<Record>> ParseRecords(const std::vector<uint8_t>& payload) {
  std::vector<Record> out;
  size_t p = 0;
  while (p < payload.size()) {
    if (payload.size() - p < 4) return std::nullopt;
    Record r;
    r.a = payload[p];
    r.b = payload[p + 1];
    p += 2;
    while (p < payload.size() && payload[p] != 0xFF) r.value.push_back(payload[p++]);
    if (p == payload.size() || r.value.empty()) return std::nullopt;
    ++p;  // the FF that closes the record
    out.push_back(std::move(r));
  }
  if (out.empty()) return std::nullopt;
  return out;
}

namespace {

// Lengths a frame from the tool can have: short (5) and value (6) commands
// with 'W', record commands of 4 to 48 payload bytes with 'X'.
bool PlausibleStart(uint8_t len, uint8_t letter) {
  if (letter == 0x57) return len == 5 || len == 6;
  if (letter == 0x58) return len >= 6 && len <= 50;
  return false;
}

}  // namespace

void FrameScanner::Feed(const uint8_t* data, size_t n) { buf_.insert(buf_.end(), data, data + n); }

std::optional<std::vector<uint8_t>> FrameScanner::Next() {
  size_t skip = 0;
  std::optional<std::vector<uint8_t>> found;
  while (skip < buf_.size()) {
    const size_t avail = buf_.size() - skip;
    if (avail < 2) {
      // A lone byte can only be kept if it could be a length byte.
      if (buf_[skip] < 5 || buf_[skip] > 50) ++skip;
      break;
    }
    const uint8_t len = buf_[skip];
    if (!PlausibleStart(len, buf_[skip + 1])) {
      ++skip;
      continue;
    }
    if (avail < static_cast<size_t>(len) + 2) break;  // wait for the rest
    const uint8_t* f = buf_.data() + skip;
    const uint16_t ck = FrameChecksum(f, len);
    if (f[len] == (ck >> 8) && f[len + 1] == (ck & 0xFF)) {
      found.emplace(f, f + len + 2);
      skip += len + 2;
      break;
    }
    ++skip;  // bad checksum: resynchronise on the next byte
  }
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(skip));
  return found;
}

void FrameScanner::GiveUpPartial() {
  if (!buf_.empty()) buf_.erase(buf_.begin());
}

std::vector<uint8_t> FrameScanner::TakeAll() {
  std::vector<uint8_t> out;
  out.swap(buf_);
  return out;
}

}  // namespace varnet::sim
