// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "link/commands.h"

namespace varnet::test {

// Frames and answers as the wire carries them, worked out here rather than
// by the tool's frame code.
inline const std::vector<uint8_t> kAck = {0x52, 0xA0, 0xEC, 0xFE, 0x74}, kNak = {0x52, 0xA0, 0xE0, 0xFE, 0x80};

// 05 57 P1 P2 P3 and the checksum that brings the sum to a multiple of 65536.
inline std::vector<uint8_t> Cmd(uint8_t p1, uint8_t p2, uint8_t p3) {
  const uint16_t ck = uint16_t(0x10000 - (0x05 + 0x57 + p1 + p2 + p3));
  return {0x05, 0x57, p1, p2, p3, uint8_t(ck >> 8), uint8_t(ck)};
}
inline std::vector<uint8_t> Cmd(ShortCommand c) { return Cmd(c.P1, c.P2, c.P3); }

// The simulator's refusal of one command, by the tool's name for it.
template <class Faults>
void Refuse(Faults& faults, ShortCommand c) {
  faults.RefuseCommand(c.P1, c.P2, c.P3);
}

// What a scanner heard apart from the 0E 0D queries of connecting.
inline std::vector<std::vector<uint8_t>> Writes(const std::vector<std::vector<uint8_t>>& heard) {
  std::vector<std::vector<uint8_t>> w;
  for (const auto& f : heard)
    if (!(f.size() == 7 && f[2] == 0x0E && f[3] == 0x0D)) w.push_back(f);
  return w;
}

inline bool Heard(const std::vector<std::vector<uint8_t>>& heard, const std::vector<uint8_t>& frame) {
  for (const auto& f : heard)
    if (f == frame) return true;
  return false;
}

}  // namespace varnet::test
