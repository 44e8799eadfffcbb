#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "transfer/atomic_file.h"
#include "transfer/export_settings.h"
#include "transfer/qr_bitmap.h"

namespace varnet {
namespace {

using test::TextBytes;
using test::Concat;
using test::HeaderBytes;
using test::Payload;
using Step = ExportReceiver::Step;

// Runs the scanner side of a whole export through a receiver into `sink`.
Step Exchange(ExportSink& sink, const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
  ExportReceiver rx(sink);
  if (!rx.Feed(first.data(), first.size())) return Step::Failed;
  Step s = rx.OnSilence();
  if (s != Step::RequestFormatBlock) return s;
  if (!rx.Feed(second.data(), second.size())) return Step::Failed;
  return rx.OnSilence();
}

TEST(ConfigFileExport, WritesTheFileByteForByte) {
  test::TempDir dir;
  std::string path = dir.File("SetScanner.vt");
  auto ph = HeaderBytes("*DCF*", 192);
  auto fh = HeaderBytes("*DFF*", 35);
  auto pp = Payload(192);
  auto fp = Payload(35, 0, 4);
  {
    ConfigFileSink sink(path);
    ASSERT_EQ(Exchange(sink, Concat({ph, pp}), Concat({fh, fp})), Step::Succeeded);
  }
  std::vector<uint8_t> expected = Concat({TextBytes("%ICF%"), std::vector<uint8_t>(ph.begin() + 5, ph.end()), pp,
                                          TextBytes("%IFF%"), std::vector<uint8_t>(fh.begin() + 5, fh.end()), fp});
  EXPECT_EQ(test::ReadWholeFile(path), expected);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"SetScanner.vt"});  // no temporary left behind
}

TEST(ConfigFileExport, FailedExportLeavesAnExistingFileAlone) {
  test::TempDir dir;
  std::string path = dir.File("keep.vt");
  const std::vector<uint8_t> old = TextBytes("an older export");
  auto param = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
  struct Row {
    const char* what;
    std::vector<uint8_t> second;
  };
  const Row rows[] = {
      {"no format block", {}},
      {"format block refused", {0x52, 0xA0, 0xE0, 0xFE, 0x80}},
      {"format block cut short", Concat({HeaderBytes("*DFF*", 20), Payload(19)})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::WriteWholeFile(path, old);
    {
      ConfigFileSink sink(path);
      EXPECT_EQ(Exchange(sink, param, row.second), Step::Failed);
    }
    EXPECT_EQ(test::ReadWholeFile(path), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.vt"});
  }
}

TEST(ConfigFileExport, UnwritableFolderFailsBeforeTheFormatBlock) {
  test::TempDir dir;
  test::WriteWholeFile(dir.File("file"), {1});
  for (std::string path : {dir.File("missing/x.vt"), dir.File("file/x.vt")}) {
    ConfigFileSink sink(path);
    ExportReceiver rx(sink);
    auto param = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
    rx.Feed(param.data(), param.size());
    EXPECT_EQ(rx.OnSilence(), Step::Failed) << path;
  }
}

TEST(ConfigFileExport, ReplacedFileKeepsItsPermissions) {
  test::TempDir dir;
  std::string path = dir.File("shared.vt");
  test::WriteWholeFile(path, {1, 2});
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(path, Payload(10).data(), 10));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(test::ReadWholeFile(path), Payload(10));

  // Giving up on a file removes its temporary and nothing else.
  AtomicFile file(path);
  ASSERT_TRUE(file.Open());
  ASSERT_TRUE(file.Write(Payload(3)));
  EXPECT_EQ(dir.Entries().size(), 2u);
  file.Discard();
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"shared.vt"});
  EXPECT_EQ(test::ReadWholeFile(path), Payload(10));
}

TEST(QrExport, WritesTwoSymbolsNamedAfterTheChosenPath) {
  test::TempDir dir;
  auto pp = Payload(192);
  auto fp = Payload(60, 0, 6);
  QrBitmapSink sink(dir.File("SetScanner.bmp"));
  ASSERT_EQ(Exchange(sink, Concat({HeaderBytes("*DCF*", 192), pp}), Concat({HeaderBytes("*DFF*", 60), fp})),
            Step::Succeeded);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"SetScanner_S1.bmp", "SetScanner_S2.bmp"}));
  auto s1 = Concat({TextBytes("%ICF%"), pp});
  auto s2 = Concat({TextBytes("%IFF%"), fp});
  EXPECT_EQ(test::ReadWholeFile(dir.File("SetScanner_S1.bmp")), *EncodeQrBitmap(s1.data(), s1.size()));
  EXPECT_EQ(test::ReadWholeFile(dir.File("SetScanner_S2.bmp")), *EncodeQrBitmap(s2.data(), s2.size()));
}

TEST(QrExport, FailuresEndTheExportNotTheProcess) {
  test::TempDir dir;
  auto param = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
  // A format block too large for any symbol: the first symbol stays, the export fails.
  QrBitmapSink big(dir.File("q.bmp"));
  EXPECT_EQ(Exchange(big, param, Concat({HeaderBytes("*DFF*", 3000), Payload(3000)})), Step::Failed);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"q_S1.bmp"});

  QrBitmapSink nowhere(dir.File("missing/q.bmp"));
  EXPECT_EQ(Exchange(nowhere, param, {}), Step::Failed);
}

}  // namespace
}  // namespace varnet
