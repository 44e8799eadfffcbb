// Scanned data of any content becomes a bounded, well-formed text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/scan_monitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = varnet::ConvertScanData(data, size);
  if (text.size() > 1024) __builtin_trap();
  // Never cut inside a bracketed name.
  int depth = 0;
  for (char c : text) {
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (depth < 0 || depth > 1) __builtin_trap();
  }
  if (depth != 0) __builtin_trap();
  return 0;
}
