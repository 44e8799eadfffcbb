// SPDX-License-Identifier: Apache-2.0
// X11 and Wayland leave these to the toolkit.
#include "platform/desktop.h"

namespace varnet::platform {

std::optional<uint16_t> SystemUiLanguage() { return std::nullopt; }

std::optional<ScreenPixels> SystemScreenSize() { return std::nullopt; }

std::optional<bool> SystemMessageBox(intptr_t, const std::string&, const std::string&, BoxIcon, bool) {
  return std::nullopt;
}

}  // namespace varnet::platform
