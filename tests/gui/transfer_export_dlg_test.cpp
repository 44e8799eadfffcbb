// SPDX-License-Identifier: Apache-2.0
// The export page against the simulated scanner: the controls it offers,
// what its buttons send, write and show, and that it is disabled while a
// transfer holds the interface thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <iterator>
#include <sstream>

#include "app/varnet_app.h"
#include "link/device_info.h"
#include "sim/sim_scanner.h"
#include "support/pdf_tools.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "support/wire.h"
#include "transfer/export_dlg.h"
#include "ui_common/link_texts.h"

using namespace varnet;
using namespace varnet::test;
using ::testing::AnyOf;
using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;
using Filters = std::vector<std::pair<std::string, std::string>>;

namespace {

class ExportDlgTest : public ::testing::Test {
 protected:
  void Connect(const char* profile) {
    sim_ = std::make_unique<sim::SimScanner>(sim::ProfileNamed(profile));
    ASSERT_TRUE(sim_->Start());
    app.prompts = &prompts;
    ASSERT_TRUE(OpenLink(app.link, sim_->SlavePath(), 921600));
    ASSERT_TRUE(ReadDeviceInformationWithNotice(app.link, app.device, prompts));
    page = std::make_unique<ExportDlg>(app.Page(), nullptr);
    // Whether the page was enabled whenever it asked or told something.
    prompts.whileUp = [this] { enabled.push_back(page->isEnabled()); };
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
  }
  // Presses a button with these file answers; returns the one message shown.
  std::optional<Message> Press(QAbstractButton* button, std::deque<std::optional<std::string>> files = {}) {
    prompts.shown.clear();
    prompts.fileRequests.clear();
    enabled.clear();
    prompts.files = std::move(files);
    QTest::mouseClick(button, Qt::LeftButton);
    // Disabled while it asked and told, enabled again afterwards.
    for (bool e : enabled) EXPECT_FALSE(e);
    EXPECT_TRUE(page->isEnabled());
    EXPECT_LE(prompts.shown.size(), 1u);
    if (prompts.shown.empty()) return std::nullopt;
    EXPECT_EQ(prompts.shown[0].caption, Caption::None);
    return prompts.shown[0];
  }
  bool IsBitmap(const std::string& name) {
    Bytes b = std::filesystem::exists(dir.File(name)) ? ReadWholeFile(dir.File(name)) : Bytes{};
    return b.size() > 54 && b[0] == 'B' && b[1] == 'M';
  }

  TempDir dir;
  AppState app;
  RecordingPrompts prompts;
  std::vector<bool> enabled;
  std::unique_ptr<sim::SimScanner> sim_;
  std::unique_ptr<ExportDlg> page;
};

MATCHER_P2(Is, id, icon, "") { return arg && arg->id == id && arg->icon == icon; }
MATCHER_P(FailedFor, reason, "") {
  return arg && arg->id == MessageId::ExportFailed && arg->icon == Icon::Error && arg->reason == reason;
}

}  // namespace

