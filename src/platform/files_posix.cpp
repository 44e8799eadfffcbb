// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace varnet::platform {

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size, int& error) {
  for (size_t done = 0; done < size;) {
    const ssize_t w = ::write(fd, data + done, size - done);
    if (w > 0) {
      done += size_t(w);
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else {
      error = w < 0 ? errno : EIO;
      return false;
    }
  }
  return true;
}

bool UsableDir(const char* path, bool mustBePrivate) {
  if (path == nullptr || path[0] != '/') return false;
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (access(path, W_OK | X_OK) != 0) return false;
  if (mustBePrivate && (st.st_uid != geteuid() || (st.st_mode & 077) != 0)) return false;
  return true;
}

}  // namespace

std::filesystem::path FilePath(const std::string& utf8) { return std::filesystem::path(utf8); }

const char* PathSeparators() { return "/"; }

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t max, int* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = errno;
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(max);
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      if (error) *error = errno;
      ::close(fd);
      return std::nullopt;
    }
    if (r == 0) break;
    got += size_t(r);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

int OpenAppendPrivate(const std::string& path, int* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0 && error) *error = errno;
  return fd;
}

void WriteFd(int fd, const std::string& text) {
  int error = 0;
  (void)WriteAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}

void CloseFd(int fd) { ::close(fd); }

bool IsTerminal(int fd) { return isatty(fd) == 1; }

std::string TempFolder() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (UsableDir(runtime, true)) return runtime;
  const char* tmp = getenv("TMPDIR");
  if (UsableDir(tmp, false)) return tmp;
  return "/tmp";
}

std::optional<std::string> MakePrivateFolder(const std::string& base) {
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

bool IsOwnFolder(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

// Each folder with 0777 under the umask, a parent with u+wx besides so that
// the next one can go in.
bool MakeFolders(const std::string& dir, std::string& why) {
  for (size_t end = 0; end != std::string::npos;) {
    const size_t start = dir.find_first_not_of('/', end);
    if (start == std::string::npos) break;
    end = dir.find('/', start);
    const std::string part = dir.substr(0, end);
    const bool last = end == std::string::npos || dir.find_first_not_of('/', end) == std::string::npos;
    if (::mkdir(part.c_str(), 0777) != 0) {
      if (errno == EEXIST) continue;  // a folder, or a file the check after names
      why = "cannot create the folder" + (last ? std::string() : " " + part) + ": " + ErrorText(errno);
      return false;
    }
    struct stat st {};
    if (!last && ::stat(part.c_str(), &st) == 0 && (st.st_mode & 0300) != 0300)
      ::chmod(part.c_str(), (st.st_mode & 07777) | 0300);
  }
  return true;
}

bool FolderWritable(const std::string& dir, std::string& why) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR) && !MakeFolders(dir, why)) return false;
  if (::stat(dir.c_str(), &st) != 0) {
    why = ErrorText(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    why = "not a folder";
    return false;
  }
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    why = ErrorText(errno);
    return false;
  }
  return true;
}

// The bytes go to an unnamed file that gets its name when complete; where
// the file system has no unnamed files, a file that fails is removed.
std::string StoreNewFile(const std::string& dir, const std::function<std::string(int)>& name, int first, int last,
                         const uint8_t* data, size_t size, std::string& why) {
  int error = 0;
  const int unnamed = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (unnamed >= 0) {
    std::string placed;
    if (WriteAll(unnamed, data, size, error)) {
      const std::string self = "/proc/self/fd/" + std::to_string(unnamed);
      for (int n = first; n <= last && placed.empty(); ++n) {
        const std::string path = dir + "/" + name(n);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) placed = path;
        else if (errno != EEXIST) break;
      }
    } else {
      why = ErrorText(error);
    }
    const bool linkFailed = placed.empty() && why.empty() && errno != EEXIST;
    ::close(unnamed);
    if (!linkFailed) {
      if (placed.empty() && why.empty()) why = "every name is taken";
      return placed;
    }
  }
  for (int n = first; n <= last; ++n) {
    std::string path = dir + "/" + name(n);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      why = ErrorText(errno);
      return {};
    }
    bool ok = WriteAll(fd, data, size, error);
    if (!ok) why = ErrorText(error);
    if (::close(fd) != 0 && ok) {
      why = ErrorText(errno);
      ok = false;
    }
    if (ok) return path;
    ::unlink(path.c_str());
    return {};
  }
  why = "every name is taken";
  return {};
}

std::string ErrorText(int error) {
  char buf[128];
  // The GNU strerror_r: ports and files may fail on several threads at once.
  return strerror_r(error, buf, sizeof buf);
}

bool QuotaExceeded(int error) { return error == EDQUOT; }

}  // namespace varnet::platform
