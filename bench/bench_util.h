// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <time.h>

namespace varnet::bench {

// CPU time of the whole process (every thread), for CPU-against-wall shares.
inline double ProcessCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace varnet::bench
