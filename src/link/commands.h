// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace varnet {

// The three bytes P1 P2 P3 of a short command; the frame adds 05 57 before
// them and the checksum after.
struct ShortCommand {
  uint8_t P1 = 0;
  uint8_t P2 = 0;
  uint8_t P3 = 0;
  friend constexpr bool operator==(const ShortCommand&, const ShortCommand&) = default;
};

// The short commands the tool sends of its own; a setting's command comes
// from the settings catalogue instead.
constexpr ShortCommand kQueryFirmware{0x0E, 0x0D, 0x02};     // answers with the firmware version text
constexpr ShortCommand kQuerySerial{0x0E, 0x0D, 0x53};       // answers with the serial number text
constexpr ShortCommand kQueryDeviceType{0x0E, 0x0D, 0x06};   // answers with a 7-byte data reply
constexpr ShortCommand kCapture{0x0E, 0x0D, 0x07};           // captures and decodes one image: the image stream
constexpr ShortCommand kReadParamBlock{0x0E, 0x0D, 0x08};    // the scanner sends its "*DCF*" parameter block
constexpr ShortCommand kReadFormatBlock{0x0E, 0x0D, 0x0A};   // the scanner sends its "*DFF*" format block
constexpr ShortCommand kWriteParamBlock{0x0E, 0x0C, 0x08};   // opens the handshake that writes a parameter block
constexpr ShortCommand kWriteFormatBlock{0x0E, 0x0C, 0x0A};  // opens the handshake that writes a format block
constexpr ShortCommand kConnectBit6Clear{0xA0, 0x00, 0x11};  // at connection, when bit 6 of pb::Flags is clear
constexpr ShortCommand kImageModeOn{0xA0, 0x02, 0x05};       // enters Image Mode; acknowledged
constexpr ShortCommand kImageModeStart{0xA0, 0x02, 0x02};    // right after kImageModeOn; never answered
constexpr ShortCommand kImageModeOff{0xA0, 0x02, 0x00};      // leaves Image Mode; acknowledged
constexpr ShortCommand kAutoTune{0xA0, 0x02, 0x08};          // tunes exposure and gain once; acknowledged when done
constexpr ShortCommand kAutoExposure{0xA0, 0x02, 0x09};      // returns to automatic exposure; acknowledged
constexpr ShortCommand kSave{0xA0, 0x08, 0x01};              // saves every setting permanently; acknowledged
constexpr ShortCommand kRestart{0xA0, 0x08, 0xFF};  // restarts the scanner into a changed interface; never answered
// Sets the gain to `gain`; never answered.
constexpr ShortCommand GainCommand(uint8_t gain) { return {0xA0, 0x04, gain}; }

}  // namespace varnet
