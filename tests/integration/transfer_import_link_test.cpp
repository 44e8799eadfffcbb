#include <gtest/gtest.h>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "link/ticks.h"
#include "support/script_peer.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "transfer/import_settings.h"
#include "transfer/restore_defaults.h"

namespace varnet {
namespace {

using test::TextBytes;
using test::Concat;
using test::HeaderBytes;
using test::Payload;

const std::vector<uint8_t> kAck = {0x52, 0xA0, 0xEC, 0xFE, 0x74};
const std::vector<uint8_t> kNak = {0x52, 0xA0, 0xE0, 0xFE, 0x80};
const std::vector<uint8_t> kAnnounceParam = {0x05, 0x57, 0x0E, 0x0C, 0x08, 0xFF, 0x82};
const std::vector<uint8_t> kAnnounceFormat = {0x05, 0x57, 0x0E, 0x0C, 0x0A, 0xFF, 0x80};
constexpr uint8_t kModel = 6;

// What the scanner answers at each point of a block write; an empty answer
// is silence.
struct Answers {
  std::string ack = "*ack";
  std::string echo = "*echo";
  std::vector<uint8_t> final = kAck;
};

// What the scanner heard of one block write.
struct Heard {
  std::vector<uint8_t> announce, header, payload;
};

Heard TakeBlock(test::ScriptPeer& p, size_t length, const Answers& a = {}) {
  Heard h;
  h.announce = p.Receive(7, 2000);
  if (!a.ack.empty()) p.Send(a.ack);
  if (a.ack != "*ack") return h;
  h.header = p.Receive(28, 1000);
  if (!a.echo.empty()) p.Send(a.echo);
  if (a.echo != "*echo") return h;
  h.payload = p.Receive(length, 1000);
  if (!a.final.empty()) p.Send(a.final);
  return h;
}

Message M(MessageId id, Caption c, Icon icon = Icon::Error) { return Message{id, icon, c}; }

void ExpectMessages(const std::vector<Message>& got, const std::vector<Message>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << i << ": " << MessageText(got[i].id);
    EXPECT_EQ(got[i].caption, want[i].caption) << i;
    EXPECT_EQ(got[i].icon, want[i].icon) << i;
  }
}

class ImportOverLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLink(link, peer.path(), 115200));
    info.paramBlock.SetU8(pb::ModelCode, kModel);
    info.paramBlock.SetU8(100, 0xAB);
    info.formatBlock = FormatBlock(20, 0x11);
    test::WriteWholeFile(path, Concat({ph, pp, fh, fp}));
  }
  ImportResult Import() {
    prompts.openAnswers.push_back(path);
    return ImportSettings(link, info, prompts);
  }

  test::ScriptPeer peer;
  ScannerLink link;
  DeviceInfo info;
  test::ScriptedPrompts prompts;
  test::TempDir dir;
  std::string path = dir.File("settings.vt");
  const std::vector<uint8_t> ph = HeaderBytes("%ICF%", 200);
  const std::vector<uint8_t> pp = Payload(200, kModel);
  const std::vector<uint8_t> fh = HeaderBytes("%IFF%", 64);
  const std::vector<uint8_t> fp = Payload(64, 0, 7);
};

TEST_F(ImportOverLink, WritesBothBlocksAndTakesThemOver) {
  Heard first, second;
  peer.Run([&](test::ScriptPeer& p) {
    first = TakeBlock(p, pp.size());
    second = TakeBlock(p, fp.size());
  });
  ImportResult r = Import();
  peer.Join();

  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].defaultName, "");
  EXPECT_EQ(prompts.openRequests[0].filters,
            (std::vector<std::pair<std::string, std::string>>{{"Configuration File (*.vt)", "*.vt"},
                                                              {"All Files (*.*)", "*.*"}}));
  EXPECT_EQ(first.announce, kAnnounceParam);
  EXPECT_EQ(first.header, ph);  // sent as the file holds it
  EXPECT_EQ(first.payload, pp);
  EXPECT_EQ(second.announce, kAnnounceFormat);
  EXPECT_EQ(second.header, fh);
  EXPECT_EQ(second.payload, fp);

  EXPECT_TRUE(r.succeeded);
  ExpectMessages(prompts.shown, {M(MessageId::ImportedSuccessfully, Caption::None, Icon::Information)});
  ExpectMessages(r.messages, {M(MessageId::ImportedSuccessfully, Caption::None, Icon::Information)});
  EXPECT_TRUE(std::equal(info.paramBlock.bytes.begin(), info.paramBlock.bytes.end(), pp.begin()));
  EXPECT_EQ(info.formatBlock, fp);  // 64 bytes now, where 20 were held
  EXPECT_EQ(info.settingsDirty, 0);
}

