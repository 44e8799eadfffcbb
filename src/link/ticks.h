// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace varnet {

// 32-bit millisecond tick of a steady clock. Differences are taken as
// unsigned 32-bit values, so a wrap of the counter does no harm.
uint32_t TickCount();

// Milliseconds elapsed since `since`, modulo 2^32.
inline uint32_t TicksSince(uint32_t since) { return TickCount() - since; }

// Tests move the counter close to its wrap with this.
void SetTickOffset(uint32_t offset);

void SleepMs(uint32_t ms);

}  // namespace varnet
