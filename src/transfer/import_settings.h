// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/device_info.h"
#include "link/serial_link.h"
#include "transfer/config_file.h"
#include "ui_common/prompts.h"

namespace varnet {

// What an import did, for front ends that report it themselves.
struct ImportResult {
  bool cancelled = false;  // no file was chosen
  bool succeeded = false;  // "Settings Imported Successfully" was shown
  bool parameterBlockTaken = false;
  bool formatBlockTaken = false;
  std::vector<Message> messages;  // every message shown, in order
};

// The file dialog of the import.
FileRequest ImportFileRequest();

// Asks for a configuration file and writes it into the connected scanner,
// showing every message through prompts.
ImportResult ImportSettings(ScannerLink& link, DeviceInfo& info, Prompts& prompts);
// The same with the file already chosen.
ImportResult ImportSettingsFromFile(ScannerLink& link, DeviceInfo& info, Prompts& prompts, const std::string& path);

// The bytes of a configuration file, at most kMaxConfigFileRead of them.
// None when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadConfigFile(const std::string& path);

// How writing one block into the scanner ended.
enum class BlockWriteResult { Taken, NoAck, NoEcho, NotAcknowledged };

// The block write handshake: `announce` (kWriteParamBlock or kWriteFormatBlock),
// "*ack", header, "*echo", payload, AckPattern. Every answer lands at the start
// of `reply`, which the caller keeps for the whole import; only the expected
// length is compared.
BlockWriteResult WriteSettingsBlock(ScannerLink& link, ShortCommand announce, const SettingsBlock& block,
                                    std::array<uint8_t, 16>& reply);

}  // namespace varnet
