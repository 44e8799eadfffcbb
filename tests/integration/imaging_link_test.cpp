// SPDX-License-Identifier: Apache-2.0
// Image Mode over a link whose far end the test plays byte by byte: the
// capture fetch, scanned data, exposure commands.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/exposure_gain.h"
#include "imaging/imaging_state.h"
#include "imaging/scan_monitor.h"
#include "link/device_info.h"
#include "link/serial_link.h"
#include "support/imaging_sink_recorder.h"
#include "support/pty_peer.h"
#include "support/wire.h"

namespace varnet {
namespace {

// The main window's RowLimit on a 1920 x 1080 screen.
constexpr uint8_t kRowLimit = 15;

using namespace test;
using Clock = std::chrono::steady_clock;
const std::vector<uint8_t> kRequest = Cmd(kCapture);
const BarcodeCorners kBox = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};

struct Part {
  int delayMs;
  std::vector<uint8_t> bytes;
};

class ImagingLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(link, peer.SlavePath(), 115200));
    link.LinkBusy = false;
    imaging.captureDir = MakeCaptureDir(::testing::TempDir()).value();
  }
  void TearDown() override {
    peer.Join();
    if (scanner.joinable()) scanner.join();
    CloseLink(link);
    RemoveCaptureDir(imaging);
  }
  // The scanner: waits for each capture request, then sends its answer in
  // parts, each after its pause.
  void Answer(std::vector<std::vector<Part>> answers) {
    scanner = std::thread([this, answers] {
      for (const auto& answer : answers) {
        std::vector<uint8_t> seen;
        for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;) {
          uint8_t b;
          if (::read(peer.masterFd(), &b, 1) == 1) seen.push_back(b);
          else poll(nullptr, 0, 2);
          if (seen.size() >= kRequest.size() && std::equal(kRequest.rbegin(), kRequest.rend(), seen.rbegin())) break;
        }
        requests.push_back(seen);
        for (const auto& part : answer) {
          std::this_thread::sleep_for(std::chrono::milliseconds(part.delayMs));
          peer.Write(part.bytes);
        }
      }
    });
  }
  bool Fetch() {
    auto t0 = Clock::now();
    bool ok = FetchCapture(link, imaging, kRowLimit, sink, corners);
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    return ok;
  }
  // The reading after `bytes` have arrived.
  bool ReadAfter(const std::vector<uint8_t>& bytes) {
    peer.Write(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ReadScanData(link, text);
  }
  std::string File(int n) {
    std::ifstream f(CapturePath(imaging.captureDir, n), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }

  PtyPeer peer;
  ScannerLink link;
  DeviceInfo device;
  ImagingState imaging;
  SinkRecorder sink;
  BarcodeCorners corners{};
  std::thread scanner;
  std::vector<std::vector<uint8_t>> requests;
  long ms = 0;
  std::string text = "stale";
};

TEST_F(ImagingLinkTest, CaptureInPiecesWithShortDecodedData) {
  std::vector<uint8_t> image(20000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 31);
  // 12 bytes announced, 7 sent, then longer than the 250 ms gap.
  Answer({{{5, DecodeBlock("1234567", 12)}, {350, ImageHead(20000, kBox, 42, 300, 80)}, {5, image}}});
  ASSERT_TRUE(Fetch());
  scanner.join();
  EXPECT_EQ(requests.at(0), kRequest);
  EXPECT_EQ(sink.rows.at(0).decodedData, "");
  EXPECT_EQ(ResultRowTexts(sink.rows[0])[4], "");
  EXPECT_EQ(corners, kBox);
  EXPECT_EQ(File(1), std::string(image.begin(), image.end()));
}

TEST_F(ImagingLinkTest, SilenceCountsFromTheRequestNotFromTheLastByte) {
  EXPECT_FALSE(Fetch());
  EXPECT_GE(ms, 495);
  EXPECT_LT(ms, 1500);
  std::vector<Part> junk;  // five bytes every 60 ms, never a header
  for (int i = 0; i < 20; ++i) junk.push_back({i ? 60 : 5, std::vector<uint8_t>(5, 0x11)});
  Answer({junk});
  EXPECT_FALSE(Fetch());
  EXPECT_LT(ms, 900);
  EXPECT_TRUE(sink.calls.empty());
}

TEST_F(ImagingLinkTest, RefusedOversizedOrShortCapturesLeaveEverythingAsItWas) {
  std::ofstream(CapturePath(imaging.captureDir, 1)) << "older";
  Answer({{{5, {0x52, 0xA0, 0xE0, 0xFE, 0x80}}},
          {{5, ImageHead(kImageSizeLimit, kBox, 9, 300, 80)}},
          {{5, ImageHead(5000, kBox, 9, 300, 80)}, {5, std::vector<uint8_t>(4900, 1)}}});
  EXPECT_FALSE(Fetch());
  EXPECT_LT(ms, 400);  // not the 500 ms of a silence
  EXPECT_FALSE(Fetch());
  EXPECT_LT(ms, 200);     // not even the 250 ms gap of an attempt to read it
  EXPECT_FALSE(Fetch());  // 100 bytes short
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(imaging.CaptureCounter, 0);
  EXPECT_EQ(corners, BarcodeCorners{});
  EXPECT_EQ(File(1), "older");
}

TEST_F(ImagingLinkTest, ScannedData) {
  // A lone CR and a late acknowledgement are read through varnet-cli monitor.
  EXPECT_FALSE(ReadAfter(Bytes({0x7E, 0xFF})));
  EXPECT_EQ(text, "");
  // A burst of 1024 bytes is dropped; its rest is the next reading.
  std::vector<uint8_t> burst(1030, 'x');
  std::copy_n("TAIL", 4, burst.end() - 4);
  EXPECT_FALSE(ReadAfter(burst));
  ASSERT_TRUE(ReadScanData(link, text));
  EXPECT_EQ(text, "xxTAIL");
  // A pause well over 10 ms ends a reading.
  peer.Write(Bytes({'A'}));
  peer.WriteLater(Bytes({'B'}), 150);
  ASSERT_TRUE(ReadScanData(link, text));
  EXPECT_EQ(text, "A");
}

// The frames themselves are checked through the image panel.
TEST_F(ImagingLinkTest, StoredExposureIsNotSentAgainAndTuningEndsWithItsAnswer) {
  device.paramBlock.SetU8(pb::ModelCode, 1);
  FixedExposureClicked(link, device, true);
  EXPECT_EQ(peer.ReadAll(100, 8).size(), 8u);
  FixedExposureClicked(link, device, true);
  EXPECT_TRUE(peer.ReadAll(60).empty());

  peer.WriteLater(kAck, 100);
  auto t0 = std::chrono::steady_clock::now();
  AutoTuning(link);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  EXPECT_EQ(peer.ReadAll(100, 7), Cmd(kAutoTune));
}

}  // namespace
}  // namespace varnet
