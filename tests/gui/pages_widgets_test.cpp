// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>

#include "app/varnet_app.h"
#include "imaging/image_panel.h"
#include "link/protocol.h"
#include "pages/output_format_dlg.h"
#include "pages/trigger_dlg.h"
#include "sim/sim_scanner.h"
#include "support/recording_prompts.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;

namespace {

using Bytes = std::vector<uint8_t>;

// Types each character as a key press carrying its text, as a keyboard
// layout would (QTest's key helpers know ASCII only).
void Type(QLineEdit* edit, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(edit, &press);
  }
}

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override { app.prompts = &prompts; }
  void TearDown() override { CloseLink(app.link); }

  // Connects the link as the main window does, then forgets what was sent.
  void Connect(const char* profile = "usb") {
    scanner = std::make_unique<sim::SimScanner>(sim::ProfileNamed(profile));
    ASSERT_TRUE(scanner->Start());
    ASSERT_TRUE(OpenLink(app.link, scanner->SlavePath(), 115200));
    ASSERT_TRUE(ReadDeviceInformation(app.link, app.device));
    prompts.shown.clear();
    scanner->ClearReceived();
  }
  template <class T = QWidget>
  T* Child(QWidget& page, const char* name) {
    T* w = page.findChild<T*>(name);
    EXPECT_TRUE(w) << name;
    return w;
  }
  QComboBox* List(QWidget& page, const char* name) { return Child<QComboBox>(page, name); }
  QLineEdit* Edit(QWidget& page, const char* name) { return Child<QLineEdit>(page, name); }
  void ClickSet(QWidget& page) { QTest::mouseClick(Child<QPushButton>(page, "setButton"), Qt::LeftButton); }
  bool Enabled(QWidget& page, const char* name) { return Child(page, name)->isEnabled(); }

  AppState app;
  RecordingPrompts prompts;
  std::unique_ptr<sim::SimScanner> scanner;
};

}  // namespace

TEST_F(PagesTest, OutputSetSendsTheExampleFrameThenReadsTheFormatBlockAgain) {
  Connect();
  OutputFormatDlg page(app.Page(), nullptr);
  EXPECT_EQ(List(page, "endingCharacterList")->currentText(), " CRLF");  // the simulator's stored 1
  List(page, "caseConversionList")->setCurrentText(" Upper Case");
  List(page, "leadingCutList")->setCurrentIndex(0);
  List(page, "endingCutList")->setCurrentIndex(0);
  // What the scanner holds after the Set is what the page's copy becomes.
  auto fromScanner = *scanner->FormatBlock();
  std::memcpy(&fromScanner[6 * 8], "C39", 3);
  scanner->SetFormatBlock(fromScanner);

  ClickSet(page);
  ASSERT_TRUE(scanner->WaitReceived(2, 2000));
  auto frames = scanner->Received();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], (Bytes{0x1A, 0x58, 0xA1, 0x4C, 0x01, 0xFF, 0xA2, 0x04, 0x01, 0xFF, 0xA2, 0x02, 0x00, 0xFF,
                              0xA2, 0x03, 0x02, 0xFF, 0xB0, 0x4C, 0x00, 0xFF, 0xB0, 0x45, 0x00, 0xFF, 0xF4, 0xC3}));
  EXPECT_EQ(frames[1], Cmd(kReadFormatBlock));
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetSuccessfully});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Information);
  EXPECT_EQ(app.device.settingsDirty, 1);
  for (size_t off : {pb::CaseConversion, pb::EndingChar, pb::CodeId, pb::CodePage})
    EXPECT_EQ(app.device.paramBlock.U8(off), scanner->ParamBlock()[off]) << off;
  EXPECT_EQ(app.device.paramBlock.U8(pb::CaseConversion), 1);
  EXPECT_EQ(app.device.formatBlock, scanner->FormatBlock());
  EXPECT_TRUE(Enabled(page, "setButton"));
}

TEST_F(PagesTest, SetWithoutAcknowledgementKeepsTheCopies) {
  Connect();
  const DeviceInfo held = app.device;
  scanner->faults().leaveUnacked = true;
  scanner->faults().applyUnacked = false;
  OutputFormatDlg output(app.Page(), nullptr);
  List(output, "caseConversionList")->setCurrentIndex(2);
  Edit(output, "suffixEdit")->setText("NEW");
  ClickSet(output);
  // The output page shows the copies again; the trigger page stays as the user left it.
  EXPECT_EQ(List(output, "caseConversionList")->currentText(), " None");
  EXPECT_EQ(Edit(output, "suffixEdit")->text(), "");
  EXPECT_TRUE(Enabled(output, "setButton"));
  scanner->faults().refuseAll = true;
  TriggerDlg trigger(app.Page(), nullptr);
  Edit(trigger, "startEdit")->setText("GO");
  ClickSet(trigger);
  EXPECT_EQ(Edit(trigger, "startEdit")->text(), "GO");

  EXPECT_EQ(prompts.Ids(), (std::vector{MessageId::SetFailed, MessageId::SetFailed}));
  EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(scanner->Received().size(), 2u);  // no format block request
  EXPECT_EQ(app.device.paramBlock.bytes, held.paramBlock.bytes);
  EXPECT_EQ(app.device.formatBlock, held.formatBlock);
  EXPECT_EQ(app.device.settingsDirty, 0);
}

