// SPDX-License-Identifier: Apache-2.0
// POSIX only (tests/CMakeLists.txt builds *_posix_test.cpp there): where the
// capture files go is the runtime directory's rules, which Windows has not.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "imaging/capture_files.h"
#include "imaging/imaging_state.h"

namespace varnet {
namespace {

namespace fs = std::filesystem;

TEST(CaptureDir, PrivateUnpredictableInTheRuntimeDirOrElseTemp) {
  fs::path root = fs::path(::testing::TempDir()) / ("capdir-" + std::to_string(getpid()));
  fs::create_directories(root / "run"), fs::create_directories(root / "tmp");
  chmod((root / "run").c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
  ImagingState a, b;
  ASSERT_TRUE(EnsureCaptureDir(a) && EnsureCaptureDir(b));
  EXPECT_EQ(fs::path(a.captureDir).parent_path(), root / "run");
  EXPECT_NE(a.captureDir, b.captureDir);
  EXPECT_EQ(fs::status(a.captureDir).permissions(), fs::perms::owner_all);
  std::string first = a.captureDir;
  ASSERT_TRUE(EnsureCaptureDir(a));
  EXPECT_EQ(a.captureDir, first);  // once per run
  EXPECT_EQ(CapturePath(first, 12), first + "/capture12.jpg");

  // A runtime dir others may write to is not used.
  chmod((root / "run").c_str(), 0777);
  EXPECT_EQ(CaptureBaseDir(), fs::temp_directory_path().string());
  fs::remove_all(root);
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace varnet
