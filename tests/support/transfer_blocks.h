// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "link/protocol.h"

namespace varnet::test {

// A 28-byte block header as a scanner or a file carries it: the tag, a zero,
// two free bytes, the length, and 16 free bytes. The free bytes get
// recognisable values so that tests see whether they travel unchanged.
inline std::vector<uint8_t> HeaderBytes(const std::string& tag, uint32_t length) {
  std::vector<uint8_t> h(kBlockHeaderSize, 0);
  std::memcpy(h.data(), tag.data(), std::min<size_t>(tag.size(), 8));
  h[6] = 0x66;
  h[7] = 0x77;
  for (int i = 0; i < 4; ++i) h[8 + i] = uint8_t(length >> (8 * i));
  for (size_t i = 12; i < kBlockHeaderSize; ++i) h[i] = uint8_t(0xC0 + i);
  return h;
}

// A payload whose bytes differ from one position to the next, with the
// model code at 16.
inline std::vector<uint8_t> Payload(size_t n, uint8_t modelCode = 5, uint8_t seed = 1) {
  std::vector<uint8_t> p(n);
  for (size_t i = 0; i < n; ++i) p[i] = uint8_t(i * 7 + seed);
  if (n > 16) p[16] = modelCode;
  return p;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A header announcing the payload, then the payload.
inline std::vector<uint8_t> Tagged(const std::string& tag, const std::vector<uint8_t>& payload) {
  return Concat({HeaderBytes(tag, uint32_t(payload.size())), payload});
}

inline std::vector<uint8_t> TextBytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace varnet::test
