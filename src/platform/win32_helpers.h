// SPDX-License-Identifier: Apache-2.0
// What the Windows implementations of the platform services share; only
// *_win32.cpp files include it.
#pragma once
#include <windows.h>

#include <string>

namespace varnet::platform::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide, size_t n);
// The errno value that says the same as a Windows error, so that every
// front end words both systems' failures alike.
int ErrnoFrom(DWORD error);

}  // namespace varnet::platform::win32
