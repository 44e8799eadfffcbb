// Export, import and restore against the simulated scanner.
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "link/ticks.h"
#include "sim/sim_scanner.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "transfer/export_settings.h"
#include "transfer/import_settings.h"
#include "transfer/qr_bitmap.h"
#include "transfer/restore_defaults.h"

namespace varnet {
namespace {

using sim::HandshakeFault;
using sim::SimScanner;
using test::Concat;
using test::TextBytes;

uint32_t Le32(const std::vector<uint8_t>& b, size_t off) {
  return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 | uint32_t(b[off + 3]) << 24;
}

// Decodes one of our bitmaps, with a quiet zone added around it.
std::vector<uint8_t> DecodeBitmap(const std::vector<uint8_t>& bmp) {
  if (bmp.size() < 54) return {};
  const int w = int(Le32(bmp, 18)), margin = 8, side = w + 2 * margin;
  const size_t row = (size_t(w) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> grey(size_t(side) * size_t(side), 0xFF);
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < w; ++x) grey[size_t(y + margin) * size_t(side) + size_t(x + margin)] = bmp[54 + y * row + x * 3];
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  auto r = ZXing::ReadBarcode({grey.data(), side, side, ZXing::ImageFormat::Lum}, hints);
  return r.isValid() ? std::vector<uint8_t>(r.bytes().begin(), r.bytes().end()) : std::vector<uint8_t>{};
}

// One simulated scanner, connected the way the program connects.
struct Connected {
  explicit Connected(sim::Profile p) : sim(std::move(p)) {
    if (!sim.Start() || !OpenLink(link, sim.SlavePath(), 921600)) return;
    ok = ReadDeviceInformation(link, info, prompts);
    sim.ClearReceived();
    prompts.shown.clear();
  }
  SimScanner sim;
  ScannerLink link;
  DeviceInfo info;
  test::ScriptedPrompts prompts;
  bool ok = false;
};

sim::Profile WithBlocks(uint8_t model, uint8_t seed, size_t formatSize) {
  sim::Profile p;
  p.modelCode = model;
  for (size_t i = 20; i < p.paramBlock.size(); ++i) p.paramBlock[i] = uint8_t(i * 3 + seed);
  p.paramBlock[188] |= 0x40;
  p.formatBlock.resize(formatSize);
  for (size_t i = 0; i < formatSize; ++i) p.formatBlock[i] = uint8_t(i * 5 + seed);
  return p;
}

TEST(TransferWithSimulator, ExportThenImportIntoAnotherScanner) {
  test::TempDir dir;
  std::string path = dir.File("unit.vt");
  std::vector<uint8_t> param, format;
  {
    // A format block beyond 1024 bytes travels whole.
    Connected a(WithBlocks(5, 1, 1500));
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(ExportSettings(a.link, path, ExportMode::File));
    param = a.sim.ParamBlock();
    format = *a.sim.FormatBlock();
  }
  std::vector<uint8_t> file = test::ReadWholeFile(path);
  ASSERT_EQ(file.size(), 56 + param.size() + format.size());
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), std::string("%ICF%\0", 6));
  EXPECT_EQ(Le32(file, 8), param.size());
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 28, file.begin() + 28 + long(param.size())), param);
  const size_t second = 28 + param.size();
  EXPECT_EQ(std::string(file.begin() + long(second), file.begin() + long(second) + 6), std::string("%IFF%\0", 6));
  EXPECT_EQ(Le32(file, second + 8), format.size());
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + long(second) + 28, file.end()), format);

  Connected b(WithBlocks(5, 77, 627));
  ASSERT_TRUE(b.ok);
  ImportResult r = ImportSettingsFromFile(b.link, b.info, b.prompts, path);
  EXPECT_TRUE(r.succeeded);
  EXPECT_EQ(b.prompts.ShownIds(), std::vector<MessageId>{MessageId::ImportedSuccessfully});
  EXPECT_EQ(b.sim.ParamBlock(), param);
  EXPECT_EQ(b.sim.FormatBlock(), format);
  EXPECT_TRUE(std::equal(b.info.paramBlock.bytes.begin(), b.info.paramBlock.bytes.end(), param.begin()));
  EXPECT_EQ(b.info.formatBlock, format);
  EXPECT_EQ(b.info.settingsDirty, 0);
}

TEST(TransferWithSimulator, QrExportDecodesToTheBlocks) {
  test::TempDir dir;
  Connected a(WithBlocks(1, 9, 627));
  ASSERT_TRUE(a.ok);
  ASSERT_TRUE(ExportSettings(a.link, dir.File("SetScanner.bmp"), ExportMode::Qr));
  EXPECT_EQ(DecodeBitmap(test::ReadWholeFile(dir.File("SetScanner_S1.bmp"))),
            Concat({TextBytes("%ICF%"), a.sim.ParamBlock()}));
  EXPECT_EQ(DecodeBitmap(test::ReadWholeFile(dir.File("SetScanner_S2.bmp"))),
            Concat({TextBytes("%IFF%"), *a.sim.FormatBlock()}));
}

