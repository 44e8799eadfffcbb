#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/serial_link.h"
#include "link/ticks.h"
#include "support/script_peer.h"
#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "transfer/config_file.h"
#include "transfer/export_settings.h"
#include "transfer/qr_bitmap.h"

namespace varnet {
namespace {

using test::TextBytes;
using test::Concat;
using test::HeaderBytes;
using test::Payload;

const std::vector<uint8_t> kAskParam = {0x05, 0x57, 0x0E, 0x0D, 0x08, 0xFF, 0x81};
const std::vector<uint8_t> kAskFormat = {0x05, 0x57, 0x0E, 0x0D, 0x0A, 0xFF, 0x7F};

class ExportOverLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(link, peer.path(), 115200));
  }
  test::ScriptPeer peer;
  ScannerLink link;
  test::TempDir dir;
  const std::vector<uint8_t> ph = HeaderBytes("*DCF*", 192);
  const std::vector<uint8_t> pp = Payload(192);
  const std::vector<uint8_t> fh = HeaderBytes("*DFF*", 1500);
  const std::vector<uint8_t> fp = Payload(1500, 0, 3);
};

TEST_F(ExportOverLink, AsksForBothBlocksAndWritesTheFile) {
  std::vector<uint8_t> seen1, seen2;
  peer.Run([&](test::ScriptPeer& p) {
    seen1 = p.Receive(7, 2000);
    // Gaps below 100 ms inside a block, and a slow start of the second
    // block (within 1500 ms of the last byte), are fine.
    p.Send(std::vector<uint8_t>(ph.begin(), ph.begin() + 10));
    SleepMs(40);
    p.Send(Concat({std::vector<uint8_t>(ph.begin() + 10, ph.end()), pp}));
    seen2 = p.Receive(7, 2000);
    SleepMs(700);
    p.Send(Concat({fh, fp}));
  });
  std::string path = dir.File("SetScanner.vt");
  EXPECT_TRUE(ExportSettings(link, path, ExportMode::File));
  peer.Join();
  EXPECT_EQ(seen1, kAskParam);
  EXPECT_EQ(seen2, kAskFormat);
  std::vector<uint8_t> file = test::ReadWholeFile(path);
  ASSERT_EQ(file.size(), 56u + 192 + 1500);
  EXPECT_EQ(file, Concat({TextBytes("%ICF%"), std::vector<uint8_t>(ph.begin() + 5, ph.end()), pp, TextBytes("%IFF%"),
                          std::vector<uint8_t>(fh.begin() + 5, fh.end()), fp}));
}

TEST_F(ExportOverLink, QrModeWritesBothSymbols) {
  peer.Run([&](test::ScriptPeer& p) {
    p.Receive(7, 2000);
    p.Send(Concat({ph, pp}));
    p.Receive(7, 2000);
    p.Send(Concat({HeaderBytes("*DFF*", 50), Payload(50, 0, 2)}));
  });
  EXPECT_TRUE(ExportSettings(link, dir.File("SetScanner.bmp"), ExportMode::Qr));
  peer.Join();
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"SetScanner_S1.bmp", "SetScanner_S2.bmp"}));
}

TEST_F(ExportOverLink, StaleInputIsDiscardedFirst) {
  // A leftover block from earlier must not be taken for the answer.
  peer.Send(Concat({HeaderBytes("*DCF*", 192), Payload(192, 5, 99)}));
  SleepMs(50);
  peer.Run([&](test::ScriptPeer& p) {
    EXPECT_EQ(p.Receive(7, 2000), kAskParam);
    p.Send(Concat({ph, pp}));
    EXPECT_EQ(p.Receive(7, 2000), kAskFormat);
    p.Send(Concat({fh, fp}));
  });
  std::string path = dir.File("a.vt");
  EXPECT_TRUE(ExportSettings(link, path, ExportMode::File));
  peer.Join();
  std::vector<uint8_t> file = test::ReadWholeFile(path);
  ASSERT_GT(file.size(), 28u + 192);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 28, file.begin() + 220), pp);
}

TEST_F(ExportOverLink, ScannerThatNeverFallsSilentFailsPromptly) {
  // Whether the drain gives up at 500 ms or the hunt for a header gives up
  // after 64 KiB depends on how steadily the bytes come; either way the
  // export must end, and write nothing.
  std::atomic<bool> stop{false};
  peer.Run([&](test::ScriptPeer& p) {
    const std::vector<uint8_t> junk(4096, '0');
    while (!stop) p.Send(junk);
  });
  SleepMs(30);
  uint32_t start = TickCount();
  EXPECT_FALSE(ExportSettings(link, dir.File("x.vt"), ExportMode::File));
  uint32_t took = TicksSince(start);
  stop = true;
  peer.Join();
  EXPECT_LT(took, 1400u);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(ExportOverLink, SilenceLimits) {
  // A pause of 300 ms inside the payload ends the chunk short.
  peer.Run([&](test::ScriptPeer& p) {
    p.Receive(7, 2000);
    p.Send(Concat({ph, std::vector<uint8_t>(pp.begin(), pp.begin() + 100)}));
    SleepMs(300);
    p.Send(std::vector<uint8_t>(pp.begin() + 100, pp.end()));
  });
  EXPECT_FALSE(ExportSettings(link, dir.File("x.vt"), ExportMode::File));
  peer.Join();

  // No answer at all: failure once 1500 ms have passed.
  DrainInput(link);
  uint32_t start = TickCount();
  EXPECT_FALSE(ExportSettings(link, dir.File("x.vt"), ExportMode::File));
  uint32_t took = TicksSince(start);
  EXPECT_GE(took, 1500u);
  EXPECT_LT(took, 2500u);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(ExportOverLink, MissingFormatBlockKeepsTheOldFile) {
  std::string path = dir.File("keep.vt");
  test::WriteWholeFile(path, TextBytes("older export"));
  peer.Run([&](test::ScriptPeer& p) {
    p.Receive(7, 2000);
    p.Send(Concat({ph, pp}));
    EXPECT_EQ(p.Receive(7, 2000), kAskFormat);
  });
  EXPECT_FALSE(ExportSettings(link, path, ExportMode::File));
  peer.Join();
  EXPECT_EQ(test::ReadWholeFile(path), TextBytes("older export"));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.vt"});
}

TEST_F(ExportOverLink, ClosingTheLinkEndsTheExport) {
  std::thread closer([&] {
    SleepMs(200);
    CloseLink(link);
  });
  uint32_t start = TickCount();
  EXPECT_FALSE(ExportSettings(link, dir.File("x.vt"), ExportMode::File));
  EXPECT_LT(TicksSince(start), 1200u);
  closer.join();
}

}  // namespace
}  // namespace varnet
