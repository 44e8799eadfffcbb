// SPDX-License-Identifier: Apache-2.0
// The import's checks on arbitrary configuration files. The first input
// byte is the connected scanner's model code (seeds in corpus/import_plan).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "transfer/config_file.h"

namespace {

// A planned block must be exactly what the file holds at `pos`.
void CheckBlock(const varnet::SettingsBlock& b, const uint8_t* file, size_t size, size_t pos) {
  if (b.payload.size() != b.header.Length() || b.payload.size() > varnet::kMaxSettingsBlock) __builtin_trap();
  if (pos > size || size - pos < b.payload.size()) __builtin_trap();
  if (!b.payload.empty() && std::memcmp(b.payload.data(), file + pos, b.payload.size()) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t model = data[0];
  const uint8_t* file = data + 1;
  size -= 1;
  varnet::ImportPlan plan = varnet::PlanImport(file, size, model);
  if (plan.tooShort != (size <= varnet::kBlockHeaderSize)) __builtin_trap();
  if (plan.tooShort) return 0;

  const auto& p = plan.parameter;
  if (p.block.has_value() == p.refusal.has_value()) __builtin_trap();
  if (p.block) {
    CheckBlock(*p.block, file, size, varnet::kBlockHeaderSize);
    if (p.block->payload.size() < 192 || p.block->payload[16] != model) __builtin_trap();
    const auto& f = plan.formatAfterParameter;
    if (f.block.has_value() == f.refusal.has_value()) __builtin_trap();
    if (f.block) CheckBlock(*f.block, file, size, 2 * varnet::kBlockHeaderSize + p.block->payload.size());
  }
  const auto& o = plan.formatOtherwise;
  if (o.block.has_value() == o.refusal.has_value()) __builtin_trap();
  if (o.block) CheckBlock(*o.block, file, size, varnet::kBlockHeaderSize);
  return 0;
}
