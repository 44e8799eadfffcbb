// A scanner pulled out in the middle of an exchange: every operation ends
// within its protocol time-outs, reports failure, and leaves no file behind
// half written.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/app_state.h"
#include "imaging/capture_fetch.h"
#include "link/device_info.h"
#include "link/protocol.h"
#include "settings/apply_option.h"
#include "settings/model_rules.h"
#include "sim/sim_scanner.h"
#include "support/imaging_sink_recorder.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "transfer/export_settings.h"
#include "transfer/import_settings.h"

using namespace varnet;
using namespace varnet::test;

namespace {

struct Connected {
  sim::SimScanner scanner{sim::ProfileNamed("usb")};
  ScannerLink link;
  DeviceInfo info;
  RecordingPrompts prompts;
  Connected() {
    EXPECT_TRUE(scanner.Start());
    EXPECT_TRUE(OpenLink(link, scanner.SlavePath(), 115200));
    link.LinkPortName = scanner.SlavePath();
    EXPECT_TRUE(ReadDeviceInformation(link, info, prompts));
  }
  // Pulls the cable after ms, from another thread, while the test's
  // operation runs.
  std::thread UnplugAfter(int ms) {
    return std::thread([this, ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      scanner.Vanish();
    });
  }
};

int64_t MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(Unplug, DuringABlockTransfer) {
  Connected c;
  auto before = c.info.paramBlock.bytes;
  c.scanner.faults().slowBytesMs = 2;  // 220 bytes take about half a second
  auto unplug = c.UnplugAfter(150);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(RefreshBlocks(c.link, c.info));
  unplug.join();
  EXPECT_LT(MsSince(t0), 1500);
  EXPECT_EQ(c.info.paramBlock.bytes, before);
}

TEST(Unplug, DuringAnExportLeavesTheOldFileAndNoTemporary) {
  Connected c;
  TempDir dir;
  std::string target = dir.File("golden.vt");
  WriteWholeFile(target, {'o', 'l', 'd'});
  c.scanner.faults().slowBytesMs = 2;
  auto unplug = c.UnplugAfter(600);  // during the format block
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(ExportSettings(c.link, target, ExportMode::File));
  unplug.join();
  EXPECT_LT(MsSince(t0), 4000);
  EXPECT_EQ(ReadWholeFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"golden.vt"});
}

TEST(Unplug, DuringAnImportEndsWithItsMessages) {
  Connected c;
  TempDir dir;
  std::string file = dir.File("cfg.vt");
  ASSERT_TRUE(ExportSettings(c.link, file, ExportMode::File));
  c.scanner.faults().slowBytesMs = 30;  // handshake answers crawl
  auto unplug = c.UnplugAfter(100);
  auto t0 = std::chrono::steady_clock::now();
  ImportResult r = ImportSettingsFromFile(c.link, c.info, c.prompts, file);
  unplug.join();
  EXPECT_FALSE(r.succeeded);
  EXPECT_LT(MsSince(t0), 4000);
  EXPECT_FALSE(c.prompts.shown.empty());
  EXPECT_FALSE(c.prompts.Showed(MessageId::ImportedSuccessfully));
}

TEST(Unplug, DuringACaptureWritesNoFileAndNoRow) {
  Connected c;
  TempDir dir;
  ImagingState imaging;
  imaging.captureDir = dir.path();
  SinkRecorder sink;
  BarcodeCorners corners{};
  c.scanner.faults().slowBytesMs = 1;  // a JPEG of tens of kilobytes
  auto unplug = c.UnplugAfter(300);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(FetchCapture(c.link, imaging, 15, sink, corners));
  unplug.join();
  EXPECT_LT(MsSince(t0), 2000);
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_EQ(imaging.CaptureCounter, 0);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(Unplug, BeforeASettingsClickPutsTheCopyBack) {
  Connected c;
  ScannerModel model = ScannerModel::From(c.info.paramBlock, "Unknow");
  auto groups = ShownGroups(0, model);
  ASSERT_FALSE(groups.empty());
  auto options = ShownOptions(groups[0], model);
  auto ticks = TicksInForce(groups[0], options, c.info.paramBlock);
  size_t row = 0;
  while (row < ticks.size() && ticks[row]) ++row;
  ASSERT_LT(row, ticks.size());
  auto before = c.info.paramBlock.bytes;
  c.scanner.Vanish();
  auto t0 = std::chrono::steady_clock::now();
  ApplyResult r = ApplyOption(c.link, c.info, groups[0], options, ticks, row, false);
  EXPECT_LT(MsSince(t0), 1000);
  EXPECT_FALSE(r.acked);
  EXPECT_EQ(r.ticks, ticks);
  EXPECT_EQ(c.info.paramBlock.bytes, before);
  EXPECT_EQ(c.info.settingsDirty, 0);
}
