#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/app_state.h"
#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "link/serial_link.h"
#include "support/imaging_sink_recorder.h"
#include "support/pty_peer.h"

namespace varnet {
namespace {

using test::Concat;
using test::DecodeBlockBytes;
using test::ImageHeaderBytes;
using Clock = std::chrono::steady_clock;

const std::vector<uint8_t> kCaptureRequest = {0x05, 0x57, 0x0E, 0x0D, 0x07, 0xFF, 0x82};
const BarcodeCorners kCorners = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};

std::vector<uint8_t> Picture(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 31 + seed);
  return v;
}

// Plays the scanner: waits for each capture request, then sends its answer
// in parts, each after its own pause.
class CaptureScanner {
 public:
  struct Part {
    int delayMs;
    std::vector<uint8_t> bytes;
    int byteGapMs = 0;  // > 0: one byte at a time
  };
  explicit CaptureScanner(test::PtyPeer& peer) : peer_(peer) {}
  ~CaptureScanner() { Join(); }

  void Answer(std::vector<std::vector<Part>> answers) {
    thread_ = std::thread([this, answers = std::move(answers)] {
      for (const auto& answer : answers) {
        if (!WaitForRequest()) return;
        for (const auto& part : answer) {
          std::this_thread::sleep_for(std::chrono::milliseconds(part.delayMs));
          if (part.byteGapMs == 0) {
            peer_.Write(part.bytes);
            continue;
          }
          for (uint8_t b : part.bytes) {
            peer_.Write({b});
            std::this_thread::sleep_for(std::chrono::milliseconds(part.byteGapMs));
          }
        }
      }
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::vector<uint8_t> received;

 private:
  bool WaitForRequest() {
    size_t seen = 0;
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      uint8_t b;
      if (::read(peer_.masterFd(), &b, 1) == 1) {
        received.push_back(b);
        seen = b == kCaptureRequest[seen] ? seen + 1 : (b == kCaptureRequest[0] ? 1 : 0);
        if (seen == kCaptureRequest.size()) return true;
        continue;
      }
      struct pollfd p = {peer_.masterFd(), POLLIN, 0};
      poll(&p, 1, 20);
    }
    return false;
  }
  test::PtyPeer& peer_;
  std::thread thread_;
};

class FetchCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(app.link, peer.SlavePath(), 115200));
    app.link.LinkPortName = peer.SlavePath();
    app.link.LinkBusy = 0;
    auto dir = MakeCaptureDir(::testing::TempDir());
    ASSERT_TRUE(dir);
    app.imaging.captureDir = *dir;
  }
  void TearDown() override {
    scanner.Join();
    CloseLink(app.link);
    RemoveCaptureDir(app.imaging);
  }

  bool Fetch() {
    auto t0 = Clock::now();
    bool ok = FetchCapture(app, sink, corners);
    elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    return ok;
  }
  static std::string FileText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

  test::PtyPeer peer;
  AppState app;
  test::SinkRecorder sink;
  BarcodeCorners corners{};
  CaptureScanner scanner{peer};
  long elapsedMs = 0;
};

TEST_F(FetchCaptureTest, CompleteCaptureWithDecodeBlock) {
  auto image = Picture(20000, 3);
  scanner.Answer({{{5, Concat({DecodeBlockBytes("HELLO", 5), ImageHeaderBytes(20000, kCorners, 42, 300, 80)})},
                   {5, image}}});
  ASSERT_TRUE(Fetch());
  scanner.Join();
  EXPECT_EQ(scanner.received, kCaptureRequest);
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].number, 1);
  EXPECT_EQ(sink.rows[0].decodedData, "HELLO");
  EXPECT_EQ(sink.rows[0].decodeTime, 42u);
  EXPECT_EQ(corners, kCorners);
  EXPECT_EQ(sink.thumbnails[0].image, image);
  EXPECT_EQ(FileText(app.imaging.captureDir + "/capture1.jpg"), std::string(image.begin(), image.end()));
  EXPECT_EQ(app.imaging.newestCapturePath, app.imaging.captureDir + "/capture1.jpg");
  EXPECT_EQ(app.imaging.CaptureCounter, 1);
}

TEST_F(FetchCaptureTest, HeadersArrivingByteByByteAreStillFound) {
  scanner.Answer({{{5, Concat({DecodeBlockBytes("AB", 2), ImageHeaderBytes(10, kCorners, 7, 300, 80)}), 2},
                   {5, Picture(10, 1)}}});
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(sink.rows.at(0).decodedData, "AB");
}