TEST(TransferWithSimulator, ExportFailures) {
  test::TempDir dir;
  std::string path = dir.File("keep.vt");
  test::WriteWholeFile(path, TextBytes("older"));

  // A scanner without a format block: the first symbol is written, the
  // configuration file is not touched, both report failure.
  Connected legacy(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(legacy.ok);
  EXPECT_FALSE(ExportSettings(legacy.link, path, ExportMode::File));
  EXPECT_EQ(test::ReadWholeFile(path), TextBytes("older"));
  EXPECT_FALSE(ExportSettings(legacy.link, dir.File("q.bmp"), ExportMode::Qr));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"keep.vt", "q_S1.bmp"}));

  // Refusal instead of a block: failure soon after it.
  Connected refusing(sim::Profile{});
  ASSERT_TRUE(refusing.ok);
  refusing.sim.faults().refuseAll = true;
  uint32_t start = TickCount();
  EXPECT_FALSE(ExportSettings(refusing.link, path, ExportMode::File));
  EXPECT_LT(TicksSince(start), 1000u);

  // An announced length beyond the bound.
  Connected huge(sim::Profile{});
  ASSERT_TRUE(huge.ok);
  huge.sim.faults().blockAnnounceLength = 0xFFFFFFFF;
  EXPECT_FALSE(ExportSettings(huge.link, path, ExportMode::File));
  EXPECT_EQ(test::ReadWholeFile(path), TextBytes("older"));
}

TEST(TransferWithSimulator, ImportChecksAndHandshakeFaults) {
  test::TempDir dir;
  std::string path = dir.File("unit.vt");
  {
    Connected a(WithBlocks(2, 3, 700));
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(ExportSettings(a.link, path, ExportMode::File));
  }
  // Another model code: refused, nothing sent.
  Connected other(WithBlocks(3, 4, 700));
  ASSERT_TRUE(other.ok);
  auto before = other.sim.ParamBlock();
  ImportResult r = ImportSettingsFromFile(other.link, other.info, other.prompts, path);
  EXPECT_EQ(other.prompts.ShownIds(), std::vector<MessageId>{MessageId::NotForThisScanner});
  EXPECT_TRUE(other.sim.Received().empty());
  EXPECT_EQ(other.sim.ParamBlock(), before);

  struct Row {
    HandshakeFault fault;
    Message first;
  };
  const Row rows[] = {
      {HandshakeFault::NoAck, {MessageId::FeatureNotSupported, Icon::Error, Caption::Error3}},
      {HandshakeFault::NoEcho, {MessageId::TransmitFailed, Icon::Error, Caption::DeviceConfiguration}},
      {HandshakeFault::NakFinal, {MessageId::FileTransmitFailed, Icon::Error, Caption::DeviceConfiguration}},
      {HandshakeFault::NoFinalAck, {MessageId::FileTransmitFailed, Icon::Error, Caption::DeviceConfiguration}},
  };
  for (const Row& row : rows) {
    Connected same(WithBlocks(2, 8, 700));
    ASSERT_TRUE(same.ok);
    same.sim.faults().handshakeFault = row.fault;
    auto held = same.info.paramBlock.bytes;
    ImportResult result = ImportSettingsFromFile(same.link, same.info, same.prompts, path);
    EXPECT_FALSE(result.succeeded);
    ASSERT_EQ(same.prompts.shown.size(), 2u);
    EXPECT_EQ(same.prompts.shown[0].id, row.first.id);
    EXPECT_EQ(same.prompts.shown[0].caption, row.first.caption);
    EXPECT_EQ(same.prompts.shown[1].id, MessageId::IncorrectConfigFile);
    EXPECT_EQ(same.prompts.shown[1].caption, Caption::OutputDataFormat);
    EXPECT_EQ(same.info.paramBlock.bytes, held);
  }
}

TEST(TransferWithSimulator, RestoreDefaults) {
  Connected s(WithBlocks(1, 5, 700));
  ASSERT_TRUE(s.ok);
  RestoreResult r = RestoreDefaults(s.link, s.info, s.prompts);
  EXPECT_TRUE(r.acknowledged);
  EXPECT_TRUE(r.refreshed);
  EXPECT_EQ(s.sim.RestoreCount(), 1);
  EXPECT_EQ(s.prompts.ShownIds(), std::vector<MessageId>{MessageId::RestoreSuccessfully});
  auto frames = s.sim.Received();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0], (std::vector<uint8_t>{0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44}));
  const std::vector<uint8_t> defaults = s.sim.DefaultParam();
  EXPECT_TRUE(std::equal(s.info.paramBlock.bytes.begin(), s.info.paramBlock.bytes.end(), defaults.begin()));
  EXPECT_EQ(s.info.formatBlock, s.sim.DefaultFormat());
  EXPECT_EQ(s.info.settingsDirty, 1);
  EXPECT_EQ(s.link.LinkBusy, 0);
}

}  // namespace
}  // namespace varnet
