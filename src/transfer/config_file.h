// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/device_info.h"
#include "link/protocol.h"
#include "ui_common/prompts.h"

namespace varnet {

// Tags of the blocks as the scanner sends them, and as configuration files
// and settings barcodes carry them (and the scanner takes them back).
inline constexpr char kScannerParamTag[] = "*DCF*";
inline constexpr char kScannerFormatTag[] = "*DFF*";
inline constexpr char kFileParamTag[] = "%ICF%";
inline constexpr char kFileFormatTag[] = "%IFF%";

// Smallest parameter block a configuration file may carry: the ParamBlock.
constexpr uint32_t kMinFileParamBlock = 192;

// One settings block: its 28-byte header and the payload it announces.
struct SettingsBlock {
  BlockHeader header;
  std::vector<uint8_t> payload;
};

// The header with its first five bytes replaced by fileTag, then the payload:
// one block of a configuration file ("*.vt").
std::vector<uint8_t> ConfigFileBlock(const SettingsBlock& block, const char* fileTag);
// A whole configuration file: parameter block, then format block.
std::vector<uint8_t> BuildConfigFile(const SettingsBlock& param, const SettingsBlock& format);
// The content of a settings QR symbol: the five tag letters, then the payload.
std::vector<uint8_t> QrSymbolContent(const SettingsBlock& block, const char* fileTag);

// What an import would do with a file, decided without a scanner. The import
// runs the parameter step, then one of the two format steps depending on
// whether the scanner took the parameter block.
struct ParamStepPlan {
  std::optional<Message> refusal;  // shown; the format step still follows
  bool endsImport = false;         // the refusal ends the import (another model)
  std::optional<SettingsBlock> block;
};
struct FormatStepPlan {
  std::optional<Message> refusal;
  std::optional<SettingsBlock> block;
};
struct ImportPlan {
  bool tooShort = false;  // 28 bytes or fewer: nothing is shown or sent
  ParamStepPlan parameter;
  FormatStepPlan formatAfterParameter;  // the scanner acknowledged the parameter block
  FormatStepPlan formatOtherwise;       // the parameter block was refused or not taken
};

// Checks a configuration file's bytes against the connected scanner's model
// code. Every length is checked against the bytes present and against
// kMaxSettingsBlock before anything is copied.
ImportPlan PlanImport(const uint8_t* file, size_t size, uint8_t scannerModelCode);

// Bytes of a configuration file that the import can ever look at; a longer
// file is read only this far.
constexpr size_t kMaxConfigFileRead = 2 * (kBlockHeaderSize + kMaxSettingsBlock);

}  // namespace varnet
