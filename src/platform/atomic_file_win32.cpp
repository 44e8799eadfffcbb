// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

namespace {

// NOLINTNEXTLINE(performance-no-int-to-ptr): the headers keep the HANDLE as an integer, without windows.h
HANDLE H(intptr_t native) { return reinterpret_cast<HANDLE>(native); }

// Folder (with its separator) and file-name parts of a path.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t sep = path.find_last_of("/\\:");
  if (sep == std::string::npos) return {"", path};
  return {path.substr(0, sep + 1), path.substr(sep + 1)};
}

}  // namespace

AtomicFile::AtomicFile(std::string target, bool durable) : target_(std::move(target)), durable_(durable) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Failed(int err) {
  error_ = err ? err : EIO;
  Discard();
  return false;
}

bool AtomicFile::Open() {
  Discard();
  auto [dir, name] = SplitPath(target_);
  if (name.size() > 200) name.resize(200);
  std::random_device seed;
  std::mt19937 gen(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(gen()));
    std::string candidate = dir;
    candidate.append(".").append(name).append(suffix);
    // The new file takes the folder's inherited permissions, as any file made there would.
    HANDLE h = CreateFileW(win32::Wide(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<intptr_t>(h);
      tempPath_ = candidate;
      return true;
    }
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return Failed(win32::ErrnoFrom(e));
  }
  return Failed(EEXIST);
}

bool AtomicFile::Write(const uint8_t* data, size_t n) {
  if (handle_ == -1) return Failed(EBADF);
  while (n > 0) {
    DWORD written = 0;
    const DWORD chunk = n > (1u << 30) ? (1u << 30) : DWORD(n);
    if (!WriteFile(H(handle_), data, chunk, &written, nullptr)) return Failed(win32::ErrnoFrom(GetLastError()));
    data += written;
    n -= written;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (handle_ == -1) return Failed(EBADF);
  // A full disk may only show here, when the data reach it.
  DWORD e = !durable_ || FlushFileBuffers(H(handle_)) ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(H(handle_)) && e == ERROR_SUCCESS) e = GetLastError();
  handle_ = -1;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable_ ? MOVEFILE_WRITE_THROUGH : 0);
  if (e == ERROR_SUCCESS && !MoveFileExW(win32::Wide(tempPath_).c_str(), win32::Wide(target_).c_str(), flags))
    e = GetLastError();
  if (e != ERROR_SUCCESS) return Failed(win32::ErrnoFrom(e));
  tempPath_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (handle_ != -1) {
    CloseHandle(H(handle_));
    handle_ = -1;
  }
  if (!tempPath_.empty()) {
    DeleteFileW(win32::Wide(tempPath_).c_str());
    tempPath_.clear();
  }
}

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, int* error, bool durable) {
  AtomicFile file(path, durable);
  if (file.Open() && file.Write(data, n) && file.Commit()) return true;
  if (error) *error = file.error();
  return false;
}

}  // namespace varnet::platform
