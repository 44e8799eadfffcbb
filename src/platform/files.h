// SPDX-License-Identifier: Apache-2.0
// Files and folders by UTF-8 names on every system (wide names on Windows),
// and the system's words for an errno.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnet::platform {

// A path from a UTF-8 name, for std::filesystem and the file streams.
std::filesystem::path FilePath(const std::string& utf8);
// The characters that end a folder's part of a path: "/" ("/\\:" on Windows).
const char* PathSeparators();

// The whole file, or its first `max` bytes; none with the errno in *error.
// A FIFO or device that has nothing to give does not block.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t max, int* error = nullptr);

// A file of the trace: appended to, private to the user; -1 with the errno
// in *error. WriteFd writes all of it (to that file, or standard error as 2).
int OpenAppendPrivate(const std::string& path, int* error);
void WriteFd(int fd, const std::string& text);
void CloseFd(int fd);
bool IsTerminal(int fd);

// The folder private temporary files go in: the user's runtime folder when
// private, else the temporary folder (%TEMP% on Windows).
std::string TempFolder();
// A new folder under `base` that only this user may enter, with an
// unpredictable name; none when it cannot be made.
std::optional<std::string> MakePrivateFolder(const std::string& base);
// A folder (not a link to one) that this user owns.
bool IsOwnFolder(const std::string& path);

// Makes the folder and the parents it lacks, as mkdir -p does; false with
// why one could not be made.
bool MakeFolders(const std::string& dir, std::string& why);
// A folder that takes new files, made when missing; false with why not.
bool FolderWritable(const std::string& dir, std::string& why);

// Writes a new file in `dir` named `name(n)` for the first n from `first` to
// `last` whose name is free: no file is ever replaced, and none is left
// half written. The path it got, or empty with the reason.
std::string StoreNewFile(const std::string& dir, const std::function<std::string(int)>& name, int first, int last,
                         const uint8_t* data, size_t size, std::string& why);

// The system's words for an errno value; thread-safe.
std::string ErrorText(int error);
// A user's disk quota is used up (EDQUOT; Windows reports it as ENOSPC).
bool QuotaExceeded(int error);

}  // namespace varnet::platform
