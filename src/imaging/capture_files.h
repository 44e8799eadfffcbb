// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace varnet {

struct ImagingState;

// The folder the capture directory is made in: $XDG_RUNTIME_DIR when it is
// a private directory of this user, otherwise $TMPDIR or /tmp (%TEMP% on
// Windows).
std::string CaptureBaseDir();

// Makes a new private directory (mode 0700 on POSIX, unpredictable name) under
// `base`. None when it cannot be made.
std::optional<std::string> MakeCaptureDir(const std::string& base);

// The run's capture directory in imaging.captureDir: made on first use, and
// made anew if someone removed it meanwhile.
bool EnsureCaptureDir(ImagingState& imaging);

// Removes the capture directory with its files (at the end of a run).
void RemoveCaptureDir(ImagingState& imaging);

// dir + "/capture" + n + ".jpg"
std::string CapturePath(const std::string& dir, int number);

// Writes the bytes under a temporary name beside `path` and renames it into
// place, so a half-written file never exists under `path` and a failed
// write leaves the older file untouched.
bool WriteFileWhole(const std::string& path, const uint8_t* data, size_t size);

}  // namespace varnet
