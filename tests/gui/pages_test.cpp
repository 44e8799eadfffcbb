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
#include "app/varnet_dlg.h"
#include "link/protocol.h"
#include "pages/output_format_dlg.h"
#include "pages/trigger_dlg.h"
#include "sim/sim_scanner.h"
#include "support/fake_registry.h"
#include "support/gui_helpers.h"
#include "support/recording_prompts.h"

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

Bytes Slice(const Bytes& b, size_t off, size_t n) { return {b.begin() + off, b.begin() + off + n}; }
Bytes Slice(const ParamBlock& pb, size_t off, size_t n) { return {pb.bytes.begin() + off, pb.bytes.begin() + off + n}; }

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override { app.prompts = &prompts; }
  void TearDown() override { CloseLink(app.link); }

  // Connects the link as the main window does, then forgets what was sent.
  void Connect(const char* profile = "usb") {
    scanner = std::make_unique<sim::SimScanner>(sim::ProfileNamed(profile));
    ASSERT_TRUE(scanner->Start());
    ASSERT_TRUE(OpenLink(app.link, scanner->SlavePath(), 115200));
    ASSERT_TRUE(ReadDeviceInformation(app.link, app.device, prompts));
    prompts.shown.clear();
    scanner->ClearReceived();
  }
  template <class T>
  T* Child(QWidget& page, const char* name) {
    T* w = page.findChild<T*>(name);
    EXPECT_TRUE(w) << name;
    return w;
  }
  QComboBox* List(QWidget& page, const char* name) { return Child<QComboBox>(page, name); }
  QLineEdit* Edit(QWidget& page, const char* name) { return Child<QLineEdit>(page, name); }
  void ClickSet(QWidget& page) { QTest::mouseClick(Child<QPushButton>(page, "setButton"), Qt::LeftButton); }

  AppState app;
  RecordingPrompts prompts;
  std::unique_ptr<sim::SimScanner> scanner;
};

}  // namespace

TEST_F(PagesTest, OutputSetSendsTheExampleFrameThenReadsTheFormatBlockAgain) {
  Connect();
  OutputFormatDlg page(app, nullptr);
  EXPECT_EQ(List(page, "symbologyList")->count(), 26);
  EXPECT_EQ(List(page, "endingCharacterList")->currentText(), " CRLF");  // the simulator's stored 1
  List(page, "symbologyList")->setCurrentIndex(0);
  List(page, "codePageList")->setCurrentIndex(0);
  List(page, "caseConversionList")->setCurrentIndex(1);
  ASSERT_EQ(List(page, "caseConversionList")->currentText(), " Upper Case");
  List(page, "codeIdList")->setCurrentIndex(0);
  List(page, "endingCharacterList")->setCurrentIndex(1);
  List(page, "leadingCutList")->setCurrentIndex(0);
  List(page, "endingCutList")->setCurrentIndex(0);
  Edit(page, "prefixEdit")->clear();
  Edit(page, "suffixEdit")->clear();
  // Something the scanner changed on its own shows up in the copy read back.
  auto fromScanner = *scanner->FormatBlock();
  std::memcpy(&fromScanner[6 * 8], "C39", 3);
  scanner->SetFormatBlock(fromScanner);

  ClickSet(page);
  ASSERT_TRUE(scanner->WaitReceived(2, 2000));
  auto frames = scanner->Received();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], (Bytes{0x1A, 0x58, 0xA1, 0x4C, 0x01, 0xFF, 0xA2, 0x04, 0x01, 0xFF, 0xA2, 0x02, 0x00, 0xFF,
                              0xA2, 0x03, 0x02, 0xFF, 0xB0, 0x4C, 0x00, 0xFF, 0xB0, 0x45, 0x00, 0xFF, 0xF4, 0xC3}));
  EXPECT_EQ(frames[1], (Bytes{0x05, 0x57, 0x0E, 0x0D, 0x0A, 0xFF, 0x7F}));
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetSuccessfully});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Information);

  EXPECT_EQ(app.device.settingsDirty, 1);
  EXPECT_EQ(app.device.paramBlock.U8(pb::CaseConversion), 1);
  EXPECT_EQ(app.device.paramBlock.U8(pb::EndingChar), 1);
  EXPECT_EQ(app.device.paramBlock.U8(pb::CodeId), 0);
  EXPECT_EQ(app.device.paramBlock.U8(pb::CodePage), 0);
  // The tool's copies agree with the scanner's blocks.
  for (size_t off : {pb::CaseConversion, pb::EndingChar, pb::CodeId, pb::CodePage})
    EXPECT_EQ(app.device.paramBlock.U8(off), scanner->ParamBlock()[off]) << off;
  EXPECT_EQ(app.device.formatBlock, scanner->FormatBlock());
  EXPECT_TRUE(List(page, "symbologyList")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(page, "setButton")->isEnabled());
}