// Each choice asks for its own kind of file and writes it; the settings file
// then imports back.
TEST_F(ExportDlgTest, EachChoiceWritesItsFileAndTheSettingsFileImportsBack) {
  ASSERT_NO_FATAL_FAILURE(Connect("usb"));
  page->SetScannerTexts({"HS2D-V2.41.07", "SN2D00012345"});
  EXPECT_TRUE(page->QrRadio()->isChecked());
  EXPECT_TRUE(page->FileRadio()->isEnabled() && page->ImportButton()->isEnabled());
  // Whatever the font, the radio texts end before the export button; the sheet is the third choice.
  for (QRadioButton* radio : {page->QrRadio(), page->FileRadio(), page->SheetRadio()})
    EXPECT_LE(radio->x() + radio->sizeHint().width(), page->ExportButton()->x());
  EXPECT_EQ(page->SheetRadio()->text(), "Export Settings to Printable Sheet (PDF)");
  EXPECT_GT(page->SheetRadio()->y(), page->FileRadio()->y());
  EXPECT_LT(page->SheetRadio()->geometry().bottom(), page->ImportButton()->y());

  for (auto [radio, name] : {std::pair{page->QrRadio(), "SetScanner.bmp"},
                             {page->FileRadio(), "SetScanner.vt"},
                             {page->SheetRadio(), "SetScanner.pdf"}}) {
    QTest::mouseClick(radio, Qt::LeftButton);
    EXPECT_THAT(Press(page->ExportButton(), {dir.File(name)}), Is(MessageId::ExportedSuccessfully, Icon::Information));
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].defaultName, name);
  }
  // The last one asked for the sheet: its own filter first.
  EXPECT_EQ(prompts.fileRequests[0].filters,
            (Filters{{"Settings sheet (*.pdf)", "*.pdf"}, {"All Files (*.*)", "*.*"}}));
  EXPECT_TRUE(IsBitmap("SetScanner_S1.bmp") && IsBitmap("SetScanner_S2.bmp"));
  EXPECT_THAT(PdfText(dir.File("SetScanner.pdf")), HasSubstr("SN2D00012345"));

  const Bytes param = sim_->ParamBlock();
  Bytes changed = param;
  changed[pb::ScanMode] ^= 0x03;
  sim_->SetParamBlock(changed);
  EXPECT_THAT(Press(page->ImportButton(), {dir.File("SetScanner.vt")}),
              Is(MessageId::ImportedSuccessfully, Icon::Information));
  EXPECT_EQ(sim_->ParamBlock(), param);
}

TEST_F(ExportDlgTest, QrExportFailureAndCancelLeaveThePageUsable) {
  ASSERT_NO_FATAL_FAILURE(Connect("usb"));
  // Why a destination failed is told with the message.
  EXPECT_THAT(Press(page->ExportButton(), {dir.File("missing/codes.bmp")}), FailedFor(Reason::FolderMissing));
  if (const std::string locked = FolderNobodyMayWrite(); !locked.empty()) {
    EXPECT_THAT(Press(page->ExportButton(), {locked + "/codes.bmp"}), FailedFor(Reason::FilePermission));
  }
  Refuse(sim_->faults(), kReadParamBlock);
  EXPECT_THAT(Press(page->ExportButton(), {dir.File("refused.bmp")}), FailedFor(Reason::BlockRefused));
  sim_->faults().ClearRefused();
  sim_->ClearReceived();
  EXPECT_EQ(Press(page->ExportButton()), std::nullopt);  // cancelled: nothing sent either
  EXPECT_TRUE(sim_->Received().empty());
  EXPECT_THAT(Press(page->ExportButton(), {dir.File("again.bmp")}),
              Is(MessageId::ExportedSuccessfully, Icon::Information));
}

TEST_F(ExportDlgTest, WithoutFormatBlockOnlyQrExportAndRestoreAreOffered) {
  ASSERT_NO_FATAL_FAILURE(Connect("legacy"));
  ASSERT_FALSE(app.device.HasFormatBlock());
  EXPECT_TRUE(page->QrRadio()->isChecked());
  EXPECT_FALSE(page->FileRadio()->isEnabled() || page->SheetRadio()->isEnabled() || page->ImportButton()->isEnabled());
  EXPECT_TRUE(page->ExportButton()->isEnabled() && page->RestoreButton()->isEnabled());

  // The first symbol is written, then the missing format block fails it.
  EXPECT_THAT(Press(page->ExportButton(), {dir.File("old.bmp")}), FailedFor(Reason::NoFormatBlock));
  EXPECT_TRUE(IsBitmap("old_S1.bmp"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("old_S2.bmp")));
}

