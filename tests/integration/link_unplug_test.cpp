// SPDX-License-Identifier: Apache-2.0
// A scanner pulled out in the middle of an exchange: every operation ends
// within its protocol time-outs, reports failure, and leaves no file behind
// half written.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "imaging/capture_fetch.h"
#include "imaging/imaging_state.h"
#include "link/device_info.h"
#include "link/protocol.h"
#include "settings/apply_option.h"
#include "settings/model_rules.h"
#include "sim/sim_scanner.h"
#include "support/connected_scanner.h"
#include "support/imaging_sink_recorder.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "transfer/export_settings.h"
#include "transfer/import_settings.h"
#include "ui_common/link_texts.h"

using namespace varnet;
using namespace varnet::test;

namespace {

struct Connected : ConnectedScanner {
  TempDir dir;
  Connected() : ConnectedScanner(sim::ProfileNamed("usb"), 115200) { EXPECT_TRUE(ok); }
  // Runs op while the cable is pulled after ms, with every reply slowed by
  // slowMs a byte; returns how long op took.
  template <class Op>
  int64_t UnpluggedDuring(int ms, int slowMs, Op op) {
    sim.faults().slowBytesMs = slowMs;
    std::thread unplug([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      sim.Vanish();
    });
    auto t0 = std::chrono::steady_clock::now();
    op();
    unplug.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  }
};

}  // namespace

TEST(Unplug, DuringABlockTransfer) {
  Connected c;
  auto before = c.info.paramBlock.bytes;
  // 220 bytes take about half a second.
  EXPECT_LT(c.UnpluggedDuring(150, 2, [&] { EXPECT_FALSE(RefreshBlocks(c.link, c.info)); }), 1500);
  EXPECT_EQ(c.info.paramBlock.bytes, before);
}

TEST(Unplug, DuringAnExportLeavesTheOldFileAndNoTemporary) {
  Connected c;
  std::string target = c.dir.File("golden.vt");
  WriteWholeFile(target, {'o', 'l', 'd'});
  // During the format block.
  EXPECT_LT(
      c.UnpluggedDuring(
          600, 2, [&] { EXPECT_EQ(ExportSettings(c.link, target, ExportMode::File).reason, Reason::ScannerGone); }),
      4000);
  EXPECT_EQ(ReadWholeFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(c.dir.Entries(), std::vector<std::string>{"golden.vt"});
}

TEST(Unplug, DuringAnImportEndsWithItsMessages) {
  Connected c;
  std::string file = c.dir.File("cfg.vt");
  ASSERT_TRUE(ExportSettings(c.link, file, ExportMode::File).ok);
  // The handshake answers crawl.
  EXPECT_LT(c.UnpluggedDuring(100, 30,
                              [&] { EXPECT_FALSE(ImportSettingsFromFile(c.link, c.info, c.prompts, file).succeeded); }),
            4000);
  EXPECT_FALSE(c.prompts.shown.empty());
  EXPECT_FALSE(c.prompts.Showed(MessageId::ImportedSuccessfully));
}

TEST(Unplug, DuringACaptureWritesNoFileAndNoRow) {
  Connected c;
  ImagingState imaging;
  imaging.captureDir = c.dir.path();
  SinkRecorder sink;
  BarcodeCorners corners{};
  // A JPEG of tens of kilobytes.
  EXPECT_LT(c.UnpluggedDuring(300, 1, [&] { EXPECT_FALSE(FetchCapture(c.link, imaging, 15, sink, corners)); }), 2000);
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_EQ(imaging.CaptureCounter, 0);
  EXPECT_TRUE(c.dir.Entries().empty());
}

TEST(Unplug, BeforeASettingsClickPutsTheCopyBack) {
  Connected c;
  ScannerModel model = ScannerModel::From(c.info.paramBlock, "Unknow");
  auto group = ShownGroups(0, model).at(0);
  auto options = ShownOptions(group, model);
  auto ticks = TicksInForce(group, options, c.info.paramBlock);
  const size_t row = std::find(ticks.begin(), ticks.end(), false) - ticks.begin();
  ASSERT_LT(row, ticks.size());
  auto before = c.info.paramBlock.bytes;
  c.sim.Vanish();
  auto t0 = std::chrono::steady_clock::now();
  ApplyResult r = ApplyOption(c.link, c.info, group, options, ticks, row, false);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_FALSE(r.acked);
  EXPECT_EQ(r.ticks, ticks);
  EXPECT_EQ(c.info.paramBlock.bytes, before);
  EXPECT_EQ(c.info.settingsDirty, 0);
}
