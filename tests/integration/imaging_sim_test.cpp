// SPDX-License-Identifier: Apache-2.0
// Image Mode end to end against the simulated scanner: fetch, the JPEG and
// its corners, the decoded data. Setting Mode's scanned data is read through
// varnet-cli monitor against the simulator.
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/imaging_state.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "sim/sim_scanner.h"
#include "support/imaging_sink_recorder.h"

namespace varnet {
namespace {

// The main window's RowLimit on a 1920 x 1080 screen.
constexpr uint8_t kRowLimit = 15;

class ImagingSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(OpenLink(link, sim.SlavePath(), 115200));
    imaging.captureDir = MakeCaptureDir(::testing::TempDir()).value();
    SendShortCommand(link, kImageModeOn);
    WaitAck(link, 350);
    SendShortCommand(link, kImageModeStart);
  }
  void TearDown() override { CloseLink(link), RemoveCaptureDir(imaging); }
  BarcodeCorners SimCorners() {
    auto info = sim.LastCapture().value();
    BarcodeCorners c;
    for (int i = 0; i < 4; ++i) c[i] = {info.corners[2 * i], info.corners[2 * i + 1]};
    return c;
  }
  // An independent decoder reads the newest JPEG: the symbol is real, and
  // lies where the header's corners say (the window sits at dx, dy).
  void ExpectDecoderAgrees(int dx, int dy) {
    QImage img;
    ASSERT_TRUE(img.loadFromData(sink.images.back().data(), int(sink.images.back().size()), "JPEG"));
    img = img.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const ZXing::Result r = ZXing::ReadBarcode(
        {img.constBits(), img.width(), img.height(), ZXing::ImageFormat::Lum, int(img.bytesPerLine())}, hints);
    ASSERT_TRUE(r.isValid());
    EXPECT_EQ(r.text(), sink.rows.back().decodedData);
    for (int i = 0; i < 4; ++i)
      EXPECT_LE(std::hypot(r.position()[i].x + dx - corners[i].x, r.position()[i].y + dy - corners[i].y), 4.0) << i;
  }
  struct Sink : test::SinkRecorder {
    void AddThumbnail(uint8_t n, const std::string& p, const std::vector<uint8_t>& image) override {
      SinkRecorder::AddThumbnail(n, p, image), images.push_back(image);
    }
    std::vector<std::vector<uint8_t>> images;
  };
  sim::SimScanner sim;
  ScannerLink link;
  ImagingState imaging;
  Sink sink;
  BarcodeCorners corners{};
};

TEST_F(ImagingSimTest, CapturesCarryTheSymbolAndItsCorners) {
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(FetchCapture(link, imaging, kRowLimit, sink, corners)) << i;
    EXPECT_EQ(sink.rows.back().number, i);
    EXPECT_EQ(sink.rows.back().decodedData, sim.LastCapture()->text);
    EXPECT_EQ(corners, SimCorners());
    ExpectDecoderAgrees(0, 0);
  }
  EXPECT_NE(sink.rows[1].decodedData, sink.rows[2].decodedData);
  sim.faults().narrowWidth = 320, sim.faults().narrowHeight = 240;  // the centre window of the frame
  ASSERT_TRUE(FetchCapture(link, imaging, kRowLimit, sink, corners));
  ExpectDecoderAgrees(480, 240);
}

// Refused, short and garbled streams are played byte for byte in the fetch tests.
TEST_F(ImagingSimTest, LateDecodeBlockIsDrainedBeforeTheNextCapture) {
  sim.faults().imageFirst = true;  // the decode block comes too late for its capture
  ASSERT_TRUE(FetchCapture(link, imaging, kRowLimit, sink, corners));
  EXPECT_EQ(sink.rows.back().decodedData, "");
  sim.faults().imageFirst = false;
  ASSERT_TRUE(FetchCapture(link, imaging, kRowLimit, sink, corners));  // its leftovers were drained
  EXPECT_EQ(sink.rows.back().decodedData, sim.LastCapture()->text);
}

}  // namespace
}  // namespace varnet
