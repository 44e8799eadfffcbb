// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "transfer/export_settings.h"

namespace varnet {
namespace {

using test::Concat;
using test::HeaderBytes;
using test::Payload;
using test::TextBytes;
using Step = ExportReceiver::Step;

class RecordingSink : public ExportSink {
 public:
  ExportResult ParameterBlock(const SettingsBlock& b) override { return params.push_back(b), Answer(acceptParameter); }
  ExportResult FormatBlock(const SettingsBlock& b) override { return formats.push_back(b), Answer(acceptFormat); }
  static ExportResult Answer(bool accept) {
    return accept ? ExportResult::Done() : ExportResult::Failed(Reason::DiskFull, ENOSPC);
  }
  std::vector<SettingsBlock> params, formats;
  bool acceptParameter = true, acceptFormat = true;
};

std::vector<uint8_t> Block(const char* tag, size_t n, uint8_t seed = 1) {
  return test::Tagged(tag, Payload(n, 5, seed));
}
std::vector<uint8_t> Whole(const SettingsBlock& b) {
  return Concat({{b.header.bytes.begin(), b.header.bytes.end()}, b.payload});
}

// Plays one scanner answer per request; what the receiver made of the last one.
Step Exchange(ExportSink& sink, std::initializer_list<std::vector<uint8_t>> answers) {
  ExportReceiver rx(sink);
  Step step = Step::Failed;
  for (const auto& a : answers) {
    if (!rx.Feed(a.data(), a.size())) return Step::Failed;
    step = rx.OnSilence();
    if (step != Step::RequestFormatBlock) return step;
  }
  return rx.OnSilence();
}

TEST(ExportReceiver, ReceivesBothBlocksWithTheirHeaders) {
  RecordingSink sink;
  ExportReceiver rx(sink);
  EXPECT_EQ(rx.SilenceLimitMs(), 1500u);
  const auto param = Block("*DCF*", 192);
  ASSERT_TRUE(rx.Feed(param.data(), 100));
  EXPECT_EQ(rx.SilenceLimitMs(), 100u);  // inside a chunk
  ASSERT_TRUE(rx.Feed(param.data() + 100, param.size() - 100));
  ASSERT_EQ(rx.OnSilence(), Step::RequestFormatBlock);
  EXPECT_EQ(rx.SilenceLimitMs(), 1500u);
  const auto format = Block("*DFF*", 77, 9);
  ASSERT_TRUE(rx.Feed(format.data(), format.size()));
  ASSERT_EQ(rx.OnSilence(), Step::Succeeded);

  ASSERT_TRUE(sink.params.size() == 1 && sink.formats.size() == 1);
  EXPECT_EQ(Whole(sink.params[0]), param);
  EXPECT_EQ(Whole(sink.formats[0]), format);
}

TEST(ExportReceiver, AnythingButTwoWholeBlocksFails) {
  const std::vector<uint8_t> ack = {0x52, 0xA0, 0xEC, 0xFE, 0x74};
  auto byte5 = Block("*DCF*", 192);
  byte5[5] = 'A';  // the tag is compared as zero-terminated text
  const auto param = Block("*DCF*", 192);
  struct Row {
    const char* what;
    std::vector<std::vector<uint8_t>> answers;
    Reason reason;
  } rows[] = {
      {"acknowledgement and more", {Concat({ack, TextBytes("xyz")})}, Reason::BlockRefused},
      {"header byte 5 not zero", {byte5}, Reason::UnexpectedData},
      {"payload short by one", {std::vector<uint8_t>(param.begin(), param.end() - 1)}, Reason::ScannerStopped},
      {"payload long by one", {Concat({param, {0}})}, Reason::BlockTooLong},
      {"unknown 28-byte header", {HeaderBytes("*XYZ*", 0)}, Reason::UnexpectedData},
      {"format block first", {Block("*DFF*", 10)}, Reason::UnexpectedData},
      {"no format block", {param, {}}, Reason::NoFormatBlock},
      {"header cut short", {std::vector<uint8_t>(param.begin(), param.begin() + 20)}, Reason::ScannerStopped},
      {"a few other bytes", {TextBytes("xyz")}, Reason::UnexpectedData},
      {"parameter block again, then nothing", {param, param, {}}, Reason::NoFormatBlock},
  };
  for (const Row& row : rows) {
    RecordingSink sink;
    ExportReceiver rx(sink);
    Step step = Step::RequestFormatBlock;
    for (size_t i = 0; i < row.answers.size() && step == Step::RequestFormatBlock; ++i) {
      rx.Feed(row.answers[i].data(), row.answers[i].size());
      step = rx.OnSilence();
    }
    EXPECT_EQ(step, Step::Failed) << row.what;
    EXPECT_EQ(rx.failure().reason, row.reason) << row.what;
    EXPECT_TRUE(sink.formats.empty()) << row.what;
  }
}

TEST(ExportReceiver, HeaderHuntRestartsEvery1024Bytes) {
  // After a wrong candidate the bytes go on into the hunting buffer, a
  // header inside it unseen; at 1024 the count starts over and the next 28
  // bytes are the next candidate.
  auto junk = Concat({HeaderBytes("*DXF*", 192), Block("*DCF*", 192, 7)});
  junk.resize(1024, 0x20);
  for (size_t cut : {0, 1}) {
    RecordingSink sink;
    ExportReceiver rx(sink);
    auto bytes = Concat({std::vector<uint8_t>(junk.begin(), junk.end() - long(cut)), Block("*DCF*", 192, 2)});
    rx.Feed(bytes.data(), bytes.size());
    EXPECT_EQ(rx.OnSilence(), cut == 0 ? Step::RequestFormatBlock : Step::Failed) << cut;
    if (cut == 0) {
      EXPECT_EQ(sink.params.at(0).payload, Payload(192, 5, 2));
    }
  }
}

TEST(ExportReceiver, LengthsAndBounds) {
  // Blocks of 1024 bytes or more arrive whole.
  for (size_t n : {1023u, 1024u, 1500u}) {
    RecordingSink sink;
    EXPECT_EQ(Exchange(sink, {Block("*DCF*", n), Block("*DFF*", n)}), Step::Succeeded) << n;
    EXPECT_EQ(sink.formats.at(0).payload, Payload(n));
  }
  // An oversized announcement fails as soon as the header is in.
  RecordingSink sink;
  ExportReceiver rx(sink);
  auto huge = HeaderBytes("*DCF*", 0xFFFFFFFF);
  EXPECT_TRUE(rx.Feed(huge.data(), 27));
  EXPECT_FALSE(rx.Feed(huge[27]));
  EXPECT_EQ(rx.OnSilence(), Step::Failed);
  for (uint32_t n : {kMaxSettingsBlock, kMaxSettingsBlock + 1}) {
    ExportReceiver r(sink);
    auto h = HeaderBytes("*DFF*", n);
    EXPECT_EQ(r.Feed(h.data(), h.size()), n == kMaxSettingsBlock);
  }
  // Endless bytes without a header end the hunt.
  ExportReceiver chatty(sink);
  std::vector<uint8_t> junk(ExportReceiver::kMaxHuntBytes, 0x20);
  EXPECT_TRUE(chatty.Feed(junk.data(), junk.size()));
  EXPECT_FALSE(chatty.Feed(0x20));
}

TEST(ExportReceiver, SinkFailureEndsTheExport) {
  RecordingSink refuses;
  refuses.acceptParameter = false;
  EXPECT_EQ(Exchange(refuses, {Block("*DCF*", 192)}), Step::Failed);  // no request for the format block
  refuses.acceptParameter = true, refuses.acceptFormat = false;
  EXPECT_EQ(Exchange(refuses, {Block("*DCF*", 192), Block("*DFF*", 5)}), Step::Failed);
}

TEST(ConfigFileExport, WritesTheFileOnlyWhenBothBlocksAreIn) {
  test::TempDir dir;
  const std::string path = dir.File("SetScanner.vt");
  const auto ph = HeaderBytes("*DCF*", 192), fh = HeaderBytes("*DFF*", 35);
  const auto pp = Payload(192), fp = Payload(35, 0, 4);
  {
    ConfigFileSink sink(path);
    ASSERT_EQ(Exchange(sink, {Concat({ph, pp}), Concat({fh, fp})}), Step::Succeeded);
  }
  // Header bytes 5..27 travel as the scanner sent them.
  const auto expected =
      Concat({TextBytes("%ICF%"), {ph.begin() + 5, ph.end()}, pp, TextBytes("%IFF%"), {fh.begin() + 5, fh.end()}, fp});
  EXPECT_EQ(test::ReadWholeFile(path), expected);

  // A failed export leaves the file as it was, and no temporary beside it.
  for (auto second : {std::vector<uint8_t>{}, Concat({fh, Payload(34)})}) {
    ConfigFileSink sink(path);
    EXPECT_EQ(Exchange(sink, {Concat({ph, Payload(192, 5, 3)}), second}), Step::Failed);
  }
  EXPECT_EQ(test::ReadWholeFile(path), expected);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"SetScanner.vt"});
}

}  // namespace
}  // namespace varnet
