// SPDX-License-Identifier: Apache-2.0
#include "link/protocol.h"

#include <algorithm>
#include <cstring>

#include "link/device_info.h"

namespace varnet {

uint16_t FrameChecksum(const uint8_t* bytes, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += bytes[i];
  return uint16_t((65536u - (sum & 0xFFFF)) & 0xFFFF);
}

bool StartsWithAck(const uint8_t* bytes, size_t n) {
  return n >= AckPattern.size() && std::equal(AckPattern.begin(), AckPattern.end(), bytes);
}

bool StartsWithNak(const uint8_t* bytes, size_t n) {
  return n >= NakPattern.size() && std::equal(NakPattern.begin(), NakPattern.end(), bytes);
}

std::array<uint8_t, 7> ShortCommandFrame(ShortCommand c) {
  std::array<uint8_t, 7> f{0x05, 0x57, c.P1, c.P2, c.P3, 0, 0};
  uint16_t ck = FrameChecksum(f.data(), 5);
  f[5] = uint8_t(ck >> 8);
  f[6] = uint8_t(ck);
  return f;
}

std::array<uint8_t, 8> ValueCommandFrame(uint16_t value) {
  std::array<uint8_t, 8> f{0x06, 0x57, 0xA0, 0x03, uint8_t(value), uint8_t(value >> 8), 0, 0};
  uint16_t ck = FrameChecksum(f.data(), 6);
  f[6] = uint8_t(ck >> 8);
  f[7] = uint8_t(ck);
  return f;
}

size_t RecordPayloadLength(const std::vector<Record>& records) {
  size_t n = 0;
  for (const auto& r : records) n += 3 + r.value.size();
  return n;
}

std::optional<std::vector<uint8_t>> RecordCommandFrame(const std::vector<Record>& records) {
  size_t n = RecordPayloadLength(records);
  if (n > kMaxRecordPayload) return std::nullopt;
  std::vector<uint8_t> f;
  f.reserve(n + 4);
  f.push_back(uint8_t(n + 2));
  f.push_back(0x58);
  for (const auto& r : records) {
    f.push_back(r.a);
    f.push_back(r.b);
    f.insert(f.end(), r.value.begin(), r.value.end());
    f.push_back(0xFF);
  }
  uint16_t ck = FrameChecksum(f.data(), f.size());
  f.push_back(uint8_t(ck >> 8));
  f.push_back(uint8_t(ck));
  return f;
}

bool BlockHeader::HasTag(const char* tag) const {
  size_t len = std::strlen(tag);
  // Compared as zero-terminated text: the byte after the tag must end it.
  return len < bytes.size() && std::memcmp(bytes.data(), tag, len) == 0 && bytes[len] == 0;
}

uint32_t BlockHeader::Length() const {
  return uint32_t(bytes[8]) | uint32_t(bytes[9]) << 8 | uint32_t(bytes[10]) << 16 | uint32_t(bytes[11]) << 24;
}

void BlockHeader::SetTag(const char* fiveLetters) { std::memcpy(bytes.data(), fiveLetters, 5); }

void SendShortCommand(ScannerLink& link, ShortCommand c) {
  link.LinkBusy = true;
  DrainInput(link);
  auto f = ShortCommandFrame(c);
  WriteBytes(link, f.data(), f.size());
  link.LinkBusy = false;
}

void SendValueCommand(ScannerLink& link, uint16_t value) {
  auto f = ValueCommandFrame(value);
  WriteBytes(link, f.data(), f.size());
}

bool SendRecordCommand(ScannerLink& link, const std::vector<Record>& records) {
  auto f = RecordCommandFrame(records);
  if (!f) return false;
  DrainInput(link);
  // One byte per write, as scanners with small receive buffers expect.
  for (uint8_t b : *f) WriteBytes(link, &b, 1);
  return true;
}

bool WaitAck(ScannerLink& link, uint32_t limitMs) {
  uint8_t buf[16];
  CollectResult r = CollectUntilIdle(link, buf, sizeof buf, limitMs, 50, true);
  if (r.end != CollectEnd::Idle) return false;
  return StartsWithAck(buf, r.count);
}

std::optional<std::string> ParseTextReply(const uint8_t* b, size_t n, bool full) {
  if (full) return std::nullopt;
  if (StartsWithAck(b, n)) return std::string();
  if (StartsWithNak(b, n)) return std::nullopt;
  if (n < 4 || b[1] != 0x52) return std::nullopt;
  size_t len = b[0];
  if (len <= 4 || n < len + 2) return std::nullopt;
  uint16_t ck = FrameChecksum(b, len);
  if (b[len] != uint8_t(ck >> 8) || b[len + 1] != uint8_t(ck)) return std::nullopt;
  std::string text;
  for (size_t i = 4; i < len; ++i)
    if (b[i] >= 0x21 && b[i] <= 0x7D) text.push_back(char(b[i]));
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> ReadTextReply(ScannerLink& link, uint32_t limitMs) {
  uint8_t buf[128];
  CollectResult r = CollectUntilIdle(link, buf, sizeof buf, limitMs, 50);
  if (r.end == CollectEnd::Closed) return std::nullopt;
  return ParseTextReply(buf, r.count, r.end == CollectEnd::Full);
}

int QueryDeviceType(ScannerLink& link) {
  SendShortCommand(link, kQueryDeviceType);  // drains the input first
  uint8_t buf[7];
  CollectResult r = CollectUntilIdle(link, buf, sizeof buf, 1000, 50);
  if (r.end != CollectEnd::Full || buf[1] != 0x52) return -1;
  return buf[4];
}

namespace {

bool IsBlockTag(const BlockHeader& h) { return h.HasTag("*DCF*") || h.HasTag("*DFF*"); }

}  // namespace

BlockScan ScanBlockHeader(const uint8_t* bytes, size_t n) {
  BlockScan scan;
  size_t limit = std::min<size_t>(n, kBlockHuntSize);
  if (limit >= kBlockHeaderSize) {
    std::memcpy(scan.header.bytes.data(), bytes, kBlockHeaderSize);
    // Only the first 28 bytes can be a header; after them the reader keeps
    // collecting so that anything else is recognised and refused.
    scan.recognised = IsBlockTag(scan.header);
  }
  scan.consumed = scan.recognised ? kBlockHeaderSize : limit;
  scan.refused = StartsWithAck(bytes, scan.consumed) || StartsWithNak(bytes, scan.consumed);
  return scan;
}

bool AcceptBlock(const BlockScan& scan, const uint8_t* payload, size_t got, DeviceInfo& info) {
  if (scan.refused || !scan.recognised) return false;
  uint32_t length = scan.header.Length();
  if (length > kMaxSettingsBlock || got < length) return false;
  if (scan.header.HasTag("*DCF*")) {
    // A parameter block shorter than ours would leave another scanner's
    // bytes behind it; refuse it instead.
    if (length < ParamBlock::kSize) return false;
    std::copy_n(payload, ParamBlock::kSize, info.paramBlock.bytes.begin());
  } else {
    info.formatBlock = FormatBlock(payload, payload + length);
  }
  return true;
}

bool ParseBlockReply(const uint8_t* bytes, size_t n, DeviceInfo& info) {
  BlockScan scan = ScanBlockHeader(bytes, n);
  return AcceptBlock(scan, bytes + scan.consumed, n - scan.consumed, info);
}

bool ReadBlock(ScannerLink& link, DeviceInfo& info) {
  uint8_t area[kBlockHuntSize];
  size_t count = 0;
  // Header: one byte at a time, 500 ms before the first byte, 100 ms between.
  for (;;) {
    CollectResult r = CollectUntilIdle(link, area + count, 1, count == 0 ? 500 : 100, 100);
    if (r.count == 0) break;
    ++count;
    if (count == kBlockHeaderSize && ScanBlockHeader(area, count).recognised) break;
    if (count == sizeof area) break;
  }
  BlockScan scan = ScanBlockHeader(area, count);
  if (scan.refused || !scan.recognised) return false;

  uint32_t length = scan.header.Length();
  if (length > kMaxSettingsBlock) return false;
  std::vector<uint8_t> payload(length);
  size_t got = 0;
  if (length > 0) got = CollectUntilIdle(link, payload.data(), length, 500, 100).count;
  return AcceptBlock(scan, payload.data(), got, info);
}

}  // namespace varnet
