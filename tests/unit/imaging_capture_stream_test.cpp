#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "app/app_state.h"
#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/capture_stream.h"
#include "link/protocol.h"
#include "support/imaging_sink_recorder.h"

namespace varnet {
namespace {

using test::Concat;
using test::DecodeBlockBytes;
using test::ImageHeaderBytes;
using State = CaptureHeaderReader::State;

const BarcodeCorners kCorners = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};

// Feeds the stream as the link would, `chunk` bytes at most per read, until
// the reader wants nothing more; returns how many bytes it took.
size_t FeedStream(CaptureHeaderReader& r, const std::vector<uint8_t>& s, size_t chunk = 64) {
  size_t off = 0;
  while (off < s.size() && r.Want() > 0) {
    size_t n = std::min({chunk, r.Want(), s.size() - off});
    off += r.Feed(s.data() + off, n);
  }
  return off;
}

TEST(CaptureHeaderReader, ParsesDecodeBlockAndImageHeaderWhateverTheReadSizes) {
  auto stream = Concat({DecodeBlockBytes("HELLO-123", 9), ImageHeaderBytes(5000, kCorners, 37, 420, 91)});
  for (size_t chunk : {1, 3, 5, 64}) {
    CaptureHeaderReader r;
    EXPECT_EQ(FeedStream(r, stream, chunk), stream.size()) << chunk;
    ASSERT_EQ(r.state(), State::ImageReady) << chunk;
    EXPECT_EQ(r.decodedData(), "HELLO-123");
    const ImageHeader& h = r.imageHeader();
    EXPECT_EQ(h.ImageSize(), 5000u);
    EXPECT_EQ(h.Corners(), kCorners);
    EXPECT_EQ(h.DecodeTime(), 37u);
    EXPECT_EQ(h.Exposure(), 420);
    EXPECT_EQ(h.Gain(), 91);
    EXPECT_EQ(r.discarded(), 0u);
  }
}

TEST(CaptureHeaderReader, AsksForExactlyTheMissingHeaderBytes) {
  auto stream = Concat({DecodeBlockBytes("", 0), ImageHeaderBytes(1, kCorners, 1, 1, 1)});
  CaptureHeaderReader r;
  EXPECT_EQ(r.Want(), 5u);
  r.Feed(stream.data(), 2);
  EXPECT_EQ(r.Want(), 3u);
  r.Feed(stream.data() + 2, 3);
  EXPECT_EQ(r.Want(), 23u);  // the rest of the 28-byte decode header
  r.Feed(stream.data() + 5, 23);
  EXPECT_EQ(r.Want(), 5u);   // no data announced: the next lead-in
  r.Feed(stream.data() + 28, 5);
  EXPECT_EQ(r.Want(), 35u);  // the rest of the 40-byte image header
  // More than asked is not taken.
  EXPECT_EQ(r.Feed(stream.data() + 33, 100), 35u);
  EXPECT_EQ(r.state(), State::ImageReady);
  EXPECT_EQ(r.Want(), 0u);
}

TEST(CaptureHeaderReader, SkipsUnknownBytesFiveAtATime) {
  std::vector<uint8_t> junk(10, 0x55);
  // An acknowledgement is not a refusal; it is skipped like anything else.
  std::vector<uint8_t> ack(AckPattern.begin(), AckPattern.end());
  auto stream = Concat({junk, ack, ImageHeaderBytes(10, {}, 0, 1, 2)});
  CaptureHeaderReader r;
  FeedStream(r, stream);
  EXPECT_EQ(r.state(), State::ImageReady);
  EXPECT_EQ(r.discarded(), 15u);

  // Junk that is not a multiple of five puts the lead-in off its boundary.
  CaptureHeaderReader off;
  FeedStream(off, Concat({{1, 2, 3}, ImageHeaderBytes(10, {}, 0, 1, 2)}));
  EXPECT_EQ(off.state(), State::Header);
}

TEST(CaptureHeaderReader, RefusalOnlyAsAWholeLeadIn) {
  CaptureHeaderReader r;
  FeedStream(r, std::vector<uint8_t>(NakPattern.begin(), NakPattern.end()), 1);
  EXPECT_EQ(r.state(), State::Refused);
  EXPECT_EQ(r.Want(), 0u);

  // Four bytes of it are not yet a refusal.
  CaptureHeaderReader partial;
  partial.Feed(NakPattern.data(), 4);
  EXPECT_EQ(partial.state(), State::Header);
}

TEST(CaptureHeaderReader, DecodedDataThatStopShortCountAsAbsent) {
  // 12 announced, 7 arrive, then the line is quiet for the gap time.
  auto head = DecodeBlockBytes("1234567", 12);
  CaptureHeaderReader r;
  FeedStream(r, head);
  ASSERT_EQ(r.state(), State::DecodeData);
  EXPECT_EQ(r.Want(), 5u);
  r.DataGap();
  EXPECT_EQ(r.decodedData(), "");
  EXPECT_EQ(r.decodeHeader().DataLength(), 0u);
  FeedStream(r, ImageHeaderBytes(3, kCorners, 12, 300, 80));
  EXPECT_EQ(r.state(), State::ImageReady);
  EXPECT_EQ(r.decodedData(), "");
}

TEST(CaptureHeaderReader, DecodedDataLengthLimits) {
  std::string longest(kMaxDecodedData, 'x');
  CaptureHeaderReader kept;
  FeedStream(kept, Concat({DecodeBlockBytes(longest, kMaxDecodedData), ImageHeaderBytes(1, {}, 5, 1, 1)}), 2048);
  EXPECT_EQ(kept.state(), State::ImageReady);
  EXPECT_EQ(kept.decodedData(), longest);

  // One more byte: read past, the capture goes on without data.
  std::string tooLong(kMaxDecodedData + 1, 'y');
  CaptureHeaderReader skipped;
  auto stream = Concat({DecodeBlockBytes(tooLong, kMaxDecodedData + 1), ImageHeaderBytes(1, {}, 5, 1, 1)});
  EXPECT_EQ(FeedStream(skipped, stream, 2048), stream.size());
  EXPECT_EQ(skipped.state(), State::ImageReady);
  EXPECT_EQ(skipped.decodedData(), "");

  // A length no barcode can have is a broken header, not megabytes to wait for.
  CaptureHeaderReader corrupt;
  FeedStream(corrupt, DecodeBlockBytes("", 0xFFFFFFF0u));
  EXPECT_EQ(corrupt.state(), State::Corrupt);
  EXPECT_EQ(corrupt.Want(), 0u);
}

TEST(CaptureHeaderReader, LaterDecodeBlockReplacesEarlierAndResetForgets) {
  CaptureHeaderReader r;
  FeedStream(r, Concat({DecodeBlockBytes("first", 5), DecodeBlockBytes("second", 6), ImageHeaderBytes(1, {}, 5, 1, 1)}));
  EXPECT_EQ(r.decodedData(), "second");
  r.Reset();
  EXPECT_FALSE(r.HasDecodeHeader());
  EXPECT_EQ(r.decodedData(), "");
  EXPECT_EQ(r.state(), State::Header);
  EXPECT_EQ(r.Want(), 5u);
}

TEST(CaptureHeaderReader, DecodeBlockAfterTheImageIsNotRead) {
  auto image = ImageHeaderBytes(4, kCorners, 9, 1, 1);
  auto stream = Concat({image, {1, 2, 3, 4}, DecodeBlockBytes("late", 4)});
  CaptureHeaderReader r;
  EXPECT_EQ(FeedStream(r, stream), image.size());
  EXPECT_EQ(r.state(), State::ImageReady);
  EXPECT_EQ(r.decodedData(), "");
}

TEST(CaptureRows, CellsOfAResultRow) {
  CaptureResult r;
  r.number = 4;
  r.decodeTime = 23;
  r.exposure = 300;
  r.gain = 80;
  r.decodedData = std::string("AB\xE9", 3) + std::string(1, '\0') + "hidden";
  auto cells = ResultRowTexts(r);
  EXPECT_EQ(cells[0], "4");
  EXPECT_EQ(cells[1], "23 ms");
  EXPECT_EQ(cells[2], "300");
  EXPECT_EQ(cells[3], "80");
  EXPECT_EQ(cells[4], "AB\xE9");  // up to the zero byte, 8-bit kept

  r.decodeTime = 0;
  EXPECT_EQ(ResultRowTexts(r)[4], "No Barcode");
  EXPECT_EQ(ResultRowTexts(r)[1], "0 ms");
}

// Completing captures into a private directory of the test.
class CompleteCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto dir = MakeCaptureDir(::testing::TempDir());
    ASSERT_TRUE(dir);
    imaging.captureDir = *dir;
  }
  void TearDown() override { RemoveCaptureDir(imaging); }

  bool Complete(const ImageHeader& h, const std::string& data, const std::vector<uint8_t>& image) {
    return CompleteCapture(imaging, rowLimit, sink, h, data, image, corners);
  }
  static ImageHeader Header(uint32_t size, const BarcodeCorners& c, uint32_t decodeTime, uint16_t e, uint8_t g) {
    ImageHeader h;
    auto b = ImageHeaderBytes(size, c, decodeTime, e, g);
    std::copy(b.begin(), b.end(), h.bytes.begin());
    return h;
  }
  static std::string FileText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

  ImagingState imaging;
  uint8_t rowLimit = 15;
  test::SinkRecorder sink;
  BarcodeCorners corners{};
};

