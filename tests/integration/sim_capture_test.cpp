// The simulator's Image Mode stream: blocks, JPEG and the corners that the
// header reports, checked against an independent decoder.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <string>

#include "sim/sim_scanner.h"
#include "sim_pty_client.h"

using namespace simtest;
using varnet::sim::SimScanner;

namespace {

struct Capture {
  bool decodeFirst = false;
  bool hasDecode = false;
  std::string data;
  Bytes header;  // the 40-byte image header
  Bytes jpeg;
  Bytes between;  // anything between the two blocks
};

// Reads one stream as the tool would, keeping what it finds in order.
Capture ReadCapture(PtyClient& c) {
  Capture cap;
  c.Write({0x05, 0x57, 0x0E, 0x0D, 0x07, 0xFF, 0x82});
  bool haveImage = false;
  for (int blocks = 0; blocks < 2; ++blocks) {
    Bytes lead = c.ReadExact(4, 1000);
    while (lead.size() == 4 && std::memcmp(lead.data(), "*BC*", 4) != 0 && std::memcmp(lead.data(), "*IMT", 4) != 0) {
      cap.between.push_back(lead[0]);
      lead.erase(lead.begin());
      const Bytes next = c.ReadExact(1, 500);
      if (next.empty()) return cap;
      lead.push_back(next[0]);
    }
    if (lead.size() < 4) return cap;
    if (std::memcmp(lead.data(), "*BC*", 4) == 0) {
      Bytes h = lead;
      const Bytes rest = c.ReadExact(24);
      h.insert(h.end(), rest.begin(), rest.end());
      const Bytes d = c.ReadExact(Le32(h, 8), 300);
      cap.data.assign(d.begin(), d.end());
      cap.hasDecode = true;
      cap.decodeFirst = !haveImage;
    } else {
      cap.header = lead;
      const Bytes rest = c.ReadExact(36);
      cap.header.insert(cap.header.end(), rest.begin(), rest.end());
      cap.jpeg = c.ReadExact(Le32(cap.header, 8), 300);
      haveImage = true;
    }
  }
  return cap;
}

// Header corners as points.
std::array<std::pair<int, int>, 4> Corners(const Bytes& header) {
  std::array<std::pair<int, int>, 4> out;
  for (int i = 0; i < 4; ++i) out[i] = {Le16(header, 12 + 4 * i), Le16(header, 14 + 4 * i)};
  return out;
}

ZXing::Result Decode(const QImage& img) {
  const QImage grey = img.convertToFormat(QImage::Format_Grayscale8);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  return ZXing::ReadBarcode({grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                             static_cast<int>(grey.bytesPerLine())},
                            hints);
}

// Each found corner lies within `tol` pixels of the header's corner of the
// same index, after shifting the found ones by (dx, dy).
void ExpectCornersMatch(const ZXing::Result& r, const Bytes& header, int dx, int dy, double tol) {
  const auto want = Corners(header);
  const auto& pos = r.position();
  for (int i = 0; i < 4; ++i) {
    const double ex = pos[i].x + dx - want[i].first;
    const double ey = pos[i].y + dy - want[i].second;
    EXPECT_LE(std::hypot(ex, ey), tol) << "corner " << i << " found at (" << pos[i].x + dx << ", " << pos[i].y + dy
                                       << "), header says (" << want[i].first << ", " << want[i].second << ")";
  }
}

class SimCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    client_ = std::make_unique<PtyClient>(sim_.SlavePath());
    ASSERT_TRUE(client_->ok());
  }
  SimScanner sim_;
  std::unique_ptr<PtyClient> client_;
};

TEST_F(SimCapture, StreamCarriesADecodableFrameAndTrueCorners) {
  std::pair<int, int> firstCorner{};
  for (int shot = 0; shot < 2; ++shot) {
    const Capture cap = ReadCapture(*client_);
    ASSERT_TRUE(cap.hasDecode);
    EXPECT_TRUE(cap.decodeFirst);
    ASSERT_EQ(cap.header.size(), 40u);
    EXPECT_EQ(std::memcmp(cap.header.data(), "*IMT*", 5), 0);
    ASSERT_EQ(cap.jpeg.size(), Le32(cap.header, 8));
    EXPECT_GT(Le32(cap.header, 28), 0u);  // decode time
    EXPECT_GT(Le16(cap.header, 32), 0);   // automatic exposure picks a value
    EXPECT_GT(cap.header[34], 0);

    QImage img;
    ASSERT_TRUE(img.loadFromData(cap.jpeg.data(), static_cast<int>(cap.jpeg.size()), "JPEG"));
    EXPECT_EQ(img.size(), QSize(1280, 720));
    const ZXing::Result r = Decode(img);
    ASSERT_TRUE(r.isValid());
    EXPECT_EQ(r.text(), cap.data);
    EXPECT_EQ(cap.data.rfind("VARNET-", 0), 0u);
    ExpectCornersMatch(r, cap.header, 0, 0, 4.0);

    // The symbol moves between captures.
    if (shot == 0)
      firstCorner = Corners(cap.header)[0];
    else
      EXPECT_NE(Corners(cap.header)[0], firstCorner);
  }
}

