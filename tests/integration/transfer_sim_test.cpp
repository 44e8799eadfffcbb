// SPDX-License-Identifier: Apache-2.0
// Export, import and restore against the simulated scanner, over its pty.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "link/ticks.h"
#include "sim/sim_scanner.h"
#include "support/connected_scanner.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "support/wire.h"
#include "transfer/export_settings.h"
#include "transfer/import_settings.h"

namespace varnet {
namespace {

using sim::HandshakeFault;
using test::Cmd;
using test::Refuse;
using test::TextBytes;
using Bytes = std::vector<uint8_t>;

sim::Profile WithBlocks(uint8_t model, uint8_t seed, size_t formatSize, bool format = true) {
  sim::Profile p;
  p.modelCode = model;
  p.hasFormatBlock = format;
  for (size_t i = 20; i < p.paramBlock.size(); ++i) p.paramBlock[i] = uint8_t(i * 3 + seed);
  p.paramBlock[pb::Flags] |= 0x40;
  p.formatBlock.resize(formatSize);
  for (size_t i = 0; i < formatSize; ++i) p.formatBlock[i] = uint8_t(i * 5 + seed);
  return p;
}

// 921600 keeps the long block transfers short.
struct Connected : test::ConnectedScanner {
  explicit Connected(const sim::Profile& p) : ConnectedScanner(p, 921600) {}
  // Frames and raw writes since connecting, short commands and block parts alike.
  std::vector<Bytes> Heard() { return sim.Received(); }
};

const Bytes kAskParam = Cmd(kReadParamBlock), kAskFormat = Cmd(kReadFormatBlock);
const Bytes kWriteParam = Cmd(kWriteParamBlock), kWriteFormat = Cmd(kWriteFormatBlock);

class TransferWithSimulator : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string vt = dir.File("unit.vt");
  // Exports a scanner with a 1500-byte format block (received whole) into vt.
  void ExportFrom(uint8_t model) {
    Connected a(WithBlocks(model, 1, 1500));
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(ExportSettings(a.link, vt, ExportMode::File).ok);
    EXPECT_EQ(a.Heard(), (std::vector<Bytes>{kAskParam, kAskFormat}));
    param = a.sim.ParamBlock();
    format = *a.sim.FormatBlock();
  }
  Bytes param, format;
};

TEST_F(TransferWithSimulator, ExportThenImportIntoAnotherScanner) {
  // Written over a file its owner made private: it stays private.
  test::WriteWholeFile(vt, TextBytes("older"));
  ASSERT_EQ(::chmod(vt.c_str(), 0600), 0);
  ExportFrom(5);
  struct stat st {};
  ASSERT_EQ(::stat(vt.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const Bytes file = test::ReadWholeFile(vt);
  // The file's layout, byte for byte, is checked in the unit tests; here its
  // two parts go out as they stand.
  ASSERT_EQ(file.size(), 56 + param.size() + format.size());
  const long second = 28 + long(param.size());

  Connected b(WithBlocks(5, 77, 627));
  ASSERT_TRUE(b.ok);
  ImportResult r = ImportSettingsFromFile(b.link, b.info, b.prompts, vt);
  EXPECT_TRUE(r.succeeded);
  ASSERT_EQ(b.prompts.Ids(), std::vector{MessageId::ImportedSuccessfully});
  EXPECT_EQ(b.prompts.shown[0].icon, Icon::Information);
  EXPECT_EQ(b.prompts.shown[0].caption, Caption::None);
  // The headers go out exactly as the file holds them.
  EXPECT_EQ(b.Heard(), (std::vector<Bytes>{kWriteParam, Bytes(file.begin(), file.begin() + 28), param, kWriteFormat,
                                           Bytes(file.begin() + second, file.begin() + second + 28), format}));
  EXPECT_EQ(b.sim.ParamBlock(), param);
  EXPECT_EQ(b.sim.FormatBlock(), format);
  EXPECT_TRUE(std::equal(b.info.paramBlock.bytes.begin(), b.info.paramBlock.bytes.end(), param.begin()));
  EXPECT_EQ(b.info.formatBlock, format);  // 1500 bytes where 627 were held
  EXPECT_EQ(b.info.settingsDirty, 0);
}

TEST_F(TransferWithSimulator, ExportFailuresAndTheirReasons) {
  test::WriteWholeFile(vt, TextBytes("older"));
  // No format block: the first symbol is written, the file is not touched.
  Connected legacy(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(legacy.ok);
  EXPECT_EQ(ExportSettings(legacy.link, vt, ExportMode::File).reason, Reason::NoFormatBlock);
  EXPECT_EQ(ExportSettings(legacy.link, dir.File("q.bmp"), ExportMode::Qr).reason, Reason::NoFormatBlock);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"q_S1.bmp", "unit.vt"}));
  // A format block too large for a symbol ends the export, not the process.
  Connected big(WithBlocks(1, 2, 3000));
  ASSERT_TRUE(big.ok);
  EXPECT_EQ(ExportSettings(big.link, dir.File("big.bmp"), ExportMode::Qr).reason, Reason::QrTooLarge);

  Connected s(sim::Profile{});
  ASSERT_TRUE(s.ok);
  auto& f = s.sim.faults();
  // alsoReason: what the failure may also be taken for, as timing decides.
  auto timed = [&](const char* what, Reason reason, uint32_t atLeast, uint32_t below,
                   Reason alsoReason = Reason::None) {
    uint32_t start = TickCount();
    const ExportResult r = ExportSettings(s.link, vt, ExportMode::File);
    uint32_t took = TicksSince(start);
    EXPECT_FALSE(r.ok) << what;
    EXPECT_TRUE(r.reason == reason || r.reason == alsoReason) << what << ": " << int(r.reason);
    EXPECT_GE(took, atLeast) << what;
    EXPECT_LT(took, below) << what;
    f.refuseAll = f.silent = false;
    f.blockAnnounceLength = -1;
    f.slowBytesMs = f.blockShortBy = 0;
    f.blockFaultKind = sim::BlockKind::Any;
    f.ClearRefused();
    SleepMs(200);
    DrainInput(s.link);
  };
  f.refuseAll = true;
  timed("refusal", Reason::BlockRefused, 100, 1000);
  Refuse(f, kReadFormatBlock);
  timed("format block refused", Reason::NoFormatBlock, 100, 1000);
  f.silent = true;
  timed("silence", Reason::ScannerSilent, 1500, 2500);
  f.slowBytesMs = 150;  // a gap of more than 100 ms inside a chunk
  timed("slow bytes", Reason::ScannerStopped, 100, 1000);
  f.blockFaultKind = sim::BlockKind::Format;
  f.blockShortBy = 10;
  timed("format block cut short", Reason::ScannerStopped, 100, 1000);
  f.blockAnnounceLength = 0xFFFFFFFF;
  timed("announced 0xFFFFFFFF", Reason::BlockTooLong, 0, 1000);
  EXPECT_EQ(test::ReadWholeFile(vt), TextBytes("older"));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"big_S1.bmp", "q_S1.bmp", "unit.vt"}));

  // A scanner that never falls silent: the drain or the header hunt gives up,
  // or a block that came in between runs on.
  s.sim.SetScanData(Bytes(4096, '7'), 1);
  timed("never silent", Reason::UnexpectedData, 0, 1500, Reason::BlockTooLong);
  s.sim.SetScanData({}, 0);

  // A cancel from another thread ends a waiting export.
  f.silent = true;
  LinkCancel cancel;
  s.link.cancel = &cancel;
  std::thread canceller([&] { SleepMs(200), cancel.Raise(); });
  timed("cancelled", Reason::ScannerGone, 150, 1200);
  canceller.join();
}