TEST_F(PagesTest, OutputCodePageAndTextsReachTheScannerAndShowAfterRefresh) {
  Connect();
  OutputFormatDlg page(app, nullptr);
  List(page, "symbologyList")->setCurrentText("Code 11");
  EXPECT_EQ(Edit(page, "prefixEdit")->text(), "C11");  // slot 9 of the simulator's block
  List(page, "codePageList")->setCurrentText("Korean");
  List(page, "endingCharacterList")->setCurrentText(" TAB");
  Edit(page, "prefixEdit")->clear();
  Type(Edit(page, "prefixEdit"), QString::fromUtf8("\xC3\xA9tiquette"));  // nine typed, eight kept
  ClickSet(page);
  ASSERT_TRUE(scanner->WaitReceived(2, 2000));
  Bytes record = scanner->Received()[0];
  EXPECT_EQ(Slice(record, 2, 4), (Bytes{0xA1, 0x4C, 0x04, 0xFF}));
  EXPECT_EQ(Slice(record, 14, 4), (Bytes{0xA2, 0x03, 0x04, 0xFF}));
  EXPECT_EQ(scanner->ParamBlock()[pb::CodePage], 6);
  EXPECT_EQ(Slice(*scanner->FormatBlock(), 72, 8), (Bytes{0xE9, 't', 'i', 'q', 'u', 'e', 't', 't'}));

  // Another symbology and back: the page shows what the scanner holds.
  List(page, "symbologyList")->setCurrentIndex(0);
  List(page, "symbologyList")->setCurrentText("Code 11");
  EXPECT_EQ(Edit(page, "prefixEdit")->text(), QString::fromUtf8("\xC3\xA9tiquett"));
  EXPECT_EQ(List(page, "codePageList")->currentText(), "Korean");
  EXPECT_EQ(List(page, "endingCharacterList")->currentText(), " TAB");
  EXPECT_EQ(app.device.paramBlock.U8(pb::EndingChar), 3);
}

TEST_F(PagesTest, OutputWithoutAcknowledgementKeepsTheCopiesAndShowsThemAgain) {
  Connect();
  scanner->faults().leaveUnacked = true;
  scanner->faults().applyUnacked = false;
  OutputFormatDlg page(app, nullptr);
  ParamBlock heldParam = app.device.paramBlock;
  FormatBlock heldFormat = *app.device.formatBlock;
  List(page, "caseConversionList")->setCurrentIndex(2);
  Edit(page, "suffixEdit")->setText("NEW");
  ClickSet(page);
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetFailed});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(scanner->Received().size(), 1u);  // no format block request
  EXPECT_EQ(app.device.paramBlock.bytes, heldParam.bytes);
  EXPECT_EQ(*app.device.formatBlock, heldFormat);
  EXPECT_EQ(app.device.settingsDirty, 0);
  EXPECT_EQ(List(page, "caseConversionList")->currentText(), " None");
  EXPECT_EQ(Edit(page, "suffixEdit")->text(), "");
  EXPECT_TRUE(Child<QPushButton>(page, "setButton")->isEnabled());
}