TEST_F(ImportOverLink, ParameterBlockHandshakeFailures) {
  struct Row {
    const char* what;
    Answers answers;
    Message first;
  };
  const Row rows[] = {
      {"silence after the announcement", {"", "", {}}, M(MessageId::FeatureNotSupported, Caption::Error3)},
      {"short *ack", {"*ac", "", {}}, M(MessageId::FeatureNotSupported, Caption::Error3)},
      {"refusal instead of *ack", {std::string(kNak.begin(), kNak.end()), "", {}},
       M(MessageId::FeatureNotSupported, Caption::Error3)},
      {"no *echo", {"*ack", "", {}}, M(MessageId::TransmitFailed, Caption::DeviceConfiguration)},
      {"short *echo", {"*ack", "*ech", {}}, M(MessageId::TransmitFailed, Caption::DeviceConfiguration)},
      {"refusal after the payload", {"*ack", "*echo", kNak}, M(MessageId::FileTransmitFailed, Caption::DeviceConfiguration)},
      {"silence after the payload", {"*ack", "*echo", {}}, M(MessageId::FileTransmitFailed, Caption::DeviceConfiguration)},
  };
  const ParamBlock before = info.paramBlock;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    prompts.shown.clear();
    std::vector<uint8_t> after;
    peer.Run([&](test::ScriptPeer& p) {
      TakeBlock(p, pp.size(), row.answers);
      after = p.ReceiveUntilQuiet(300);
    });
    ImportResult r = Import();
    peer.Join();
    EXPECT_FALSE(r.succeeded);
    // The first header is then looked at as a format block, and refused.
    ExpectMessages(r.messages, {row.first, M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)});
    ExpectMessages(prompts.shown, r.messages);
    EXPECT_TRUE(after.empty());
    EXPECT_EQ(info.paramBlock.bytes, before.bytes);
    EXPECT_EQ(info.formatBlock, FormatBlock(20, 0x11));
    DrainInput(link);
  }
}

