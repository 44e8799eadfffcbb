// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/atomic_file.h"

namespace varnet::platform {

namespace {

// Folder and file-name parts of a path; a bare name lives in ".".
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= size_t(w);
  }
  return true;
}

}  // namespace

AtomicFile::AtomicFile(std::string target, bool durable) : target_(std::move(target)), durable_(durable) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Failed(int err) {
  // Kept before Discard, whose close and unlink may change errno.
  error_ = err ? err : EIO;
  Discard();
  return false;
}

bool AtomicFile::Open() {
  Discard();
  auto [dir, name] = SplitPath(target_);
  // Keep the temporary name within NAME_MAX even for long target names.
  if (name.size() > 200) name.resize(200);
  // An existing target keeps its permissions; a new one gets 0666 less the umask.
  mode_t mode = 0666;
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;

  // A device of its own: files may be written from several threads at once.
  std::random_device seed;
  std::mt19937 gen(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(gen()));
    std::string candidate = dir;
    candidate.append("/.").append(name).append(suffix);
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      if (mode != 0666) (void)::fchmod(fd, mode);
      handle_ = fd;
      tempPath_ = candidate;
      return true;
    }
    if (errno != EEXIST) return Failed(errno);
  }
  return Failed(EEXIST);
}

bool AtomicFile::Write(const uint8_t* data, size_t n) {
  if (handle_ < 0) return Failed(EBADF);
  if (WriteAll(int(handle_), data, n)) return true;
  return Failed(errno);
}

bool AtomicFile::Commit() {
  if (handle_ < 0) return Failed(EBADF);
  const int fd = int(handle_);
  // A full disk may only show here, when the data reach it.
  int err = !durable_ || ::fsync(fd) == 0 ? 0 : errno;
  if (::close(fd) != 0 && !err) err = errno;
  handle_ = -1;
  // Renaming over a file makes ext4 flush the new data first (its
  // replace-by-rename safety): a file that need not last goes first instead.
  if (!err && !durable_ && ::unlink(target_.c_str()) != 0 && errno != ENOENT) err = errno;
  if (!err && ::rename(tempPath_.c_str(), target_.c_str()) != 0) err = errno;
  if (err) return Failed(err);
  tempPath_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (handle_ >= 0) {
    ::close(int(handle_));
    handle_ = -1;
  }
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
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