TEST_F(CompleteCaptureTest, HandsOnInOrderAndStoresTheFile) {
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
  ASSERT_TRUE(Complete(Header(7, kCorners, 15, 300, 80), "QR", jpeg));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"thumb", "row", "expgain"}));
  ASSERT_EQ(sink.rows.size(), 1u);
  const CaptureResult& r = sink.rows[0];
  EXPECT_EQ(r.number, 1);
  EXPECT_EQ(r.path, imaging.captureDir + "/capture1.jpg");
  EXPECT_EQ(r.decodedData, "QR");
  EXPECT_EQ(r.corners, kCorners);
  EXPECT_EQ(corners, kCorners);
  EXPECT_EQ(sink.thumbnails[0].image, jpeg);
  EXPECT_EQ(sink.exposureGain[0], std::make_pair(300, 80));
  EXPECT_EQ(imaging.newestCapturePath, r.path);
  EXPECT_EQ(FileText(r.path), std::string(jpeg.begin(), jpeg.end()));
}

TEST_F(CompleteCaptureTest, NothingDecodedMeansNoBarcodeAndZeroCornersEvenWithData) {
  corners = kCorners;  // left from an earlier capture
  ASSERT_TRUE(Complete(Header(1, kCorners, 0, 300, 80), "DATA", {0x42}));
  EXPECT_EQ(corners, BarcodeCorners{});
  EXPECT_EQ(sink.rows[0].corners, BarcodeCorners{});
  EXPECT_EQ(ResultRowTexts(sink.rows[0])[4], "No Barcode");
}

