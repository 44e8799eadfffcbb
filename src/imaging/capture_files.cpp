// SPDX-License-Identifier: Apache-2.0
#include "imaging/capture_files.h"

#include <filesystem>
#include <system_error>

#include "imaging/imaging_state.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

namespace varnet {

std::string CaptureBaseDir() { return platform::TempFolder(); }

std::optional<std::string> MakeCaptureDir(const std::string& base) { return platform::MakePrivateFolder(base); }

bool EnsureCaptureDir(ImagingState& imaging) {
  if (!imaging.captureDir.empty() && platform::IsOwnFolder(imaging.captureDir)) return true;
  auto dir = MakeCaptureDir(CaptureBaseDir());
  if (!dir) return false;
  imaging.captureDir = *dir;
  return true;
}

void RemoveCaptureDir(ImagingState& imaging) {
  if (imaging.captureDir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(platform::FilePath(imaging.captureDir), ec);
  imaging.captureDir.clear();
  imaging.newestCapturePath.clear();
}

std::string CapturePath(const std::string& dir, int number) {
  return dir + "/capture" + std::to_string(number) + ".jpg";
}

// The file lives for seconds: no flush to the disk before it takes its name.
bool WriteFileWhole(const std::string& path, const uint8_t* data, size_t size) {
  return platform::WriteFileAtomically(path, data, size, nullptr, false);
}

}  // namespace varnet
