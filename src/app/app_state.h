// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "imaging/imaging_state.h"
#include "link/device_info.h"
#include "link/serial_link.h"

namespace varnet {

class Prompts;

constexpr uint16_t kLangEnglish = 0x0409;
constexpr uint16_t kLangChinese = 0x0804;

// Screen-derived sizes worked out once at start-up.
struct WindowMetrics {
  int ScreenWidth = 1920;
  int EffectiveScreenHeight = 1080;
  uint8_t RowLimit = 15;
};

// The process-wide plain data, one instance per run, passed by reference.
struct AppState {
  ScannerLink link;
  DeviceInfo device;
  WindowMetrics metrics;
  ImagingState imaging;
  uint16_t UiLanguage = kLangEnglish;
  uint8_t ImageModeState = kImageRunning;
  Prompts* prompts = nullptr;

  bool Chinese() const { return UiLanguage == kLangChinese; }
};

}  // namespace varnet