TEST_F(CompleteCaptureTest, TwentyCapturesWrapAfterTheRowLimit) {
  for (int i = 1; i <= 20; ++i) {
    std::vector<uint8_t> image(3, uint8_t(i));
    ASSERT_TRUE(Complete(Header(3, kCorners, 5, 300, 80), "", image));
  }
  std::vector<int> numbers;
  for (const auto& r : sink.rows) numbers.push_back(r.number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1, 2, 3, 4, 5}));
  // Emptied once, right before the sixteenth capture.
  EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "clear"), 1);
  EXPECT_EQ(std::find(sink.calls.begin(), sink.calls.end(), "clear") - sink.calls.begin(), 15 * 3);
  EXPECT_EQ(sink.listed.size(), 5u);
  EXPECT_EQ(imaging.CaptureCounter, 5);
  // capture1.jpg now holds the sixteenth picture, capture6.jpg still the sixth.
  EXPECT_EQ(FileText(imaging.captureDir + "/capture1.jpg"), std::string(3, char(16)));
  EXPECT_EQ(FileText(imaging.captureDir + "/capture6.jpg"), std::string(3, char(6)));

  // Reconnecting sets the counter back; numbering starts at 1.
  imaging.CaptureCounter = 0;
  sink = {};
  ASSERT_TRUE(Complete(Header(1, kCorners, 5, 300, 80), "", {1}));
  EXPECT_EQ(sink.rows[0].number, 1);
  EXPECT_TRUE(sink.calls[0] != "clear");
}

TEST_F(CompleteCaptureTest, SmallerRowLimitsWrapSooner) {
  rowLimit = 8;
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(Complete(Header(1, {}, 0, 1, 1), "", {1}));
  EXPECT_EQ(sink.rows.back().number, 1);
  EXPECT_EQ(sink.listed.size(), 1u);
}

TEST_F(CompleteCaptureTest, UnwritableFileAdvancesNothing) {
  ASSERT_TRUE(Complete(Header(1, kCorners, 5, 300, 80), "", {7}));
  // The next capture's name is taken by a directory: the rename must fail.
  ASSERT_EQ(mkdir((imaging.captureDir + "/capture2.jpg").c_str(), 0700), 0);
  sink = {};
  corners = {};
  EXPECT_FALSE(Complete(Header(1, kCorners, 5, 300, 80), "", {8}));
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(imaging.CaptureCounter, 1);
  EXPECT_EQ(corners, BarcodeCorners{});
  EXPECT_EQ(imaging.newestCapturePath, imaging.captureDir + "/capture1.jpg");
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(imaging.captureDir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace varnet
