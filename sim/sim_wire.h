// SPDX-License-Identifier: Apache-2.0
// Byte-level pieces of the scanner's side of the wire protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnet::sim {

inline const std::vector<uint8_t> kAck = {0x52, 0xA0, 0xEC, 0xFE, 0x74};
inline const std::vector<uint8_t> kNak = {0x52, 0xA0, 0xE0, 0xFE, 0x80};

// (65536 - sum of bytes) mod 65536.
uint16_t FrameChecksum(const uint8_t* data, size_t n);

// Data reply: L 52 R2 R3 data... CKhi CKlo with L = 4 + data size.
std::vector<uint8_t> DataReply(uint8_t r2, uint8_t r3, const std::vector<uint8_t>& data, bool corruptChecksum = false);

// 28-byte block header: tag, LE length at 8, the remaining bytes from `fill`.
std::vector<uint8_t> BlockHeader(const std::string& tag, uint32_t length, const uint8_t fill[28]);

void PutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v);
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v);
uint32_t GetLe32(const std::vector<uint8_t>& b, size_t at);

// One record of a record command: A, B and the value bytes (without the FF).
struct Record {
  uint8_t a = 0, b = 0;
  std::vector<uint8_t> value;
};
// Splits a record command payload; nullopt when it is not made of whole
// records (each A, B, at least one value byte, ended by FF).
std::optional<std::vector<Record>> ParseRecords(const std::vector<uint8_t>& payload);

// Finds command frames in the byte stream from the tool.
class FrameScanner {
 public:
  void Feed(const uint8_t* data, size_t n);
  // The next complete frame with a good checksum. Bytes that cannot start a
  // frame, and frames whose checksum is wrong, are skipped one byte at a time.
  std::optional<std::vector<uint8_t>> Next();
  // A partial frame that has waited too long is given up by one byte, so a
  // torn frame cannot hold back the frames behind it.
  void GiveUpPartial();
  bool HasPartial() const { return !buf_.empty(); }
  // Hands out whatever is buffered (the raw phase of the block handshake
  // takes over the stream) and empties the scanner.
  std::vector<uint8_t> TakeAll();

 private:
  std::vector<uint8_t> buf_;
};

}  // namespace varnet::sim
