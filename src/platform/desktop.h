// SPDX-License-Identifier: Apache-2.0
// What the desktop program asks of the system where the system answers
// better than the toolkit: the interface language, the screen, message boxes.
// On POSIX every answer is "ask the toolkit" (nullopt).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace varnet::platform {

// The user's default interface language identifier (Windows: 0x0804 for
// Chinese, People's Republic of China).
std::optional<uint16_t> SystemUiLanguage();

// The primary screen in pixels at the system DPI, with that DPI (96 = 100 %).
struct ScreenPixels {
  int width = 0, height = 0, dpi = 96;
};
std::optional<ScreenPixels> SystemScreenSize();

enum class BoxIcon { None, Information, Error, Question };
// The system's own top-most message box over `owner` (a native window);
// true for Yes or OK. nullopt where the system has none.
std::optional<bool> SystemMessageBox(intptr_t owner, const std::string& caption, const std::string& text, BoxIcon icon,
                                     bool yesNo);

}  // namespace varnet::platform