TEST_F(ImportOverLink, FormatBlockHandshakeFailures) {
  struct Row {
    const char* what;
    Answers answers;
    MessageId id;
  };
  const Row rows[] = {
      {"no *ack", {"", "", {}}, MessageId::FeatureNotSupported},
      {"no *echo", {"*ack", "", {}}, MessageId::TransmitFailed},
      {"refusal after the payload", {"*ack", "*echo", kNak}, MessageId::FileTransmitFailed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    info.paramBlock = ParamBlock{};
    info.paramBlock.SetU8(pb::ModelCode, kModel);
    peer.Run([&](test::ScriptPeer& p) {
      TakeBlock(p, pp.size());
      TakeBlock(p, fp.size(), row.answers);
    });
    ImportResult r = Import();
    peer.Join();
    EXPECT_FALSE(r.succeeded);
    ExpectMessages(r.messages, {M(row.id, Caption::OutputDataFormat)});
    // The acknowledged parameter block is kept.
    EXPECT_TRUE(r.parameterBlockTaken);
    EXPECT_TRUE(std::equal(info.paramBlock.bytes.begin(), info.paramBlock.bytes.end(), pp.begin()));
    EXPECT_EQ(info.formatBlock, FormatBlock(20, 0x11));
    DrainInput(link);
  }
}

TEST_F(ImportOverLink, RefusedFilesSendNothing) {
  struct Row {
    const char* what;
    std::vector<uint8_t> file;
    std::vector<Message> messages;
  };
  const Row rows[] = {
      {"another model", Concat({ph, Payload(200, kModel + 1), fh, fp}), {M(MessageId::NotForThisScanner, Caption::Error2)}},
      {"28-byte file", ph, {}},
      {"L 191", Concat({HeaderBytes("%ICF%", 191), Payload(191, kModel), fh, fp}),
       {M(MessageId::IncorrectConfigFile, Caption::Error1), M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)}},
      {"parameter payload cut short", Concat({ph, Payload(150, kModel)}),
       {M(MessageId::IncorrectConfigFile, Caption::Error4), M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::WriteWholeFile(path, row.file);
    std::vector<uint8_t> heard;
    peer.Run([&](test::ScriptPeer& p) { heard = p.ReceiveUntilQuiet(300); });
    ImportResult r = Import();
    peer.Join();
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(r.succeeded);
    ExpectMessages(r.messages, row.messages);
  }
}

TEST_F(ImportOverLink, FormatBlockFirstIsWrittenAsFormatBlock) {
  auto small = Payload(10, 0, 5);
  test::WriteWholeFile(path, Concat({HeaderBytes("%IFF%", 10), small}));
  Heard heard;
  peer.Run([&](test::ScriptPeer& p) { heard = TakeBlock(p, small.size()); });
  ImportResult r = Import();
  peer.Join();
  EXPECT_EQ(heard.announce, kAnnounceFormat);
  EXPECT_EQ(heard.payload, small);
  ExpectMessages(r.messages, {M(MessageId::IncorrectConfigFile, Caption::Error1),
                              M(MessageId::ImportedSuccessfully, Caption::None, Icon::Information)});
  EXPECT_EQ(info.formatBlock, small);
}

TEST_F(ImportOverLink, WhatTheFileLacksIsNotSent) {
  // Without its format block, and with the format payload cut short: the
  // parameter block goes, the format block is refused before it is announced.
  for (auto file : {Concat({ph, pp}), Concat({ph, pp, fh, std::vector<uint8_t>(fp.begin(), fp.end() - 1)})}) {
    test::WriteWholeFile(path, file);
    Heard first;
    std::vector<uint8_t> after;
    peer.Run([&](test::ScriptPeer& p) {
      first = TakeBlock(p, pp.size());
      after = p.ReceiveUntilQuiet(300);
    });
    ImportResult r = Import();
    peer.Join();
    EXPECT_EQ(first.payload, pp);
    EXPECT_TRUE(after.empty());
    EXPECT_FALSE(r.succeeded);
    ExpectMessages(r.messages, {M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)});
    EXPECT_EQ(info.formatBlock, FormatBlock(20, 0x11));
  }
}

TEST_F(ImportOverLink, ScannerWithoutFormatBlockTakesTheParameterBlockAlone) {
  info.formatBlock.reset();
  std::vector<uint8_t> after;
  peer.Run([&](test::ScriptPeer& p) {
    TakeBlock(p, pp.size());
    after = p.ReceiveUntilQuiet(300);
  });
  ImportResult r = Import();
  peer.Join();
  EXPECT_TRUE(after.empty());
  EXPECT_TRUE(r.succeeded);
  ExpectMessages(r.messages, {M(MessageId::ImportedSuccessfully, Caption::None, Icon::Information)});
  EXPECT_FALSE(info.HasFormatBlock());
}

TEST_F(ImportOverLink, CancelAndUnreadableFile) {
  prompts.openAnswers.push_back(std::nullopt);
  ImportResult cancelled = ImportSettings(link, info, prompts);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_TRUE(prompts.shown.empty());

  ImportResult missing = ImportSettingsFromFile(link, info, prompts, dir.File("nothing.vt"));
  ExpectMessages(missing.messages, {M(MessageId::OpenFileFailed, Caption::None)});
  ImportResult folder = ImportSettingsFromFile(link, info, prompts, dir.path());
  ExpectMessages(folder.messages, {M(MessageId::OpenFileFailed, Caption::None)});
}

TEST_F(ImportOverLink, RestoreDefaultsReadsTheBlocksBack) {
  auto newParam = Payload(192, kModel, 40);
  auto newFormat = Payload(30, 0, 50);
  std::vector<uint8_t> command, askParam, askFormat;
  peer.Run([&](test::ScriptPeer& p) {
    command = p.Receive(12, 2000);
    p.Send(kAck);
    askParam = p.Receive(7, 2000);
    p.Send(Concat({HeaderBytes("*DCF*", 192), newParam}));
    askFormat = p.Receive(7, 2000);
    p.Send(Concat({HeaderBytes("*DFF*", 30), newFormat}));
  });
  RestoreResult r = RestoreDefaults(link, info, prompts);
  peer.Join();
  EXPECT_EQ(command, (std::vector<uint8_t>{0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44}));
  EXPECT_EQ(askParam, (std::vector<uint8_t>{0x05, 0x57, 0x0E, 0x0D, 0x08, 0xFF, 0x81}));
  EXPECT_EQ(askFormat, (std::vector<uint8_t>{0x05, 0x57, 0x0E, 0x0D, 0x0A, 0xFF, 0x7F}));
  EXPECT_TRUE(r.acknowledged);
  EXPECT_TRUE(r.refreshed);
  ExpectMessages(prompts.shown, {M(MessageId::RestoreSuccessfully, Caption::None, Icon::Information)});
  EXPECT_TRUE(std::equal(info.paramBlock.bytes.begin(), info.paramBlock.bytes.end(), newParam.begin()));
  EXPECT_EQ(info.formatBlock, newFormat);
  EXPECT_EQ(info.settingsDirty, 1);
  EXPECT_EQ(link.LinkBusy, 0);
}

TEST_F(ImportOverLink, RestoreWithoutAnswers) {
  // No acknowledgement: nothing is shown, the blocks are asked for anyway;
  // without a parameter block the settings are not marked changed.
  std::vector<uint8_t> heard;
  peer.Run([&](test::ScriptPeer& p) { heard = p.ReceiveUntilQuiet(2500); });
  const ParamBlock before = info.paramBlock;
  RestoreResult r = RestoreDefaults(link, info, prompts);
  peer.Join();
  EXPECT_FALSE(r.acknowledged);
  EXPECT_FALSE(r.refreshed);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(heard, Concat({{0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44},
                           {0x05, 0x57, 0x0E, 0x0D, 0x08, 0xFF, 0x81}}));
  EXPECT_EQ(info.settingsDirty, 0);
  EXPECT_EQ(info.paramBlock.bytes, before.bytes);
  EXPECT_EQ(link.LinkBusy, 0);
}

}  // namespace
}  // namespace varnet
