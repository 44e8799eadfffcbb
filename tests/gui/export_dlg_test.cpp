// The export page against the simulated scanner: which controls it offers,
// what its buttons send and write, what they show, and that the page is
// disabled while a transfer holds the interface thread.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>

#include "link/device_info.h"
#include "link/protocol.h"
#include "sim/sim_scanner.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "transfer/export_dlg.h"
#include "transfer/export_settings.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;
using Filters = std::vector<std::pair<std::string, std::string>>;

namespace {

// Records whether the page was enabled whenever it asked or told something.
class PagePrompts : public RecordingPrompts {
 public:
  void Show(const Message& m) override {
    RecordingPrompts::Show(m);
    if (page) enabledWhenAsked.push_back(page->isEnabled());
  }
  std::optional<std::string> ChooseSaveFile(const FileRequest& r) override {
    enabledWhenAsked.push_back(page->isEnabled());
    return RecordingPrompts::ChooseSaveFile(r);
  }
  std::optional<std::string> ChooseOpenFile(const FileRequest& r) override {
    enabledWhenAsked.push_back(page->isEnabled());
    return RecordingPrompts::ChooseOpenFile(r);
  }
  void Clear() {
    shown.clear();
    fileRequests.clear();
    enabledWhenAsked.clear();
  }
  QWidget* page = nullptr;
  std::vector<bool> enabledWhenAsked;
};

class ExportDlgTest : public ::testing::Test {
 protected:
  void Connect(sim::Profile profile) {
    sim_ = std::make_unique<sim::SimScanner>(std::move(profile));
    ASSERT_TRUE(sim_->Start());
    app.prompts = &prompts;
    ASSERT_TRUE(OpenLink(app.link, sim_->SlavePath(), 921600));
    ASSERT_TRUE(ReadDeviceInformation(app.link, app.device, prompts));
    sim_->ClearReceived();
    page = std::make_unique<ExportDlg>(app, nullptr);
    prompts.page = page.get();
    prompts.Clear();
    page->resize(594, 462);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
  }
  void Press(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // Exactly one message, with this icon and no caption.
  void ExpectOnly(MessageId id, Icon icon) {
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].id, id);
    EXPECT_EQ(prompts.shown[0].icon, icon);
    EXPECT_EQ(prompts.shown[0].caption, Caption::None);
  }
  void ExpectDisabledMeanwhileEnabledAfter() {
    EXPECT_FALSE(prompts.enabledWhenAsked.empty());
    for (bool enabled : prompts.enabledWhenAsked) EXPECT_FALSE(enabled);
    EXPECT_TRUE(page->isEnabled());
  }

  TempDir dir;
  AppState app;
  PagePrompts prompts;
  std::unique_ptr<sim::SimScanner> sim_;
  std::unique_ptr<ExportDlg> page;
};

bool IsBitmap(const std::string& path) {
  Bytes b = std::filesystem::exists(path) ? ReadWholeFile(path) : Bytes{};
  return b.size() > 54 && b[0] == 'B' && b[1] == 'M';
}

}  // namespace

TEST_F(ExportDlgTest, FileExportThenImportPutsTheSettingsBack) {
  ASSERT_NO_FATAL_FAILURE(Connect(sim::ProfileNamed("usb")));
  EXPECT_TRUE(page->QrRadio()->isChecked());
  EXPECT_TRUE(page->FileRadio()->isEnabled());
  EXPECT_TRUE(page->ImportButton()->isEnabled());
  // Whatever the font, the radio texts end before the export button.
  for (QRadioButton* radio : {page->QrRadio(), page->FileRadio()})
    EXPECT_LE(radio->x() + radio->sizeHint().width(), page->ExportButton()->x()) << radio->text().toStdString();
  const Bytes param = sim_->ParamBlock();

  Press(page->FileRadio());
  EXPECT_FALSE(page->QrRadio()->isChecked());
  const std::string vt = dir.File("unit.vt");
  prompts.files = {vt};
  Press(page->ExportButton());
  ASSERT_EQ(prompts.fileRequests.size(), 1u);
  EXPECT_EQ(prompts.fileRequests[0].defaultName, "SetScanner.vt");
  EXPECT_EQ(prompts.fileRequests[0].filters, (Filters{{"Setting barcode (*.vt)", "*.vt"}, {"All Files (*.*)", "*.*"}}));
  ExpectOnly(MessageId::ExportedSuccessfully, Icon::Information);
  ExpectDisabledMeanwhileEnabledAfter();
  const Bytes file = ReadWholeFile(vt);
  ASSERT_EQ(file.size(), 56 + param.size() + sim_->FormatBlock()->size());
  EXPECT_EQ(Bytes(file.begin() + 28, file.begin() + 28 + long(param.size())), param);

  // The scanner's settings change; the import brings the exported ones back.
  Bytes changed = param;
  changed[pb::ScanMode] ^= 0x03;
  sim_->SetParamBlock(changed);
  prompts.Clear();
  prompts.files = {vt};
  Press(page->ImportButton());
  ExpectOnly(MessageId::ImportedSuccessfully, Icon::Information);
  ExpectDisabledMeanwhileEnabledAfter();
  EXPECT_EQ(sim_->ParamBlock(), param);

  // A cancelled import shows nothing and gives the page back.
  prompts.Clear();
  Press(page->ImportButton());
  EXPECT_TRUE(prompts.shown.empty());
  ExpectDisabledMeanwhileEnabledAfter();
}

