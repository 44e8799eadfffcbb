// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/serial_link.h"

namespace varnet {

struct DeviceInfo;

// Frame checksum: (65536 - sum of the bytes) mod 65536, sent high byte first.
uint16_t FrameChecksum(const uint8_t* bytes, size_t n);

constexpr std::array<uint8_t, 5> AckPattern{0x52, 0xA0, 0xEC, 0xFE, 0x74};
constexpr std::array<uint8_t, 5> NakPattern{0x52, 0xA0, 0xE0, 0xFE, 0x80};
bool StartsWithAck(const uint8_t* bytes, size_t n);
bool StartsWithNak(const uint8_t* bytes, size_t n);

// One record of a record command: A, B, the value bytes. The closing FF is
// added when the frame is built; a value must not contain FF itself.
struct Record {
  uint8_t a = 0;
  uint8_t b = 0;
  std::vector<uint8_t> value;
};

constexpr size_t kMaxRecordPayload = 48;

// CommandFrame builders: the bytes on the wire.
std::array<uint8_t, 7> ShortCommandFrame(ShortCommand c);
std::array<uint8_t, 8> ValueCommandFrame(uint16_t value);
size_t RecordPayloadLength(const std::vector<Record>& records);
// None when the payload is over 48 bytes.
std::optional<std::vector<uint8_t>> RecordCommandFrame(const std::vector<Record>& records);

// 28-byte header before a block in both directions.
constexpr size_t kBlockHeaderSize = 28;
struct BlockHeader {
  std::array<uint8_t, kBlockHeaderSize> bytes{};
  // The tag compared as a zero-terminated text (so byte 5 must be 0 for a
  // five-letter tag to match).
  bool HasTag(const char* tag) const;
  uint32_t Length() const;
  void SetTag(const char* fiveLetters);  // replaces bytes 0..4
};

// Largest block the tool accepts from a scanner or a file.
constexpr uint32_t kMaxSettingsBlock = 64 * 1024;

// Transactions: the only way the tool talks to a scanner.
void SendShortCommand(ScannerLink& link, ShortCommand c);
void SendValueCommand(ScannerLink& link, uint16_t value);
// False (nothing sent) when the payload is over 48 bytes.
bool SendRecordCommand(ScannerLink& link, const std::vector<Record>& records);
bool WaitAck(ScannerLink& link, uint32_t limitMs);
// Success and the printable text; an acknowledgement is success with "".
std::optional<std::string> ReadTextReply(ScannerLink& link, uint32_t limitMs);
// Device type 1..255, or -1.
int QueryDeviceType(ScannerLink& link);
// Reads a "*DCF*" or "*DFF*" block (requested just before) into info.
bool ReadBlock(ScannerLink& link, DeviceInfo& info);

// Pure parts of the readers, for reuse and for fuzzing.
std::optional<std::string> ParseTextReply(const uint8_t* bytes, size_t n, bool full);

// The header phase of a block read: a header is recognised only in the
// first 28 bytes; otherwise up to 1024 bytes are taken in and judged.
constexpr size_t kBlockHuntSize = 1024;
struct BlockScan {
  BlockHeader header;
  size_t consumed = 0;      // bytes of the stream the header phase took
  bool recognised = false;  // "*DCF*" or "*DFF*"
  bool refused = false;     // an acknowledgement or refusal came instead
};
BlockScan ScanBlockHeader(const uint8_t* bytes, size_t n);
// Stores the payload (got bytes of it arrived) into the copies, or refuses it.
bool AcceptBlock(const BlockScan& scan, const uint8_t* payload, size_t got, DeviceInfo& info);
// Both phases over one byte stream, as ReadBlock would see it.
bool ParseBlockReply(const uint8_t* bytes, size_t n, DeviceInfo& info);

}  // namespace varnet
