// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "imaging/imaging_state.h"
#include "link/device_info.h"
#include "link/serial_link.h"
#include "ui_common/page_context.h"
#include "ui_common/window_metrics.h"

namespace varnet {

// The process-wide plain data, one instance per run, owned by the
// application and passed by reference. Each part is declared by the
// subsystem it belongs to.
struct AppState {
  ScannerLink link;
  DeviceInfo device;
  WindowMetrics metrics;
  ImagingState imaging;
  uint16_t UiLanguage = kLangEnglish;
  Prompts* prompts = nullptr;

  // What the pages work with; the prompts must be set.
  PageContext Page() { return {link, device, *prompts, UiLanguage}; }
};

}  // namespace varnet
