// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/files.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithSeparator(const std::string& dir) {
  if (dir.empty()) return ".\\";
  const char last = dir.back();
  return last == '/' || last == '\\' || last == ':' ? dir : dir + "\\";
}

std::string RandomName(const char* prefix, const char* suffix) {
  static thread_local std::mt19937 gen{std::random_device{}()};
  char name[64];
  std::snprintf(name, sizeof name, "%s%08x%s", prefix, unsigned(gen()), suffix);
  return name;
}

bool WriteAll(HANDLE h, const uint8_t* data, size_t size, DWORD& error) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
    if (!WriteFile(h, data, chunk, &written, nullptr)) {
      error = GetLastError();
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

std::filesystem::path FilePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

const char* PathSeparators() { return "/\\:"; }

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t max, int* error) {
  HANDLE h = CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = win32::ErrnoFrom(GetLastError());
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(max);
  size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const DWORD chunk = bytes.size() - got > (1u << 30) ? (1u << 30) : DWORD(bytes.size() - got);
    if (!ReadFile(h, bytes.data() + got, chunk, &n, nullptr)) {
      if (error) *error = win32::ErrnoFrom(GetLastError());
      CloseHandle(h);
      return std::nullopt;
    }
    if (n == 0) break;
    got += n;
  }
  CloseHandle(h);
  bytes.resize(got);
  return bytes;
}

// Files under the user's profile are the user's alone by inheritance.
int OpenAppendPrivate(const std::string& path, int* error) {
  const int fd = _wopen(win32::Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0 && error) *error = errno;
  return fd;
}

void WriteFd(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const int w = _write(fd, text.data() + done, unsigned(std::min<size_t>(text.size() - done, 1u << 30)));
    if (w <= 0) return;
    done += size_t(w);
  }
}

void CloseFd(int fd) { _close(fd); }

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

std::string TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH) return ".";
  std::string dir = win32::Utf8(buf, n);
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

// %TEMP% is the user's own: a folder made there inherits permissions that
// keep other users out.
std::optional<std::string> MakePrivateFolder(const std::string& base) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::string dir = WithSeparator(base) + RandomName("varnet-", "");
    if (CreateDirectoryW(win32::Wide(dir).c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

bool IsOwnFolder(const std::string& path) {
  const DWORD a = GetFileAttributesW(win32::Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeFolders(const std::string& dir, std::string& why) {
  for (size_t end = 0; end != std::string::npos;) {
    const size_t start = dir.find_first_not_of("/\\", end);
    if (start == std::string::npos) break;
    end = dir.find_first_of("/\\", start);
    const std::string part = dir.substr(0, end);
    const bool last = end == std::string::npos || dir.find_first_not_of("/\\", end) == std::string::npos;
    // Drives (C:) and folders that are there already.
    if (part.back() == ':' || IsFolder(win32::Wide(part))) continue;
    if (!CreateDirectoryW(win32::Wide(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      why = "cannot create the folder" + (last ? std::string() : " " + part) + ": " +
            ErrorText(win32::ErrnoFrom(GetLastError()));
      return false;
    }
  }
  return true;
}

bool FolderWritable(const std::string& dir, std::string& why) {
  const std::wstring wide = win32::Wide(dir);
  const DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    const DWORD e = GetLastError();
    if ((e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) && !MakeFolders(dir, why)) return false;
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) {
      why = ErrorText(win32::ErrnoFrom(e));
      return false;
    }
  } else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    why = "not a folder";
    return false;
  }
  // Permissions are lists here: only a file made and dropped again says whether one can go in.
  HANDLE probe = CreateFileW(win32::Wide(WithSeparator(dir) + RandomName(".varnet-", ".probe")).c_str(), GENERIC_WRITE,
                             0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    why = ErrorText(win32::ErrnoFrom(GetLastError()));
    return false;
  }
  CloseHandle(probe);
  return true;
}

// Written under a temporary name, then moved to the first free name; a move
// never replaces a file there.
std::string StoreNewFile(const std::string& dir, const std::function<std::string(int)>& name, int first, int last,
                         const uint8_t* data, size_t size, std::string& why) {
  std::string temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 64 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = WithSeparator(dir) + RandomName(".varnet-", ".tmp");
    h = CreateFileW(win32::Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    why = ErrorText(win32::ErrnoFrom(GetLastError()));
    return {};
  }
  DWORD error = ERROR_SUCCESS;
  const bool written = WriteAll(h, data, size, error);
  if (!CloseHandle(h) && written) error = GetLastError();
  std::string placed;
  if (written && error == ERROR_SUCCESS) {
    for (int n = first; n <= last && placed.empty(); ++n) {
      const std::string path = WithSeparator(dir) + name(n);
      if (MoveFileExW(win32::Wide(temp).c_str(), win32::Wide(path).c_str(), 0)) {
        placed = path;
        break;
      }
      error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    if (placed.empty() && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) why = "every name is taken";
  }
  if (placed.empty()) {
    if (why.empty()) why = ErrorText(win32::ErrnoFrom(error));
    DeleteFileW(win32::Wide(temp).c_str());
  }
  return placed;
}

std::string ErrorText(int error) {
  char buf[128];
  // The CRT's own table, the same words the C library gives everywhere.
  if (strerror_s(buf, sizeof buf, error) != 0) return "error " + std::to_string(error);
  return buf;
}

bool QuotaExceeded(int) { return false; }

}  // namespace varnet::platform
