// SPDX-License-Identifier: Apache-2.0
#include "imaging/capture_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "imaging/imaging_state.h"

namespace varnet {

namespace {

bool UsableDir(const char* path, bool mustBePrivate) {
  if (path == nullptr || path[0] != '/') return false;
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (access(path, W_OK | X_OK) != 0) return false;
  if (mustBePrivate && (st.st_uid != geteuid() || (st.st_mode & 077) != 0)) return false;
  return true;
}

}  // namespace

std::string CaptureBaseDir() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (UsableDir(runtime, true)) return runtime;
  const char* tmp = getenv("TMPDIR");
  if (UsableDir(tmp, false)) return tmp;
  return "/tmp";
}

std::optional<std::string> MakeCaptureDir(const std::string& base) {
  std::string pattern = base;
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += "varnet-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) return std::nullopt;
  std::string dir(buf.data());
  // mkdtemp already makes it 0700; say so explicitly rather than rely on it.
  if (chmod(dir.c_str(), 0700) != 0) {
    rmdir(dir.c_str());
    return std::nullopt;
  }
  return dir;
}

bool EnsureCaptureDir(ImagingState& imaging) {
  if (!imaging.captureDir.empty()) {
    struct stat st {};
    if (lstat(imaging.captureDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid()) return true;
  }
  auto dir = MakeCaptureDir(CaptureBaseDir());
  if (!dir) return false;
  imaging.captureDir = *dir;
  return true;
}

void RemoveCaptureDir(ImagingState& imaging) {
  if (imaging.captureDir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(imaging.captureDir, ec);
  imaging.captureDir.clear();
  imaging.newestCapturePath.clear();
}

std::string CapturePath(const std::string& dir, int number) {
  return dir + "/capture" + std::to_string(number) + ".jpg";
}

bool WriteFileWhole(const std::string& path, const uint8_t* data, size_t size) {
  std::string tmp = path + ".XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    ssize_t w = write(fd, data + done, size - done);
    if (w > 0) {
      done += size_t(w);
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else {
      ok = false;
      break;
    }
  }
  if (close(fd) != 0) ok = false;
  // The old file goes only once the new one is complete. Renaming over it
  // instead would make ext4 flush the new data to disk first (its
  // replace-by-rename safety), some milliseconds per capture that a file
  // living for a few seconds does not need.
  if (ok && unlink(path.c_str()) != 0 && errno != ENOENT) ok = false;
  if (ok && rename(name.data(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(name.data());
  return ok;
}

}  // namespace varnet
