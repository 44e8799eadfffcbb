// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace varnet::test {

// A fresh directory under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
 public:
  // Private (0700) and of an unpredictable name, as mkdtemp makes them.
  TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto dir = std::filesystem::temp_directory_path() / ("varnet-test-" + std::to_string(random()));
      std::error_code ec;
      if (!std::filesystem::create_directory(dir, ec)) continue;
      std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
      path_ = dir.string();
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(path_, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

// A folder in which no one may create a file, root included (sysfs refuses
// new files to everyone); empty where the system has none.
inline std::string FolderNobodyMayWrite() {
  const std::string dir = "/sys/kernel";
  const std::string probe = dir + "/.varnet-probe";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return {};
  std::FILE* f = std::fopen(probe.c_str(), "wx");
  if (!f) return errno == EACCES ? dir : std::string();
  std::fclose(f);
  std::remove(probe.c_str());
  return {};
}

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace varnet::test
