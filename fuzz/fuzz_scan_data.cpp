// SPDX-License-Identifier: Apache-2.0
// Scanned data of any content becomes a bounded, well-formed text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/scan_monitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = varnet::ConvertScanData(data, size);
  if (text.size() > 1024) __builtin_trap();
  // Each input byte yields at most one bracketed name of five characters.
  if (text.size() > 5 * size) __builtin_trap();
  return 0;
}
