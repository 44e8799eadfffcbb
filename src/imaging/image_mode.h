// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace varnet {

struct ScannerLink;

// Entering Image Mode on a new connection: A0 02 05 with up to 350 ms for
// its answer (not looked at), then A0 02 02 without a wait; the link is then
// free for the periodic work.
void StartImageMode(ScannerLink& link);

// Leaving Image Mode when the connection closes: A0 02 00 with up to
// 1000 ms for its answer. True when the scanner acknowledged it (callers
// close the connection either way).
bool StopImageMode(ScannerLink& link);

}  // namespace varnet