TEST_F(FetchCaptureTest, ShortDecodedDataLeaveTheDataCellEmpty) {
  // 12 announced, 7 sent, then a pause longer than the 250 ms gap.
  auto head = DecodeBlockBytes("1234567", 12);
  scanner.Answer({{{5, head}, {350, Concat({ImageHeaderBytes(4, kCorners, 9, 300, 80), Picture(4, 0)})}}});
  ASSERT_TRUE(Fetch());
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].decodedData, "");
  EXPECT_EQ(ResultRowTexts(sink.rows[0])[4], "");
  EXPECT_EQ(corners, kCorners);
}

TEST_F(FetchCaptureTest, RefusalEndsAtOnce) {
  scanner.Answer({{{5, {0x52, 0xA0, 0xE0, 0xFE, 0x80}}}});
  EXPECT_FALSE(Fetch());
  EXPECT_LT(elapsedMs, 400);  // not the 500 ms of a silence
  EXPECT_TRUE(sink.calls.empty());
}

TEST_F(FetchCaptureTest, SilenceEndsAfterHalfASecondCountedFromTheRequest) {
  EXPECT_FALSE(Fetch());
  EXPECT_GE(elapsedMs, 495);
  EXPECT_LT(elapsedMs, 1500);

  // Junk that keeps coming does not extend the time: it is judged from the
  // request whenever a read brings nothing.
  std::vector<uint8_t> junk(5, 0x11);
  std::vector<CaptureScanner::Part> parts;
  for (int i = 0; i < 20; ++i) parts.push_back({i == 0 ? 5 : 60, junk});
  scanner.Answer({parts});
  EXPECT_FALSE(Fetch());
  EXPECT_LT(elapsedMs, 900);
  EXPECT_TRUE(sink.calls.empty());
}

TEST_F(FetchCaptureTest, ShortImageWritesNothingAndAdvancesNothing) {
  const std::string older = "older capture";
  std::ofstream(app.imaging.captureDir + "/capture1.jpg") << older;
  scanner.Answer({{{5, ImageHeaderBytes(5000, kCorners, 9, 300, 80)}, {5, Picture(4900, 0)}}});
  EXPECT_FALSE(Fetch());
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(app.imaging.CaptureCounter, 0);
  EXPECT_EQ(FileText(app.imaging.captureDir + "/capture1.jpg"), older);
  EXPECT_EQ(corners, BarcodeCorners{});
}

TEST_F(FetchCaptureTest, ImageOfOneMebibyteIsRefusedWithoutWaitingForIt) {
  scanner.Answer({{{5, ImageHeaderBytes(kImageSizeLimit, kCorners, 9, 300, 80)}}});
  EXPECT_FALSE(Fetch());
  EXPECT_LT(elapsedMs, 200);  // not the 250 ms gap of a read attempt
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(app.imaging.CaptureCounter, 0);
}

TEST_F(FetchCaptureTest, DecodeBlockAfterTheImageIsLeftForTheNextDrain) {
  scanner.Answer({
      {{5, Concat({ImageHeaderBytes(6, kCorners, 0, 300, 80), Picture(6, 1), DecodeBlockBytes("LATE", 4)})}},
      {{5, Concat({DecodeBlockBytes("NEXT", 4), ImageHeaderBytes(6, kCorners, 9, 310, 81), Picture(6, 2)})}},
  });
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(sink.rows.at(0).decodedData, "");
  EXPECT_EQ(ResultRowTexts(sink.rows[0])[4], "No Barcode");
  EXPECT_EQ(corners, BarcodeCorners{});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(sink.rows.at(1).decodedData, "NEXT");
  EXPECT_EQ(sink.rows[1].number, 2);
  EXPECT_EQ(corners, kCorners);
}

TEST_F(FetchCaptureTest, OverlongDecodedDataAreReadPast) {
  std::string data(1500, 'd');
  scanner.Answer({{{5, Concat({DecodeBlockBytes(data, 1500), ImageHeaderBytes(8, kCorners, 9, 300, 80),
                               Picture(8, 0)})}}});
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(sink.rows.at(0).decodedData, "");
  EXPECT_EQ(corners, kCorners);
}

TEST_F(FetchCaptureTest, ClosedLinkEndsTheFetch) {
  CloseLink(app.link);
  EXPECT_FALSE(Fetch());
  EXPECT_LT(elapsedMs, 300);
}

}  // namespace
}  // namespace varnet