TEST_F(PagesTest, TriggerSetSendsTheExampleFrameAndWritesBack) {
  Connect();
  TriggerDlg page(app.Page(), nullptr);
  List(page, "pulseTriggerList")->setCurrentText("PNP");
  Edit(page, "startEdit")->setText("ST");
  Edit(page, "stopEdit")->setText("SP");
  Child<QCheckBox>(page, "transmitBadReadCheck")->setChecked(true);
  Edit(page, "badReadEdit")->clear();
  ClickSet(page);
  ASSERT_TRUE(scanner->WaitReceived(1, 2000));
  EXPECT_EQ(scanner->Received(),
            (std::vector<Bytes>{{0x18, 0x58, 0xA1, 0x0F, 0x01, 0xFF, 0xA1, 0x19, 0x53, 0x54, 0xFF, 0xA1, 0x1A,
                                 0x53, 0x50, 0xFF, 0xA1, 0x0E, 0x01, 0xFF, 0xA1, 0x1E, 0x00, 0xFF, 0xF5, 0xB6}}));
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetSuccessfully});
  EXPECT_EQ(app.device.settingsDirty, 1);
  for (size_t off : {144, 145, 156, 168, 169, 170, 178, 179, 180})
    EXPECT_EQ(app.device.paramBlock.U8(off), scanner->ParamBlock()[off]) << off;
  EXPECT_EQ(app.device.paramBlock.Text(168, 10), "ST");

  List(page, "pulseTriggerList")->setCurrentText("NPN");
  page.Refresh();
  EXPECT_EQ(List(page, "pulseTriggerList")->currentText(), "PNP");
}

TEST_F(PagesTest, WithoutFormatBlockThePagesAreDisabled) {
  Connect("legacy");
  OutputFormatDlg output(app.Page(), nullptr);
  for (const char* name : {"codePageList", "symbologyList", "endingCutList", "prefixEdit", "setButton"})
    EXPECT_FALSE(Enabled(output, name)) << name;
  EXPECT_EQ(List(output, "endingCharacterList")->currentText(), " CRLF");  // the general lists still show
  output.OnSetClicked();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(scanner->Received().empty());

  TriggerDlg trigger(app.Page(), nullptr);
  for (const char* name : {"pulseTriggerList", "startEdit", "stopEdit", "badReadEdit", "setButton"})
    EXPECT_FALSE(Enabled(trigger, name)) << name;
  EXPECT_TRUE(Enabled(trigger, "transmitBadReadCheck"));
}

TEST_F(PagesTest, ModelFiveListShortBlockAndTextFields) {
  app.device.paramBlock.SetU8(pb::ModelCode, 5);
  std::memcpy(&app.device.paramBlock.bytes[pb::StartCommand], "0123456789", 10);
  app.device.formatBlock = FormatBlock(285, 0);
  (*app.device.formatBlock)[0] = 'A';
  OutputFormatDlg page(app.Page(), nullptr);
  ASSERT_EQ(List(page, "symbologyList")->count(), 16);
  EXPECT_EQ(List(page, "symbologyList")->itemText(15), "Interleaved 2 of 5");
  // Slot 0: the prefix lies inside the 285 bytes; the suffix (280..287) and the cuts do not.
  EXPECT_EQ(Edit(page, "prefixEdit")->text(), "A");
  EXPECT_TRUE(Enabled(page, "prefixEdit"));
  EXPECT_FALSE(Enabled(page, "suffixEdit"));
  EXPECT_FALSE(Enabled(page, "leadingCutList"));
  EXPECT_EQ(List(page, "leadingCutList")->currentIndex(), -1);
  List(page, "symbologyList")->setCurrentText("UPC-A");  // slot 1: prefix at 8..15, zero
  EXPECT_EQ(Edit(page, "prefixEdit")->text(), "");

  TriggerDlg trigger(app.Page(), nullptr);
  EXPECT_EQ(Edit(trigger, "startEdit")->text(), "0123456789");  // a full stored field shows whole
  QLineEdit* stop = Edit(trigger, "stopEdit");
  stop->clear();
  Type(stop, QString::fromUtf8("A\xC3\xBF"
                               "B\xE4\xB8\xAD"
                               "CDEFGHIJ"));  // ÿ and a Chinese character refused
  EXPECT_EQ(trigger.Shown().stopCommand, "ABCDEFGH");
}

// Representative texts: the exposure and gain labels as they are built, and one per page.
TEST_F(PagesTest, ChineseLabels) {
  InstallTranslations(*QCoreApplication::instance(), kLangChinese);
  app.UiLanguage = kLangChinese;
  app.device.formatBlock = FormatBlock(640, 0);
  app.device.paramBlock.SetU16(58, 300);  // fixed exposure; a gain of 0 shows as 72
  {
    OutputFormatDlg output(app.Page(), nullptr);
    TriggerDlg trigger(app.Page(), nullptr);
    ImagePanel panel(app.Page(), app.imaging, app.metrics, nullptr);
    EXPECT_EQ(panel.ExposureLabel()->text(), QString::fromUtf8("曝光: 300"));
    EXPECT_EQ(panel.GainLabel()->text(), QString::fromUtf8("增益: 72"));
    panel.SetFixedExposureChecked(false);
    panel.UpdateExposureGainControls(true);
    EXPECT_EQ(panel.ExposureLabel()->text(), QString::fromUtf8("自动曝光"));
    EXPECT_EQ(output.findChild<QGroupBox*>()->title(), QString::fromUtf8("条码资料编辑"));
    EXPECT_EQ(trigger.findChildren<QLabel*>().at(1)->text(), QString::fromUtf8("扫描开使指令"));
    EXPECT_EQ(List(output, "caseConversionList")->itemText(1), " Upper Case");  // one language only
  }
  InstallTranslations(*QCoreApplication::instance(), kLangEnglish);
}