TEST_F(PagesTest, TriggerSetSendsTheExampleFrameAndWritesBack) {
  Connect();
  TriggerDlg page(app, nullptr);
  List(page, "pulseTriggerList")->setCurrentText("PNP");
  Edit(page, "startEdit")->setText("ST");
  Edit(page, "stopEdit")->setText("SP");
  Child<QCheckBox>(page, "transmitBadReadCheck")->setChecked(true);
  Edit(page, "badReadEdit")->clear();
  ClickSet(page);
  ASSERT_TRUE(scanner->WaitReceived(1, 2000));
  ASSERT_EQ(scanner->Received().size(), 1u);
  EXPECT_EQ(scanner->Received()[0], (Bytes{0x18, 0x58, 0xA1, 0x0F, 0x01, 0xFF, 0xA1, 0x19, 0x53, 0x54, 0xFF, 0xA1, 0x1A,
                                           0x53, 0x50, 0xFF, 0xA1, 0x0E, 0x01, 0xFF, 0xA1, 0x1E, 0x00, 0xFF, 0xF5, 0xB6}));
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetSuccessfully});
  EXPECT_EQ(app.device.settingsDirty, 1);
  const ParamBlock& pb = app.device.paramBlock;
  EXPECT_EQ(pb.U8(pb::PulsePolarity), 1);
  EXPECT_EQ(pb.U8(pb::TransmitBadRead), 1);
  EXPECT_EQ(Slice(pb, 168, 3), (Bytes{'S', 'T', 0}));
  EXPECT_EQ(Slice(pb, 178, 3), (Bytes{'S', 'P', 0}));
  EXPECT_EQ(pb.U8(145), 0);
  for (size_t off : {144, 145, 156, 168, 169, 170, 178, 179, 180})
    EXPECT_EQ(pb.U8(off), scanner->ParamBlock()[off]) << off;

  // The next refresh shows what was written back, not what the list shows.
  List(page, "pulseTriggerList")->setCurrentText("NPN");
  page.Refresh();
  EXPECT_EQ(List(page, "pulseTriggerList")->currentText(), "PNP");
  EXPECT_EQ(Edit(page, "stopEdit")->text(), "SP");
}

TEST_F(PagesTest, TriggerWithoutAcknowledgementChangesNothing) {
  Connect();
  scanner->faults().refuseAll = true;
  TriggerDlg page(app, nullptr);
  ParamBlock held = app.device.paramBlock;
  Edit(page, "startEdit")->setText("GO");
  Child<QCheckBox>(page, "transmitBadReadCheck")->setChecked(!held.U8(pb::TransmitBadRead));
  ClickSet(page);
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::SetFailed});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(app.device.paramBlock.bytes, held.bytes);
  EXPECT_EQ(app.device.settingsDirty, 0);
  EXPECT_EQ(Edit(page, "startEdit")->text(), "GO");  // the page stays as the user left it
}

TEST_F(PagesTest, WithoutFormatBlockThePagesAreDisabled) {
  Connect("legacy");
  ASSERT_FALSE(app.device.HasFormatBlock());
  OutputFormatDlg output(app, nullptr);
  for (const char* name : {"codePageList", "caseConversionList", "codeIdList", "endingCharacterList", "symbologyList",
                           "leadingCutList", "endingCutList"})
    EXPECT_FALSE(List(output, name)->isEnabled()) << name;
  EXPECT_FALSE(Edit(output, "prefixEdit")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(output, "setButton")->isEnabled());
  EXPECT_EQ(List(output, "endingCharacterList")->currentText(), " CRLF");  // the general lists still show
  output.OnSetClicked();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(scanner->Received().empty());

  TriggerDlg trigger(app, nullptr);
  EXPECT_FALSE(List(trigger, "pulseTriggerList")->isEnabled());
  for (const char* name : {"startEdit", "stopEdit", "badReadEdit"}) EXPECT_FALSE(Edit(trigger, name)->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(trigger, "setButton")->isEnabled());
  EXPECT_TRUE(Child<QCheckBox>(trigger, "transmitBadReadCheck")->isEnabled());
}

TEST_F(PagesTest, ModelFiveListAndShortBlock) {
  app.device.paramBlock.SetU8(pb::ModelCode, 5);
  app.device.formatBlock = FormatBlock(285, 0);
  (*app.device.formatBlock)[0] = 'A';
  OutputFormatDlg page(app, nullptr);
  QComboBox* symbology = List(page, "symbologyList");
  ASSERT_EQ(symbology->count(), 16);
  EXPECT_EQ(symbology->itemText(15), "Interleaved 2 of 5");
  // Slot 0: the prefix lies inside the 285 bytes; the suffix (280..287) and the cuts do not.
  EXPECT_EQ(Edit(page, "prefixEdit")->text(), "A");
  EXPECT_TRUE(Edit(page, "prefixEdit")->isEnabled());
  EXPECT_FALSE(Edit(page, "suffixEdit")->isEnabled());
  EXPECT_FALSE(List(page, "leadingCutList")->isEnabled());
  EXPECT_EQ(List(page, "leadingCutList")->currentIndex(), -1);
  EXPECT_TRUE(Child<QPushButton>(page, "setButton")->isEnabled());
}

