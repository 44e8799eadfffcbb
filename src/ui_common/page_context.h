// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "ui_common/prompts.h"

namespace varnet {

// UiLanguage: the interface language, decided once at start-up.
constexpr uint16_t kLangEnglish = 0x0409;
constexpr uint16_t kLangChinese = 0x0804;

constexpr bool IsChinese(uint16_t uiLanguage) { return uiLanguage == kLangChinese; }

// What the main window hands each page: the connection, the device
// information, the prompts and the language. The state itself belongs to the
// window, which outlives its pages.
struct PageContext {
  ScannerLink& link;
  DeviceInfo& device;
  Prompts& prompts;
  uint16_t UiLanguage = kLangEnglish;

  bool Chinese() const { return IsChinese(UiLanguage); }
};

}  // namespace varnet