TEST_F(ExportDlgTest, QrExportWritesBothBitmapsFailuresAndCancelLeaveThePageUsable) {
  ASSERT_NO_FATAL_FAILURE(Connect(sim::ProfileNamed("usb")));
  prompts.files = {dir.File("codes.bmp")};
  Press(page->ExportButton());
  ASSERT_EQ(prompts.fileRequests.size(), 1u);
  EXPECT_EQ(prompts.fileRequests[0].defaultName, "SetScanner.bmp");
  EXPECT_EQ(prompts.fileRequests[0].filters, (Filters{{"Setting barcode (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}}));
  ExpectOnly(MessageId::ExportedSuccessfully, Icon::Information);
  ExpectDisabledMeanwhileEnabledAfter();
  EXPECT_TRUE(IsBitmap(dir.File("codes_S1.bmp")));
  EXPECT_TRUE(IsBitmap(dir.File("codes_S2.bmp")));

  // A folder that cannot be written: a failure message, nothing else.
  for (ExportMode mode : {ExportMode::Qr, ExportMode::File}) {
    SCOPED_TRACE(mode == ExportMode::Qr ? "qr" : "file");
    Press(mode == ExportMode::Qr ? page->QrRadio() : page->FileRadio());
    prompts.Clear();
    prompts.files = {dir.File(mode == ExportMode::Qr ? "missing/codes.bmp" : "missing/unit.vt")};
    Press(page->ExportButton());
    ExpectOnly(MessageId::ExportFailed, Icon::Error);
    ExpectDisabledMeanwhileEnabledAfter();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

  // Cancelled: no message, nothing sent, the page back.
  sim_->ClearReceived();
  prompts.Clear();
  Press(page->ExportButton());
  EXPECT_EQ(prompts.fileRequests.size(), 1u);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(sim_->Received().empty());
  ExpectDisabledMeanwhileEnabledAfter();

  // And the link still works after all that.
  prompts.files = {dir.File("again.vt")};
  Press(page->ExportButton());
  ExpectOnly(MessageId::ExportedSuccessfully, Icon::Information);
}

TEST_F(ExportDlgTest, WithoutFormatBlockOnlyQrExportAndRestoreAreOffered) {
  ASSERT_NO_FATAL_FAILURE(Connect(sim::ProfileNamed("legacy")));
  ASSERT_FALSE(app.device.HasFormatBlock());
  EXPECT_TRUE(page->QrRadio()->isChecked());
  EXPECT_FALSE(page->FileRadio()->isEnabled());
  EXPECT_FALSE(page->ImportButton()->isEnabled());
  EXPECT_TRUE(page->ExportButton()->isEnabled());
  EXPECT_TRUE(page->RestoreButton()->isEnabled());

  // Clicks on the disabled controls do nothing.
  Press(page->FileRadio());
  Press(page->ImportButton());
  EXPECT_TRUE(page->QrRadio()->isChecked());
  EXPECT_TRUE(prompts.fileRequests.empty());

  // The first symbol is written, then the missing format block fails it.
  prompts.files = {dir.File("old.bmp")};
  Press(page->ExportButton());
  ASSERT_EQ(prompts.fileRequests.size(), 1u);
  EXPECT_EQ(prompts.fileRequests[0].defaultName, "SetScanner.bmp");
  ExpectOnly(MessageId::ExportFailed, Icon::Error);
  ExpectDisabledMeanwhileEnabledAfter();
  EXPECT_TRUE(IsBitmap(dir.File("old_S1.bmp")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("old_S2.bmp")));
}

TEST_F(ExportDlgTest, RestoreSendsTheCommandReReadsBothBlocksAndMarksTheSettingsChanged) {
  ASSERT_NO_FATAL_FAILURE(Connect(sim::ProfileNamed("usb")));
  // Settings away from the defaults, as the page's copy knows them.
  Bytes param = sim_->ParamBlock(), format = *sim_->FormatBlock();
  param[pb::ScanMode] ^= 0x03;
  format[5] ^= 0xFF;
  sim_->SetParamBlock(param);
  sim_->SetFormatBlock(format);
  ASSERT_TRUE(RefreshBlocks(app.link, app.device));
  sim_->ClearReceived();
  app.device.settingsDirty = 0;

  const Bytes restore = {0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44};
  const Bytes askParam = {0x05, 0x57, 0x0E, 0x0D, 0x08, 0xFF, 0x81}, askFormat = {0x05, 0x57, 0x0E, 0x0D, 0x0A, 0xFF, 0x7F};
  Press(page->RestoreButton());
  EXPECT_EQ(sim_->Received(), (std::vector<Bytes>{restore, askParam, askFormat}));
  ExpectOnly(MessageId::RestoreSuccessfully, Icon::Information);
  ExpectDisabledMeanwhileEnabledAfter();
  const Bytes defaults = sim_->DefaultParam();
  EXPECT_EQ(Bytes(app.device.paramBlock.bytes.begin(), app.device.paramBlock.bytes.end()),
            Bytes(defaults.begin(), defaults.begin() + ParamBlock::kSize));
  EXPECT_EQ(app.device.formatBlock, sim_->DefaultFormat());
  EXPECT_EQ(app.device.settingsDirty, 1);
  EXPECT_EQ(app.link.LinkBusy, 0);

  // Unacknowledged: no message, the blocks are read all the same.
  sim_->faults().leaveUnacked = true;
  sim_->SetParamBlock(param);
  sim_->ClearReceived();
  prompts.Clear();
  app.device.settingsDirty = 0;
  Press(page->RestoreButton());
  EXPECT_EQ(sim_->Received(), (std::vector<Bytes>{restore, askParam, askFormat}));
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(page->isEnabled());
  EXPECT_EQ(app.device.settingsDirty, 1);
}
