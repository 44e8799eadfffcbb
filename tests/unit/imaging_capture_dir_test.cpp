#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "app/app_state.h"
#include "imaging/capture_files.h"

namespace varnet {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the length of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class CaptureDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(::testing::TempDir()) / ("capdir-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "runtime");
    fs::create_directories(root / "tmp");
    chmod((root / "runtime").c_str(), 0700);
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

TEST_F(CaptureDirTest, PrivateUnpredictableDirectoryInTheRuntimeDir) {
  ScopedEnv rt("XDG_RUNTIME_DIR", (root / "runtime").string());
  EXPECT_EQ(CaptureBaseDir(), (root / "runtime").string());
  ImagingState a, b;
  ASSERT_TRUE(EnsureCaptureDir(a));
  ASSERT_TRUE(EnsureCaptureDir(b));
  EXPECT_EQ(fs::path(a.captureDir).parent_path(), root / "runtime");
  EXPECT_EQ(Mode(a.captureDir), 0700u);
  EXPECT_NE(a.captureDir, b.captureDir);
  // Made once per run: asking again keeps it.
  std::string first = a.captureDir;
  ASSERT_TRUE(EnsureCaptureDir(a));
  EXPECT_EQ(a.captureDir, first);
  EXPECT_EQ(CapturePath(a.captureDir, 12), first + "/capture12.jpg");
  RemoveCaptureDir(a);
  EXPECT_FALSE(fs::exists(first));
  RemoveCaptureDir(b);
}

TEST_F(CaptureDirTest, PrivateEvenUnderAPermissiveUmask) {
  ScopedEnv rt("XDG_RUNTIME_DIR", (root / "runtime").string());
  mode_t old = umask(0);
  auto dir = MakeCaptureDir((root / "tmp").string());
  umask(old);
  ASSERT_TRUE(dir);
  EXPECT_EQ(Mode(*dir), 0700u);
}

TEST_F(CaptureDirTest, SharedOrMissingRuntimeDirFallsBackToTemp) {
  ScopedEnv tmp("TMPDIR", (root / "tmp").string());
  chmod((root / "runtime").c_str(), 0777);
  {
    ScopedEnv rt("XDG_RUNTIME_DIR", (root / "runtime").string());
    EXPECT_EQ(CaptureBaseDir(), (root / "tmp").string());
  }
  {
    ScopedEnv rt("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(CaptureBaseDir(), (root / "tmp").string());
    ImagingState s;
    ASSERT_TRUE(EnsureCaptureDir(s));
    EXPECT_EQ(fs::path(s.captureDir).parent_path(), root / "tmp");
    EXPECT_EQ(Mode(s.captureDir), 0700u);
    // Removed behind our back (a temp cleaner): a new one is made.
    fs::remove_all(s.captureDir);
    ASSERT_TRUE(EnsureCaptureDir(s));
    EXPECT_TRUE(fs::is_directory(s.captureDir));
  }
  {
    ScopedEnv rt("XDG_RUNTIME_DIR", "relative/path");
    ScopedEnv noTmp("TMPDIR", (root / "missing").string());
    EXPECT_EQ(CaptureBaseDir(), "/tmp");
  }
}

TEST_F(CaptureDirTest, FilesAreReplacedWhole) {
  std::string path = (root / "tmp" / "capture3.jpg").string();
  const uint8_t first[] = {1, 2, 3, 4, 5};
  const uint8_t second[] = {9, 9};
  ASSERT_TRUE(WriteFileWhole(path, first, sizeof first));
  ASSERT_TRUE(WriteFileWhole(path, second, sizeof second));
  std::ifstream f(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(f)), {});
  EXPECT_EQ(content, std::string("\x09\x09"));
  EXPECT_TRUE(WriteFileWhole((root / "tmp" / "empty.jpg").string(), nullptr, 0));
  EXPECT_EQ(fs::file_size(root / "tmp" / "empty.jpg"), 0u);
  EXPECT_FALSE(WriteFileWhole((root / "missing" / "x.jpg").string(), first, sizeof first));
  // Only the two files: no temporary names stay behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "tmp"), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace varnet
