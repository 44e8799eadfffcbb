// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_link.h"

namespace varnet {

// The tool's copy of the scanner's 192-byte parameter block, little-endian.
struct ParamBlock {
  static constexpr size_t kSize = 192;
  std::array<uint8_t, kSize> bytes{};

  uint8_t U8(size_t off) const { return bytes.at(off); }
  uint16_t U16(size_t off) const { return uint16_t(bytes.at(off) | bytes.at(off + 1) << 8); }
  uint32_t U32(size_t off) const {
    return uint32_t(bytes.at(off)) | uint32_t(bytes.at(off + 1)) << 8 | uint32_t(bytes.at(off + 2)) << 16 |
           uint32_t(bytes.at(off + 3)) << 24;
  }
  void SetU8(size_t off, uint8_t v) { bytes.at(off) = v; }
  void SetU16(size_t off, uint16_t v) {
    bytes.at(off) = uint8_t(v);
    bytes.at(off + 1) = uint8_t(v >> 8);
  }
  void SetU32(size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.at(off + i) = uint8_t(v >> (8 * i));
  }
  // Zero-terminated text at off, at most maxLen bytes.
  std::string Text(size_t off, size_t maxLen) const;

  std::string ModelName() const { return Text(0, 16); }
  uint8_t ModelCode() const { return bytes[16]; }
};

// Offsets of the fields the tool interprets.
namespace pb {
constexpr size_t ModelName = 0;
constexpr size_t ModelCode = 16;
constexpr size_t SymbologyMask = 20;
constexpr size_t CodeId = 39;
constexpr size_t EndingChar = 40;
constexpr size_t CaseConversion = 42;
constexpr size_t OutputInterface = 43;
constexpr size_t Rs232Baud = 44;
constexpr size_t KeyboardLayout = 52;
constexpr size_t CodePage = 53;
constexpr size_t ScanMode = 55;
constexpr size_t Exposure = 58;
constexpr size_t Gain = 60;
constexpr size_t AimingFlag = 139;
constexpr size_t DecodeArea = 140;
constexpr size_t Flags = 188;
}  // namespace pb

// The output format block: as many bytes as the scanner announced.
using FormatBlock = std::vector<uint8_t>;

// What the link learnt about the connected scanner; one instance per run.
struct DeviceInfo {
  int deviceType = -1;                     // DeviceType: 1..5, or -1/0 without an answer
  ParamBlock paramBlock;                   // ParamBlock: kept after disconnection
  std::optional<FormatBlock> formatBlock;  // FormatBlock: only while connected
  uint8_t interfaceAtConnect = 0;          // InterfaceAtConnect
  uint8_t settingsDirty = 0;               // SettingsDirty

  bool HasFormatBlock() const { return formatBlock.has_value(); }
};

// The link-level part of connecting: device type, parameter block, the
// A0 00 11 command when byte 188 bit 6 is clear, then the format block.
// A missing format block is not a failure; the front ends tell the user.
bool ReadDeviceInformation(ScannerLink& link, DeviceInfo& info);
// Re-reads the parameter block and, when one is held, the format block.
// Returns whether the parameter block read succeeded.
bool RefreshBlocks(ScannerLink& link, DeviceInfo& info);
void ReleaseFormatBlock(DeviceInfo& info);

// Whether ending this connection restarts the scanner: an acknowledged
// change left the output interface other than it was at connection, and the
// scanner takes up a new interface only after a restart. Every front end
// closes by this rule, after its save question.
bool RestartOnClose(const DeviceInfo& info);
// Sends the restart command without waiting.
void SendRestart(ScannerLink& link);

}  // namespace varnet
