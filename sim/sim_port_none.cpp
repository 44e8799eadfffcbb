// SPDX-License-Identifier: Apache-2.0
// Systems without pseudo-terminals (Windows): in-process lines only.
#include "sim/sim_port.h"

namespace varnet::sim {

Transport DefaultTransport() { return Transport::InProcess; }

std::unique_ptr<ScannerEnd> OpenPtyEnd() { return nullptr; }

}  // namespace varnet::sim
