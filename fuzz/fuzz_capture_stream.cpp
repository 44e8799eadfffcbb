// SPDX-License-Identifier: Apache-2.0
// The capture stream reader fed in pieces of varying size, as a scanner's
// bytes arrive.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/capture_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnet::CaptureHeaderReader reader;
  size_t pos = 0;
  while (pos < size) {
    using S = varnet::CaptureHeaderReader::State;
    S s = reader.state();
    if (s == S::Refused || s == S::Corrupt || s == S::ImageReady) break;
    // The first byte of each step says how much arrives at once.
    size_t chunk = 1 + data[pos] % 64;
    ++pos;
    size_t want = reader.Want();
    if (want == 0) {
      reader.DataGap();
      continue;
    }
    size_t n = std::min<size_t>({chunk, want, size - pos});
    size_t used = reader.Feed(data + pos, n);
    if (used > n) __builtin_trap();
    pos += n;
    if (data[pos - 1] == 0x55) reader.DataGap();
  }
  if (reader.decodedData().size() > varnet::kMaxDecodedData) __builtin_trap();
  return 0;
}