TEST_F(SimCapture, FixedExposureAndGainAreReported) {
  client_->Write({0x06, 0x57, 0xA0, 0x03, 0x2C, 0x01, 0xFE, 0xD3});
  client_->Write({0x05, 0x57, 0xA0, 0x04, 0x64, 0xFE, 0x9C});
  ASSERT_TRUE(sim_.WaitReceived(2, 1000));
  const Capture cap = ReadCapture(*client_);
  ASSERT_EQ(cap.header.size(), 40u);
  EXPECT_EQ(Le16(cap.header, 32), 300);
  EXPECT_EQ(cap.header[34], 100);
}

TEST_F(SimCapture, NarrowWindowKeepsFrameCoordinates) {
  sim_.faults().narrowWidth = 320;
  sim_.faults().narrowHeight = 240;
  for (int shot = 0; shot < 2; ++shot) {
    const Capture cap = ReadCapture(*client_);
    QImage img;
    ASSERT_TRUE(img.loadFromData(cap.jpeg.data(), static_cast<int>(cap.jpeg.size()), "JPEG"));
    EXPECT_EQ(img.size(), QSize(320, 240));
    const ZXing::Result r = Decode(img);
    ASSERT_TRUE(r.isValid());
    ExpectCornersMatch(r, cap.header, (1280 - 320) / 2, (720 - 240) / 2, 4.0);
  }
}

TEST_F(SimCapture, StreamFaults) {
  // Image before the decode result, with junk between the blocks.
  sim_.faults().imageFirst = true;
  sim_.faults().garbageBetweenBlocks = 10;
  Capture cap = ReadCapture(*client_);
  EXPECT_TRUE(cap.hasDecode);
  EXPECT_FALSE(cap.decodeFirst);
  EXPECT_EQ(cap.between.size(), 10u);
  EXPECT_EQ(cap.data, sim_.LastCapture()->text);
  sim_.faults().imageFirst = false;
  sim_.faults().garbageBetweenBlocks = 0;

  // Nothing decoded: zero time and corners, and really no symbol in view.
  sim_.faults().noBarcode = true;
  cap = ReadCapture(*client_);
  EXPECT_EQ(Le32(cap.header, 28), 0u);
  EXPECT_EQ(Bytes(cap.header.begin() + 12, cap.header.begin() + 28), Bytes(16, 0));
  EXPECT_TRUE(cap.data.empty());
  QImage img;
  ASSERT_TRUE(img.loadFromData(cap.jpeg.data(), static_cast<int>(cap.jpeg.size()), "JPEG"));
  EXPECT_FALSE(Decode(img).isValid());
  sim_.faults().noBarcode = false;

  // Short image and short decoded data: the announced sizes stay.
  sim_.faults().shortImageBy = 100;
  sim_.faults().shortDecodeBy = 4;
  client_->Write({0x05, 0x57, 0x0E, 0x0D, 0x07, 0xFF, 0x82});
  const Bytes all = client_->Read(1000, 300);
  const auto last = *sim_.LastCapture();
  const size_t jpegSize = Le32(all, 28 + last.text.size() - 4 + 8);
  EXPECT_EQ(Le32(all, 8), last.text.size());
  EXPECT_EQ(all.size(), 28 + last.text.size() - 4 + 40 + jpegSize - 100);
  sim_.faults().shortImageBy = 0;
  sim_.faults().shortDecodeBy = 0;

  sim_.faults().announcedImageSize = 0x100000;
  cap = ReadCapture(*client_);
  EXPECT_EQ(Le32(cap.header, 8), 0x100000u);
  sim_.faults().announcedImageSize = -1;

  sim_.faults().captureNak = true;
  EXPECT_EQ(client_->Ask({0x05, 0x57, 0x0E, 0x0D, 0x07, 0xFF, 0x82}), kNak);
  sim_.faults().captureNak = false;
  sim_.faults().captureSilent = true;
  EXPECT_TRUE(client_->Ask({0x05, 0x57, 0x0E, 0x0D, 0x07, 0xFF, 0x82}, 300).empty());
}

}  // namespace