TEST_F(PagesTest, TextFieldsTakeEightStorableCharactersAndShowLongerStoredOnes) {
  std::memcpy(&app.device.paramBlock.bytes[168], "0123456789", 10);
  app.device.formatBlock = FormatBlock(640, 0);
  TriggerDlg page(app, nullptr);
  EXPECT_EQ(Edit(page, "startEdit")->text(), "0123456789");
  QLineEdit* stop = Edit(page, "stopEdit");
  stop->clear();
  Type(stop, QString::fromUtf8("A\xC3\xBF" "B\xE4\xB8\xAD" "CDEFGHIJ"));  // ÿ and a Chinese character refused
  EXPECT_EQ(stop->text(), "ABCDEFGH");
  EXPECT_EQ(page.Shown().stopCommand, "ABCDEFGH");
}

TEST_F(PagesTest, MainWindowRefreshesThePagesWhenTheirTabsAreChosen) {
  scanner = std::make_unique<sim::SimScanner>(sim::ProfileNamed("usb"));
  ASSERT_TRUE(scanner->Start());
  FakeRegistry registry;
  registry.Set(0, {scanner->SlavePath()});
  CVarnetDlg dlg(app, registry);
  dlg.Initialise(1920, 1080);
  dlg.StartSearch();
  ASSERT_TRUE(WaitUntil([&] { return !dlg.Searching(); }, 10000));
  ASSERT_EQ(dlg.DeviceList()->topLevelItemCount(), 1);
  dlg.DeviceList()->setCurrentItem(dlg.DeviceList()->topLevelItem(0));
  dlg.Connect();
  ASSERT_EQ(dlg.Tabs()->count(), 7);
  auto* output = dlg.findChild<OutputFormatDlg*>();
  auto* trigger = dlg.findChild<TriggerDlg*>();
  ASSERT_TRUE(output && trigger);

  // Changes made elsewhere (another page, a restore) appear when the tab is chosen.
  app.device.paramBlock.SetU8(pb::CaseConversion, 2);
  std::memcpy(&app.device.paramBlock.bytes[pb::StartCommand], "TAB5", 5);
  dlg.Tabs()->setCurrentIndex(4);
  EXPECT_FALSE(output->isHidden());
  EXPECT_EQ(List(*output, "caseConversionList")->currentText(), " Lower Case");
  dlg.Tabs()->setCurrentIndex(5);
  EXPECT_FALSE(trigger->isHidden());
  EXPECT_TRUE(output->isHidden());
  EXPECT_EQ(Edit(*trigger, "startEdit")->text(), "TAB5");
  // The page fits the window it is shown in.
  EXPECT_LE(trigger->mapTo(&dlg, Child<QPushButton>(*trigger, "setButton")->geometry().bottomRight()).y(), dlg.height());
  dlg.Disconnect();
}

TEST_F(PagesTest, ChineseLabels) {
  InstallTranslations(*QCoreApplication::instance(), kLangChinese);
  app.UiLanguage = kLangChinese;
  app.device.formatBlock = FormatBlock(640, 0);
  {
    OutputFormatDlg output(app, nullptr);
    TriggerDlg trigger(app, nullptr);
    auto labels = [](QWidget& page) {
      QStringList l;
      for (auto* label : page.findChildren<QLabel*>()) l << label->text();
      return l;
    };
    EXPECT_EQ(labels(output), QStringList({QString::fromUtf8("输出格式"), QString::fromUtf8("大小写转换"),
                                           QString::fromUtf8("条码识别码"), QString::fromUtf8("结束字元"),
                                           QString::fromUtf8("移除前端字元数"), QString::fromUtf8("移除后端字元数"),
                                           QString::fromUtf8("前缀字元"), QString::fromUtf8("后缀字元")}));
    EXPECT_EQ(output.findChild<QGroupBox*>()->title(), QString::fromUtf8("条码资料编辑"));
    EXPECT_EQ(Child<QPushButton>(output, "setButton")->text(), QString::fromUtf8("设置"));
    EXPECT_EQ(labels(trigger), QStringList({QString::fromUtf8("脉冲触发电位"), QString::fromUtf8("扫描开使指令"),
                                            QString::fromUtf8("扫描停止指令"), QString::fromUtf8("解码失败讯息")}));
    EXPECT_EQ(Child<QCheckBox>(trigger, "transmitBadReadCheck")->text(), QString::fromUtf8(" 发送解码失败讯息"));
    // Option names are the same in both languages.
    EXPECT_EQ(List(output, "caseConversionList")->itemText(1), " Upper Case");
  }
  InstallTranslations(*QCoreApplication::instance(), kLangEnglish);
}
