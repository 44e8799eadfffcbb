// SPDX-License-Identifier: Apache-2.0
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "imaging/capture_files.h"
#include "imaging/imaging_state.h"
#include "link/protocol.h"
#include "support/imaging_sink_recorder.h"

namespace varnet {
namespace {

namespace fs = std::filesystem;

using namespace test;
using State = CaptureHeaderReader::State;
const BarcodeCorners kBox = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};

// Feeds what the reader asks for, at most `chunk` bytes a read; returns the bytes taken.
size_t Feed(CaptureHeaderReader& r, const std::vector<uint8_t>& s, size_t chunk = 2048) {
  size_t off = 0;
  while (off < s.size() && r.Want() > 0) off += r.Feed(&s[off], std::min({chunk, r.Want(), s.size() - off}));
  return off;
}

TEST(CaptureHeaderReader, FindsBothHeadersWhateverTheReadSizes) {
  auto head = Concat({DecodeBlock("HELLO-123", 9), ImageHead(5000, kBox, 37, 420, 91)});
  for (size_t chunk : {1, 3, 64}) {
    CaptureHeaderReader r;
    // A decode block after the image header belongs to no capture: not read.
    EXPECT_EQ(Feed(r, Concat({head, DecodeBlock("late", 4)}), chunk), head.size());
    ASSERT_EQ(r.state(), State::ImageReady);
    EXPECT_EQ(r.decodedData(), "HELLO-123");
    const ImageHeader& h = r.imageHeader();
    EXPECT_EQ(h.ImageSize(), 5000u);
    EXPECT_EQ(h.Corners(), kBox);
    EXPECT_TRUE(h.DecodeTime() == 37 && h.Exposure() == 420 && h.Gain() == 91);
  }
  CaptureHeaderReader r;  // header reads ask for exactly the missing bytes
  std::vector<size_t> wants;
  for (size_t off = 0; r.Want() > 0;) wants.push_back(r.Want()), off += r.Feed(&head[off], r.Want());
  EXPECT_EQ(wants, (std::vector<size_t>{5, 23, 9, 5, 35}));
}

TEST(CaptureHeaderReader, ResynchronisesRefusesAndBoundsTheDecodedData) {
  std::vector<uint8_t> ack(AckPattern.begin(), AckPattern.end()), nak(NakPattern.begin(), NakPattern.end());
  auto image = ImageHead(1, {}, 5, 1, 1);
  CaptureHeaderReader r;
  Feed(r, Concat({std::vector<uint8_t>(10, 0x55), ack, image}), 3);
  EXPECT_EQ(r.state(), State::ImageReady);
  EXPECT_EQ(r.discarded(), 15u);
  r.Reset();
  Feed(r, Concat({{1, 2, 3}, image}));  // junk of 3 puts the lead-in off its five-byte boundary
  EXPECT_EQ(r.state(), State::Header);
  r.Reset();
  Feed(r, nak, 1);
  EXPECT_EQ(r.state(), State::Refused);

  // 1023 kept (a later block replaces an earlier one); 1024 read past; an
  // absurd length is a broken header. Data cut short by a gap is tested with the link.
  std::string longest(kMaxDecodedData, 'x');
  r.Reset();
  Feed(r, Concat({DecodeBlock("first", 5), DecodeBlock(longest, kMaxDecodedData), image}));
  EXPECT_EQ(r.decodedData(), longest);
  r.Reset();
  auto stream = Concat({DecodeBlock(longest + "y", kMaxDecodedData + 1), image});
  EXPECT_EQ(Feed(r, stream), stream.size());
  EXPECT_TRUE(r.state() == State::ImageReady && r.decodedData().empty());
  r.Reset();
  Feed(r, DecodeBlock("", 0xFFFFFFF0u));
  EXPECT_EQ(r.state(), State::Corrupt);
}

class CompleteCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { imaging.captureDir = MakeCaptureDir(::testing::TempDir()).value(); }
  void TearDown() override { RemoveCaptureDir(imaging); }
  bool Complete(uint32_t decodeTime, const std::string& data, const std::vector<uint8_t>& image) {
    ImageHeader h;
    auto b = ImageHead(uint32_t(image.size()), kBox, decodeTime, 300, 80);
    std::copy(b.begin(), b.end(), h.bytes.begin());
    return CompleteCapture(imaging, 15, sink, h, data, image, corners);
  }
  std::string File(int n) {
    std::ifstream f(CapturePath(imaging.captureDir, n), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  ImagingState imaging;
  SinkRecorder sink;
  BarcodeCorners corners{};
};

TEST_F(CompleteCaptureTest, HandsOnInOrderWithNoBarcodeWhenNothingWasDecoded) {
  ASSERT_TRUE(Complete(15, std::string("AB\0x", 4), {0xFF, 0xD8, 7}));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"thumb", "row", "expgain"}));
  EXPECT_EQ(imaging.newestCapturePath, imaging.captureDir + "/capture1.jpg");  // its bytes and corners: the link test
  EXPECT_EQ(sink.shown, std::make_pair(300, 80));
  EXPECT_EQ(ResultRowTexts(sink.rows[0]), (std::array<std::string, 5>{"1", "15 ms", "300", "80", "AB"}));
  ASSERT_TRUE(Complete(0, "DATA", {1}));  // decode time 0: data and corners were sent anyway
  EXPECT_EQ(corners, BarcodeCorners{});
  EXPECT_EQ(ResultRowTexts(sink.rows[1])[4], "No Barcode");
}

TEST_F(CompleteCaptureTest, TwentyCapturesWrapAfterTheRowLimit) {
  for (int i = 1; i <= 20; ++i) ASSERT_TRUE(Complete(5, "", std::vector<uint8_t>(3, uint8_t(i))));
  std::vector<int> numbers;
  for (const auto& r : sink.rows) numbers.push_back(r.number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1, 2, 3, 4, 5}));
  EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "clear"), 1);
  EXPECT_EQ(sink.calls[45], "clear");  // right before the sixteenth
  EXPECT_EQ(sink.listed.size(), 5u);
  EXPECT_EQ(File(1), std::string(3, char(16)));
  EXPECT_EQ(File(6), std::string(3, char(6)));
}

TEST_F(CompleteCaptureTest, UnwritableFileAdvancesNothing) {
  ASSERT_TRUE(Complete(5, "", {7}));
  ASSERT_TRUE(fs::create_directory(imaging.captureDir + "/capture2.jpg"));  // the name is taken
  sink = {};
  corners = {};
  EXPECT_FALSE(Complete(5, "", {8}));
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(imaging.CaptureCounter, 1);
  EXPECT_EQ(corners, BarcodeCorners{});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(imaging.captureDir), {}), 2);  // no temp left
}

}  // namespace
}  // namespace varnet
