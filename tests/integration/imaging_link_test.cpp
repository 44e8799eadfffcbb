#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/app_state.h"
#include "imaging/exposure_gain.h"
#include "imaging/scan_monitor.h"
#include "link/serial_link.h"
#include "support/pty_peer.h"

namespace varnet {
namespace {

using test::Bytes;
using Clock = std::chrono::steady_clock;

class ImagingLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(app.link, peer.SlavePath(), 115200));
    app.link.LinkBusy = 0;
  }
  void TearDown() override {
    peer.Join();
    CloseLink(app.link);
  }
  // The reading after `bytes` have arrived (sent before the call, so the
  // first-byte limit does not matter).
  bool ReadAfter(const std::vector<uint8_t>& bytes, std::string& text) {
    peer.Write(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ReadScanData(app.link, text);
  }
  test::PtyPeer peer;
  AppState app;
};

TEST_F(ImagingLinkTest, ScannedDataBecomeOneReading) {
  std::string text = "stale";
  ASSERT_TRUE(ReadAfter(Bytes({0x41, 0x42, 0x43, 0x31, 0x32, 0x33, 0x0D, 0x0A}), text));
  EXPECT_EQ(text, "ABC123[CR][LF]");
  ASSERT_TRUE(ReadAfter(Bytes({0x41, 0x42, 0x0D, 0x43, 0x44}), text));
  EXPECT_EQ(text, "AB[CR]");
  // Nothing printable is no reading.
  EXPECT_FALSE(ReadAfter(Bytes({0x7E, 0x80, 0xFF}), text));
  EXPECT_EQ(text, "");
}

TEST_F(ImagingLinkTest, LateAnswersAreNoReading) {
  std::string text;
  EXPECT_FALSE(ReadAfter(Bytes({0x52, 0xA0, 0xEC, 0xFE, 0x74}), text));
  EXPECT_FALSE(ReadAfter(Bytes({0x52, 0xA0, 0xE0, 0xFE, 0x80, 0x41}), text));
  // The same bytes later in a reading are data (52 is R, 74 is t).
  ASSERT_TRUE(ReadAfter(Bytes({0x41, 0x52, 0xA0, 0xEC, 0xFE, 0x74}), text));
  EXPECT_EQ(text, "ARt");
}

TEST_F(ImagingLinkTest, OverlongBurstIsDroppedAndItsRestIsTheNextReading) {
  std::vector<uint8_t> burst(1024 + 6, 'x');
  std::copy_n("TAIL", 4, burst.end() - 4);
  std::string text;
  EXPECT_FALSE(ReadAfter(burst, text));
  EXPECT_EQ(text, "");
  ASSERT_TRUE(ReadScanData(app.link, text));
  EXPECT_EQ(text, "xxTAIL");
}

TEST_F(ImagingLinkTest, QuietLineEndsSoonAndPausesSplitReadings) {
  std::string text;
  auto t0 = Clock::now();
  EXPECT_FALSE(ReadScanData(app.link, text));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_GE(ms, 20);
  EXPECT_LT(ms, 200);

  // A pause well over 10 ms after a byte ends the reading.
  peer.Write(Bytes({'A'}));
  peer.WriteLater(Bytes({'B'}), 150);
  ASSERT_TRUE(ReadScanData(app.link, text));
  EXPECT_EQ(text, "A");
  peer.Join();
  ASSERT_TRUE(ReadScanData(app.link, text));
  EXPECT_EQ(text, "B");

  CloseLink(app.link);
  EXPECT_FALSE(ReadScanData(app.link, text));
}

TEST_F(ImagingLinkTest, FixedExposureSendsTheModelsDefaultOnly) {
  app.device.paramBlock.SetU8(pb::ModelCode, 1);
  FixedExposureClicked(app.link, app.device, true);
  EXPECT_EQ(peer.ReadAll(100, 8), Bytes({0x06, 0x57, 0xA0, 0x03, 0xF4, 0x01, 0xFE, 0x0B}));
  EXPECT_EQ(app.device.paramBlock.U16(pb::Exposure), 500);
  EXPECT_EQ(app.device.settingsDirty, 1);

  DeviceInfo other;
  other.paramBlock.SetU8(pb::ModelCode, 5);
  FixedExposureClicked(app.link, other, true);
  EXPECT_EQ(peer.ReadAll(100, 8), Bytes({0x06, 0x57, 0xA0, 0x03, 0x2C, 0x01, 0xFE, 0xD3}));

  // A stored exposure is kept and nothing is sent, yet the click counts.
  DeviceInfo stored;
  stored.paramBlock.SetU16(pb::Exposure, 200);
  FixedExposureClicked(app.link, stored, true);
  EXPECT_TRUE(peer.ReadAll(60).empty());
  EXPECT_EQ(stored.paramBlock.U16(pb::Exposure), 200);
  EXPECT_EQ(stored.settingsDirty, 1);
}

TEST_F(ImagingLinkTest, AutomaticExposureAndTuningCommands) {
  app.device.paramBlock.SetU16(pb::Exposure, 400);
  peer.WriteLater(Bytes({0x52, 0xA0, 0xEC, 0xFE, 0x74}), 30);
  FixedExposureClicked(app.link, app.device, false);
  EXPECT_EQ(peer.ReadAll(100, 7), Bytes({0x05, 0x57, 0xA0, 0x02, 0x09, 0xFE, 0xF9}));
  EXPECT_EQ(app.device.paramBlock.U16(pb::Exposure), 0);
  EXPECT_EQ(app.device.settingsDirty, 1);
  peer.Join();

  // Tuning waits for the scanner's answer, not for the whole two seconds.
  app.device.settingsDirty = 0;
  peer.WriteLater(Bytes({0x52, 0xA0, 0xEC, 0xFE, 0x74}), 100);
  auto t0 = Clock::now();
  AutoTuning(app.link);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_EQ(peer.ReadAll(100, 7), Bytes({0x05, 0x57, 0xA0, 0x02, 0x08, 0xFE, 0xFA}));
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 1500);
  EXPECT_EQ(app.device.paramBlock.U16(pb::Exposure), 0);
  EXPECT_EQ(app.device.settingsDirty, 0);
}

TEST_F(ImagingLinkTest, MovedSlidersSendOneValuePerTick) {
  app.device.paramBlock.SetU16(pb::Exposure, 300);
  app.device.paramBlock.SetU8(pb::Gain, 80);
  // Before any capture was shown nothing goes out.
  EXPECT_FALSE(PollExposureGainSliders(app.link, app.imaging, app.device, true, 350, 100).UsedTick());
  EXPECT_TRUE(peer.ReadAll(40).empty());

  ShowCaptureExposureGain(app.imaging, true, 300, 80);
  auto poll = PollExposureGainSliders(app.link, app.imaging, app.device, true, 300, 100);
  EXPECT_TRUE(poll.UsedTick());
  EXPECT_EQ(peer.ReadAll(100, 7), Bytes({0x05, 0x57, 0xA0, 0x04, 0x64, 0xFE, 0x9C}));

  poll = PollExposureGainSliders(app.link, app.imaging, app.device, true, 420, 100);
  EXPECT_EQ(poll.which, SliderPoll::Which::Exposure);
  EXPECT_EQ(peer.ReadAll(100, 8), Bytes({0x06, 0x57, 0xA0, 0x03, 0xA4, 0x01, 0xFE, 0x5B}));
  EXPECT_EQ(app.device.paramBlock.U16(pb::Exposure), 420);
}

}  // namespace
}  // namespace varnet