TEST_F(TransferWithSimulator, ImportChecksAndHandshakeFaults) {
  ExportFrom(2);
  const Bytes file = test::ReadWholeFile(vt);
  auto M = [](MessageId id, Caption c) { return std::make_pair(id, c); };
  auto shown = [](const Connected& c) {
    std::vector<std::pair<MessageId, Caption>> v;
    for (const Message& m : c.prompts.shown) v.emplace_back(m.id, m.caption);
    return v;
  };

  // Another model code: refused, nothing sent.
  Connected other(WithBlocks(3, 4, 700));
  ASSERT_TRUE(other.ok);
  ImportSettingsFromFile(other.link, other.info, other.prompts, vt);
  EXPECT_EQ(shown(other), (std::vector{M(MessageId::NotForThisScanner, Caption::Error2)}));
  EXPECT_TRUE(other.Heard().empty());

  // A handshake failure on the parameter block; the first header is then
  // judged as a format block. A late "*ack" or "*echo" comes 380 ms after the
  // tool's write, past the 250 ms gap the tool waits for it.
  const std::pair<HandshakeFault, std::pair<MessageId, Caption>> faults[] = {
      {HandshakeFault::NoAck, M(MessageId::FeatureNotSupported, Caption::Error3)},
      {HandshakeFault::LateAck, M(MessageId::FeatureNotSupported, Caption::Error3)},
      {HandshakeFault::NoEcho, M(MessageId::TransmitFailed, Caption::DeviceConfiguration)},
      {HandshakeFault::LateEcho, M(MessageId::TransmitFailed, Caption::DeviceConfiguration)},
      {HandshakeFault::NakFinal, M(MessageId::FileTransmitFailed, Caption::DeviceConfiguration)},
      {HandshakeFault::NoFinalAck, M(MessageId::FileTransmitFailed, Caption::DeviceConfiguration)},
  };
  for (const auto& [fault, first] : faults) {
    SCOPED_TRACE(int(fault));
    Connected same(WithBlocks(2, 8, 700));
    ASSERT_TRUE(same.ok);
    same.sim.faults().handshakeFault = fault;
    const auto held = same.info.paramBlock.bytes;
    EXPECT_FALSE(ImportSettingsFromFile(same.link, same.info, same.prompts, vt).succeeded);
    EXPECT_EQ(shown(same), (std::vector{first, M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)}));
    EXPECT_EQ(same.info.paramBlock.bytes, held);
  }

  // What the file lacks is not sent: the parameter block goes, a format
  // block one byte short is refused before it is announced (the other
  // shapes of a cut file are the import plan's).
  {
    test::WriteWholeFile(vt, Bytes(file.begin(), file.end() - 1));
    Connected same(WithBlocks(2, 8, 700));
    ASSERT_TRUE(same.ok);
    EXPECT_FALSE(ImportSettingsFromFile(same.link, same.info, same.prompts, vt).succeeded);
    EXPECT_EQ(shown(same), (std::vector{M(MessageId::IncorrectConfigFile, Caption::OutputDataFormat)}));
    EXPECT_EQ(same.Heard().size(), 3u);  // announcement, header, payload of the parameter block
    EXPECT_EQ(same.sim.ParamBlock(), param);
    EXPECT_EQ(same.info.formatBlock->size(), 700u);
  }

  // A scanner without a format block takes the parameter block alone.
  test::WriteWholeFile(vt, file);
  Connected legacy(WithBlocks(2, 8, 0, false));
  ASSERT_TRUE(legacy.ok);
  EXPECT_TRUE(ImportSettingsFromFile(legacy.link, legacy.info, legacy.prompts, vt).succeeded);
  EXPECT_EQ(legacy.Heard().size(), 3u);
  EXPECT_FALSE(legacy.info.HasFormatBlock());

  // The dialog, cancelled; a file that cannot be read.
  legacy.prompts.shown.clear();
  legacy.prompts.files = {std::nullopt, dir.path()};
  EXPECT_TRUE(ImportSettings(legacy.link, legacy.info, legacy.prompts).cancelled);
  EXPECT_EQ(legacy.prompts.fileRequests.at(0).filters.at(0).second, "*.vt");
  ImportSettings(legacy.link, legacy.info, legacy.prompts);
  EXPECT_EQ(shown(legacy), (std::vector{M(MessageId::OpenFileFailed, Caption::None)}));
}

}  // namespace
}  // namespace varnet
