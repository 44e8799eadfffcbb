// SPDX-License-Identifier: Apache-2.0
// Why a file of an export cannot be written, on file systems that refuse it.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "transfer/export_settings.h"

namespace varnet {
namespace {

// Read-only and full file systems need mounts of their own: two small tmpfs
// in a private mount namespace of a child process, so nothing reaches the
// machine's mounts. Where that is not allowed the test is skipped.
TEST(ExportDestination, ReadOnlyAndFullFileSystemsLeaveNoFile) {
  test::TempDir dir;
  const std::string ro = dir.File("ro"), full = dir.File("full");
  ASSERT_EQ(::mkdir(ro.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(full.c_str(), 0700), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", ro.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0 ||
        ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=4k") != 0)
      ::_exit(77);
    int wrong = 0;
    if (CheckExportDestination(ro + "/x.vt").reason != Reason::ReadOnlyFileSystem) wrong |= 1;
    // The folder takes a file, but not all of it.
    if (!CheckExportDestination(full + "/x.vt").ok) wrong |= 2;
    ConfigFileSink sink(full + "/x.vt");
    BlockHeader header;
    if (sink.ParameterBlock({header, std::vector<uint8_t>(64 * 1024, 1)}).reason != Reason::DiskFull) wrong |= 4;
    if (!std::filesystem::is_empty(full)) wrong |= 8;  // no file left behind
    ::_exit(wrong);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mounts allowed here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1 read-only, 2 check, 4 disk full, 8 file left";
}

}  // namespace
}  // namespace varnet
