#include <gtest/gtest.h>

#include "support/transfer_blocks.h"
#include "transfer/export_settings.h"

namespace varnet {
namespace {

using test::TextBytes;
using test::Concat;
using test::HeaderBytes;
using test::Payload;
using Step = ExportReceiver::Step;

class RecordingSink : public ExportSink {
 public:
  bool ParameterBlock(const SettingsBlock& b) override {
    params.push_back(b);
    return acceptParameter;
  }
  bool FormatBlock(const SettingsBlock& b) override {
    formats.push_back(b);
    return acceptFormat;
  }
  std::vector<SettingsBlock> params, formats;
  bool acceptParameter = true;
  bool acceptFormat = true;
};

std::vector<uint8_t> HeaderOf(const SettingsBlock& b) { return {b.header.bytes.begin(), b.header.bytes.end()}; }

const std::vector<uint8_t> kAck = {0x52, 0xA0, 0xEC, 0xFE, 0x74};
const std::vector<uint8_t> kNak = {0x52, 0xA0, 0xE0, 0xFE, 0x80};

class ExportReceiverTest : public ::testing::Test {
 protected:
  bool Feed(const std::vector<uint8_t>& bytes) { return rx.Feed(bytes.data(), bytes.size()); }
  // The parameter block as a scanner sends it, and the receiver's answer.
  Step SendParameter(size_t n = 192) {
    Feed(Concat({HeaderBytes("*DCF*", uint32_t(n)), Payload(n)}));
    return rx.OnSilence();
  }
  RecordingSink sink;
  ExportReceiver rx{sink};
};

TEST_F(ExportReceiverTest, ReceivesBothBlocksInOrder) {
  EXPECT_EQ(rx.SilenceLimitMs(), 1500u);
  auto ph = HeaderBytes("*DCF*", 192);
  ASSERT_TRUE(Feed(ph));
  const std::vector<uint8_t> pp = Payload(192);
  ASSERT_TRUE(Feed(std::vector<uint8_t>(pp.begin(), pp.begin() + 100)));
  EXPECT_EQ(rx.SilenceLimitMs(), 100u);  // inside a chunk
  ASSERT_TRUE(Feed(std::vector<uint8_t>(pp.begin() + 100, pp.end())));
  EXPECT_EQ(rx.OnSilence(), Step::RequestFormatBlock);
  ASSERT_EQ(sink.params.size(), 1u);
  EXPECT_EQ(HeaderOf(sink.params[0]), ph);  // the scanner's header, unchanged
  EXPECT_EQ(sink.params[0].payload, Payload(192));
  EXPECT_EQ(rx.SilenceLimitMs(), 1500u);  // waiting for the next block

  auto fh = HeaderBytes("*DFF*", 77);
  ASSERT_TRUE(Feed(Concat({fh, Payload(77, 0, 5)})));
  EXPECT_EQ(rx.OnSilence(), Step::Succeeded);
  ASSERT_EQ(sink.formats.size(), 1u);
  EXPECT_EQ(HeaderOf(sink.formats[0]), fh);
  EXPECT_EQ(sink.formats[0].payload, Payload(77, 0, 5));
}

TEST_F(ExportReceiverTest, AnswersOtherThanABlockFail) {
  struct Row {
    const char* what;
    std::vector<uint8_t> first;   // answer to the parameter block request
    std::vector<uint8_t> second;  // answer to the format block request
  };
  auto fullBlock = Concat({HeaderBytes("*DFF*", 10), Payload(10)});
  std::vector<Row> rows = {
      {"refusal", kNak, {}},
      {"acknowledgement", kAck, {}},
      {"acknowledgement with more behind it", Concat({kAck, TextBytes("xyz")}), {}},
      {"silence", {}, {}},
      {"a header alone", HeaderBytes("*DCF*", 192), {}},
      {"payload short by one", Concat({HeaderBytes("*DCF*", 192), Payload(191)}), {}},
      {"unknown header of 28 bytes", HeaderBytes("*XYZ*", 0), {}},
      {"format block instead of the parameter block", fullBlock, {}},
      {"no format block after the parameter block", Concat({HeaderBytes("*DCF*", 192), Payload(192)}), {}},
      {"format block refused", Concat({HeaderBytes("*DCF*", 192), Payload(192)}), kNak},
      {"parameter block twice then silence", Concat({HeaderBytes("*DCF*", 192), Payload(192)}),
       Concat({HeaderBytes("*DCF*", 192), Payload(192)})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RecordingSink s;
    ExportReceiver r(s);
    r.Feed(row.first.data(), row.first.size());
    Step step = r.OnSilence();
    if (step == Step::RequestFormatBlock) {
      r.Feed(row.second.data(), row.second.size());
      step = r.OnSilence();
      if (step == Step::RequestFormatBlock) step = r.OnSilence();
    }
    EXPECT_EQ(step, Step::Failed);
    EXPECT_TRUE(s.formats.empty());
  }
}

TEST_F(ExportReceiverTest, HeaderHuntRestartsEvery1024Bytes) {
  // A wrong 28-byte candidate keeps the bytes going into the hunting buffer;
  // a header inside it is not looked at; after 1024 bytes the count starts
  // over and the next 28 bytes are the next candidate.
  std::vector<uint8_t> junk = HeaderBytes("*DXF*", 192);
  auto buried = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
  junk.insert(junk.end(), buried.begin(), buried.end());
  junk.resize(1024, 0x20);
  ASSERT_TRUE(Feed(junk));
  EXPECT_EQ(rx.count(), 0u);
  EXPECT_EQ(rx.SilenceLimitMs(), 1500u);

  auto ph = HeaderBytes("*DCF*", 192);
  ASSERT_TRUE(Feed(Concat({ph, Payload(192, 5, 2)})));
  EXPECT_EQ(rx.OnSilence(), Step::RequestFormatBlock);
  ASSERT_EQ(sink.params.size(), 1u);
  EXPECT_EQ(sink.params[0].payload, Payload(192, 5, 2));

  // One byte short of the wrap, a header is only part of the hunting buffer.
  RecordingSink s;
  ExportReceiver r(s);
  std::vector<uint8_t> shorter(junk.begin(), junk.end() - 1);
  auto again = Concat({shorter, ph, Payload(192)});
  r.Feed(again.data(), again.size());
  EXPECT_EQ(r.OnSilence(), Step::Failed);
  EXPECT_TRUE(s.params.empty());
}

TEST_F(ExportReceiverTest, EndlessBytesWithoutAHeaderFail) {
  // Junk up to the bound still lets a header at a wrap be found.
  ASSERT_TRUE(Feed(std::vector<uint8_t>(60 * 1024, 0x20)));
  ASSERT_TRUE(Feed(Concat({HeaderBytes("*DCF*", 192), Payload(192)})));
  EXPECT_EQ(rx.OnSilence(), Step::RequestFormatBlock);

  RecordingSink s;
  ExportReceiver r(s);
  std::vector<uint8_t> junk(ExportReceiver::kMaxHuntBytes, 0x20);
  ASSERT_TRUE(r.Feed(junk.data(), junk.size()));
  EXPECT_FALSE(r.Feed(0x20));
  EXPECT_EQ(r.OnSilence(), Step::Failed);
}

TEST_F(ExportReceiverTest, TagIsComparedAsZeroTerminatedText) {
  auto header = HeaderBytes("*DCF*", 192);
  header[5] = 'A';
  ASSERT_TRUE(Feed(Concat({header, Payload(192)})));
  EXPECT_EQ(rx.OnSilence(), Step::Failed);
  EXPECT_TRUE(sink.params.empty());

  // Bytes 6 and 7 are free: a tag ended at 5 matches whatever follows.
  RecordingSink s;
  ExportReceiver r(s);
  auto ok = HeaderBytes("*DCF*", 192);
  ok[6] = 'Q';
  ok[7] = 0;
  auto bytes = Concat({ok, Payload(192)});
  r.Feed(bytes.data(), bytes.size());
  EXPECT_EQ(r.OnSilence(), Step::RequestFormatBlock);
}

TEST_F(ExportReceiverTest, LargeBlocksAreReceivedWhole) {
  for (size_t n : {1023u, 1024u, 1500u, 4096u}) {
    SCOPED_TRACE(n);
    RecordingSink s;
    ExportReceiver r(s);
    auto bytes = Concat({HeaderBytes("*DCF*", uint32_t(n)), Payload(n)});
    ASSERT_TRUE(r.Feed(bytes.data(), bytes.size()));
    ASSERT_EQ(r.OnSilence(), Step::RequestFormatBlock);
    EXPECT_EQ(s.params.at(0).payload, Payload(n));
    auto format = Concat({HeaderBytes("*DFF*", uint32_t(n)), Payload(n, 0, 3)});
    ASSERT_TRUE(r.Feed(format.data(), format.size()));
    EXPECT_EQ(r.OnSilence(), Step::Succeeded);
    EXPECT_EQ(s.formats.at(0).payload, Payload(n, 0, 3));
  }
}

TEST_F(ExportReceiverTest, AnnouncedLengthsAreBoundedBeforeAnyAllocation) {
  auto huge = HeaderBytes("*DCF*", 0xFFFFFFFF);
  ASSERT_TRUE(Feed(std::vector<uint8_t>(huge.begin(), huge.end() - 1)));
  EXPECT_FALSE(rx.Feed(huge.back()));  // refused as soon as the header is in
  EXPECT_TRUE(rx.failed());
  EXPECT_FALSE(rx.Feed(0x00));
  EXPECT_EQ(rx.OnSilence(), Step::Failed);

  RecordingSink s1;
  ExportReceiver atBound(s1);
  auto h1 = HeaderBytes("*DCF*", kMaxSettingsBlock);
  EXPECT_TRUE(atBound.Feed(h1.data(), h1.size()));
  RecordingSink s2;
  ExportReceiver overBound(s2);
  auto h2 = HeaderBytes("*DFF*", kMaxSettingsBlock + 1);
  EXPECT_FALSE(overBound.Feed(h2.data(), h2.size()));
}

TEST_F(ExportReceiverTest, BlockRunningPastItsLengthFailsAtOnce) {
  auto bytes = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
  ASSERT_TRUE(Feed(bytes));
  EXPECT_FALSE(rx.Feed(0x00));
  EXPECT_EQ(rx.OnSilence(), Step::Failed);
  EXPECT_TRUE(sink.params.empty());
}

TEST_F(ExportReceiverTest, SinkFailureEndsTheExport) {
  sink.acceptParameter = false;
  EXPECT_EQ(SendParameter(), Step::Failed);  // no request for the format block

  RecordingSink s;
  s.acceptFormat = false;
  ExportReceiver r(s);
  auto p = Concat({HeaderBytes("*DCF*", 192), Payload(192)});
  r.Feed(p.data(), p.size());
  ASSERT_EQ(r.OnSilence(), Step::RequestFormatBlock);
  auto f = Concat({HeaderBytes("*DFF*", 5), Payload(5)});
  r.Feed(f.data(), f.size());
  EXPECT_EQ(r.OnSilence(), Step::Failed);
}

}  // namespace
}  // namespace varnet
