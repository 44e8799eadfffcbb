// SPDX-License-Identifier: Apache-2.0
// The reply readers' judgement on whatever a scanner may send: text
// replies, device type replies, acknowledgements and blocks.
#include <cstddef>
#include <cstdint>

#include "link/device_info.h"
#include "link/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool full = data[0] & 1;
  (void)varnet::ParseTextReply(data + 1, size - 1, full);
  (void)varnet::StartsWithAck(data, size);
  varnet::DeviceInfo info;
  (void)varnet::ParseBlockReply(data, size, info);
  if (info.formatBlock && info.formatBlock->size() > varnet::kMaxSettingsBlock) __builtin_trap();
  return 0;
}
