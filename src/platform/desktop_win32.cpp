// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "platform/desktop.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

std::optional<uint16_t> SystemUiLanguage() { return uint16_t(GetUserDefaultUILanguage()); }

std::optional<ScreenPixels> SystemScreenSize() {
  // Windows 10 1607 and later; looked up by name so older systems start too.
  using DpiForSystem = UINT(WINAPI*)();
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  ScreenPixels s;
  HMODULE user32 = GetModuleHandleW(L"User32.dll");
  auto dpiForSystem =
      user32 ? reinterpret_cast<DpiForSystem>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))
             : nullptr;
  auto metricsForDpi =
      user32
          ? reinterpret_cast<MetricsForDpi>(reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetricsForDpi")))
          : nullptr;
  if (dpiForSystem && metricsForDpi) {
    s.dpi = int(dpiForSystem());
    s.width = metricsForDpi(SM_CXSCREEN, UINT(s.dpi));
    s.height = metricsForDpi(SM_CYSCREEN, UINT(s.dpi));
  } else {
    s.width = GetSystemMetrics(SM_CXSCREEN);
    s.height = GetSystemMetrics(SM_CYSCREEN);
  }
  if (s.width <= 0 || s.height <= 0 || s.dpi <= 0) return std::nullopt;
  return s;
}

std::optional<bool> SystemMessageBox(intptr_t owner, const std::string& caption, const std::string& text, BoxIcon icon,
                                     bool yesNo) {
  UINT style = MB_TOPMOST | MB_SETFOREGROUND | (yesNo ? MB_YESNO : MB_OK);
  switch (icon) {
    case BoxIcon::Information: style |= MB_ICONINFORMATION; break;
    case BoxIcon::Error: style |= MB_ICONERROR; break;
    case BoxIcon::Question: style |= MB_ICONQUESTION; break;
    case BoxIcon::None: break;
  }
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the header keeps the window handle as an integer, without windows.h
  const HWND window = reinterpret_cast<HWND>(owner);
  const int answer = MessageBoxW(window, win32::Wide(text).c_str(), win32::Wide(caption).c_str(), style);
  return answer == IDYES || answer == IDOK;
}

}  // namespace varnet::platform
