// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnet::platform {

// A file written under a temporary name beside its target and renamed over
// it only when complete, so an interrupted or failed write never destroys
// the file that was there before. Names are UTF-8 on every system.
class AtomicFile {
 public:
  // Durable: the data reach the disk before the rename (fsync,
  // FlushFileBuffers), so even a power cut leaves the old file or the new
  // one. Not durable: a file that lives for seconds (a capture) skips that.
  explicit AtomicFile(std::string target, bool durable = true);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Starts over with a new, empty temporary file. False when none can be made.
  bool Open();
  bool IsOpen() const { return handle_ != -1; }
  bool Write(const uint8_t* data, size_t n);
  bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
  // Flushes, closes and renames the temporary file over the target.
  bool Commit();
  // Removes the temporary file; the target is left as it was.
  void Discard();

  const std::string& target() const { return target_; }
  const std::string& temporaryPath() const { return tempPath_; }
  // The errno of the last failure (never 0 after one), 0 before any.
  int error() const { return error_; }

 private:
  bool Failed(int err);

  std::string target_;
  std::string tempPath_;
  intptr_t handle_ = -1;  // the descriptor; the HANDLE on Windows
  bool durable_;
  int error_ = 0;
};

// False on failure, with its errno in *error when asked.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, int* error = nullptr,
                         bool durable = true);

}  // namespace varnet::platform