TEST_F(ExportDlgTest, SheetFailureAndTheSheetInChinese) {
  ASSERT_NO_FATAL_FAILURE(Connect("usb"));
  QTest::mouseClick(page->SheetRadio(), Qt::LeftButton);
  EXPECT_THAT(Press(page->ExportButton(), {dir.File("missing/sheet.pdf")}), FailedFor(Reason::FolderMissing));
  const std::string pdf = dir.File("sheet.pdf");

  // In Chinese: the page's texts, and the sheet's headings and labels in an embedded CJK font.
  InstallTranslations(*QCoreApplication::instance(), kLangChinese);
  app.UiLanguage = kLangChinese;
  page = std::make_unique<ExportDlg>(app.Page(), nullptr);
  EXPECT_EQ(page->SheetRadio()->text(), QString::fromUtf8("汇出扫码器设置码打印页 (PDF)"));
  EXPECT_EQ(page->FileRadio()->text(), QString::fromUtf8("汇出扫码器设置档"));
  QTest::mouseClick(page->SheetRadio(), Qt::LeftButton);
  const auto shown = Press(page->ExportButton(), {pdf});
  InstallTranslations(*QCoreApplication::instance(), kLangEnglish);
  EXPECT_THAT(shown, Is(MessageId::ExportedSuccessfully, Icon::Information));
  const std::string text = PdfText(pdf);
  for (const char* part : {"扫码器设置码", "设置码 1/2", "扫描设置", "扫描模式", "电位触发", "输出设置", "前缀字元"})
    EXPECT_THAT(text, HasSubstr(part));
  const std::string fonts = Shell("pdffonts " + ShellQuoted(pdf));
  EXPECT_THAT(fonts, AnyOf(HasSubstr("WenQuanYi"), HasSubstr("CJK")));
  // Every font embedded: "emb" is the fifth column from the end.
  std::istringstream lines(fonts);
  std::string line;
  for (int header = 0; header < 2; ++header) std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::vector<std::string> columns{std::istream_iterator<std::string>(in), {}};
    EXPECT_TRUE(columns.size() >= 5 && columns[columns.size() - 5] == "yes") << line;
  }
}

TEST_F(ExportDlgTest, RestoreSendsTheCommandReReadsBothBlocksAndMarksTheSettingsChanged) {
  ASSERT_NO_FATAL_FAILURE(Connect("usb"));
  const Bytes defaults = sim_->DefaultParam();
  Bytes param = defaults;
  param[pb::ScanMode] ^= 0x03;
  const std::vector<Bytes> frames = {{0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44},
                                     Cmd(kReadParamBlock),
                                     Cmd(kReadFormatBlock)};
  // Acknowledged, then not: the message only for the first, the blocks read back both times.
  for (bool acked : {true, false}) {
    SCOPED_TRACE(acked ? "acknowledged" : "unacknowledged");
    sim_->faults().leaveUnacked = !acked;
    sim_->SetParamBlock(param);
    ASSERT_TRUE(RefreshBlocks(app.link, app.device));
    sim_->ClearReceived();
    app.device.settingsDirty = 0;
    const auto shown = Press(page->RestoreButton());
    if (acked) EXPECT_THAT(shown, Is(MessageId::RestoreSuccessfully, Icon::Information));
    else EXPECT_EQ(shown, std::nullopt);
    EXPECT_EQ(sim_->Received(), frames);
    EXPECT_EQ(Bytes(app.device.paramBlock.bytes.begin(), app.device.paramBlock.bytes.end()),
              Bytes(defaults.begin(), defaults.begin() + ParamBlock::kSize));
    EXPECT_EQ(app.device.settingsDirty, 1);
    EXPECT_FALSE(app.link.LinkBusy);
  }
  // No answer at all: nothing shown, the settings are not marked changed.
  sim_->faults().silent = true;
  app.device.settingsDirty = 0;
  EXPECT_EQ(Press(page->RestoreButton()), std::nullopt);
  EXPECT_EQ(app.device.settingsDirty, 0);
  EXPECT_FALSE(app.link.LinkBusy);
}
