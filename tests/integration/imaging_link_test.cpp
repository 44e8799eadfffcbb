#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/app_state.h"
#include "imaging/exposure_gain.h"
#include "imaging/scan_monitor.h"
#include "link/serial_link.h"
#include "support/pty_peer.h"
#include "support/wire.h"

namespace varnet {
namespace {

using namespace test;

class ImagingLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(app.link, peer.SlavePath(), 115200));
    app.link.LinkBusy = 0;
  }
  void TearDown() override { peer.Join(), CloseLink(app.link); }
  // The reading after `bytes` have arrived.
  bool ReadAfter(const std::vector<uint8_t>& bytes) {
    peer.Write(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ReadScanData(app.link, text);
  }
  test::PtyPeer peer;
  AppState app;
  std::string text = "stale";
};

TEST_F(ImagingLinkTest, ScannedData) {
  ASSERT_TRUE(ReadAfter(Bytes({0x41, 0x42, 0x0D, 0x43, 0x44})));
  EXPECT_EQ(text, "AB[CR]");
  EXPECT_FALSE(ReadAfter(kAck));  // a late answer is no reading
  EXPECT_FALSE(ReadAfter(Bytes({0x7E, 0xFF})));
  EXPECT_EQ(text, "");
  // A burst of 1024 bytes is dropped; its rest is the next reading.
  std::vector<uint8_t> burst(1030, 'x');
  std::copy_n("TAIL", 4, burst.end() - 4);
  EXPECT_FALSE(ReadAfter(burst));
  ASSERT_TRUE(ReadScanData(app.link, text));
  EXPECT_EQ(text, "xxTAIL");
  // A pause well over 10 ms ends a reading.
  peer.Write(Bytes({'A'}));
  peer.WriteLater(Bytes({'B'}), 150);
  ASSERT_TRUE(ReadScanData(app.link, text));
  EXPECT_EQ(text, "A");
}

// The frames themselves are checked through the image panel.
TEST_F(ImagingLinkTest, StoredExposureIsNotSentAgainAndTuningEndsWithItsAnswer) {
  app.device.paramBlock.SetU8(pb::ModelCode, 1);
  FixedExposureClicked(app.link, app.device, true);
  EXPECT_EQ(peer.ReadAll(100, 8).size(), 8u);
  FixedExposureClicked(app.link, app.device, true);
  EXPECT_TRUE(peer.ReadAll(60).empty());

  peer.WriteLater(kAck, 100);
  auto t0 = std::chrono::steady_clock::now();
  AutoTuning(app.link);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  EXPECT_EQ(peer.ReadAll(100, 7), Cmd(0xA0, 0x02, 0x08));
}

}  // namespace
}  // namespace varnet
