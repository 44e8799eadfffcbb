// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "link/device_info.h"
#include "link/prompts.h"
#include "link/serial_link.h"

namespace varnet {

// UiLanguage: the interface language, decided once at start-up.
constexpr uint16_t kLangEnglish = 0x0409;
constexpr uint16_t kLangChinese = 0x0804;

// Screen-derived sizes the main window works out once at start-up; the image
// side lays itself out by them too.
struct WindowMetrics {
  int ScreenWidth = 1920;
  int EffectiveScreenHeight = 1080;
  uint8_t RowLimit = 15;
};

// What the main window hands each page: the connection, the device
// information, the prompts and the language. The state itself belongs to the
// window, which outlives its pages.
struct PageContext {
  ScannerLink& link;
  DeviceInfo& device;
  Prompts& prompts;
  uint16_t UiLanguage = kLangEnglish;

  bool Chinese() const { return UiLanguage == kLangChinese; }
};

}  // namespace varnet
