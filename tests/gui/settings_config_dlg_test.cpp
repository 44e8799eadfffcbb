// SPDX-License-Identifier: Apache-2.0
// The settings page against the simulated scanner: what a click sends,
// what the rows and the parameter block copy show afterwards.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <tuple>

#include "app/varnet_app.h"
#include "link/device_info.h"
#include "link/protocol.h"
#include "settings/config_dlg.h"
#include "sim/sim_scanner.h"
#include "support/recording_prompts.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;
using Ticks = std::vector<bool>;

namespace {

class ConfigDlgTest : public ::testing::Test {
 protected:
  void Connect(sim::Profile profile, uint32_t baud = 115200) {
    sim_ = std::make_unique<sim::SimScanner>(std::move(profile));
    ASSERT_TRUE(sim_->Start());
    app.prompts = &prompts;
    app.imaging.ImageModeState = kSettingMode;
    ASSERT_TRUE(OpenLink(app.link, sim_->SlavePath(), baud));
    app.link.LinkPortName = sim_->SlavePath();
    ASSERT_TRUE(ReadDeviceInformation(app.link, app.device));
    sim_->ClearReceived();
    prompts.shown.clear();
    page = std::make_unique<ConfigDlg>(app.Page(), app.imaging, app.metrics, nullptr);
    page->resize(1500, 900);
  }
  void Connect(const char* profileName) { Connect(sim::ProfileNamed(profileName)); }

  // Frames the scanner received since the page was made, text queries left out.
  std::vector<Bytes> Sent() const { return Writes(sim_->Received()); }

  // Opens a group of a category by its catalogue title through "Functions :".
  void Open(int category, std::string_view title) {
    page->SelectCategory(category);
    for (size_t i = 0; i < page->Groups().size(); ++i)
      if (page->Groups()[i].Title() == title) {
        page->FunctionList()->setCurrentIndex(int(i));
        ASSERT_EQ(page->Options().size(), size_t(page->OptionList()->topLevelItemCount()));
        return;
      }
    FAIL() << "group not shown: " << title;
  }

  // Image index and item value agree on every row; returns the ticks.
  Ticks Shown() const {
    Ticks t = page->RowTicks();
    for (int i = 0; i < page->OptionList()->topLevelItemCount(); ++i)
      EXPECT_EQ(page->OptionList()->topLevelItem(i)->data(0, ConfigDlg::kImageIndexRole).toInt(), t[size_t(i)] ? 1 : 0);
    return t;
  }

  void ClickRow(int row) {
    QTreeWidget* list = page->OptionList();
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
  }

  AppState app;
  RecordingPrompts prompts;
  std::unique_ptr<sim::SimScanner> sim_;
  std::unique_ptr<ConfigDlg> page;
};

}  // namespace

TEST_F(ConfigDlgTest, ScanModeClickOnTheRowInForceSendsNothingAnotherRowOneFrame) {
  Connect("usb");
  page->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
  ASSERT_EQ(page->Category(), 0);
  EXPECT_EQ(page->FunctionList()->currentText(), "Scan Mode");
  EXPECT_EQ(Shown(), (Ticks{true, false, false, false}));

  ClickRow(0);  // "Level Trigger" is in force
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(app.device.settingsDirty, 0);

  ClickRow(1);  // "Sense Mode"
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x05, 0x57, 0xA1, 0x02, 0x02, 0xFE, 0xFF}}));
  EXPECT_EQ(Shown(), (Ticks{false, true, false, false}));
  EXPECT_EQ(app.device.paramBlock.U8(55), 2);
  EXPECT_EQ(sim_->ParamBlock()[55], 2);
  EXPECT_EQ(app.device.settingsDirty, 1);

  // A double click is one click: "Continuous Scane" goes out once. The
  // events in the order a widget receives them.
  QWidget* viewport = page->OptionList()->viewport();
  const QPoint at = page->OptionList()->visualItemRect(page->OptionList()->topLevelItem(2)).center();
  QTest::mousePress(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  EXPECT_EQ(Sent().size(), 2u);
  EXPECT_EQ(Sent().back(), Cmd(0xA1, 0x02, 0x03));
}

// Which rows a click moves is checked on the click logic itself; here, that
// the page shows a switch and a mode choice as the scanner then holds them.
TEST_F(ConfigDlgTest, SymbologySwitchesToggleAndChoicesClearOnlyTheirRows) {
  sim::Profile p = sim::ProfileNamed("usb");
  p.paramBlock[pb::SymbologyMask] &= uint8_t(~0x08);  // EAN-13 off
  p.paramBlock[31] = 0x06;  // MSI: bit 0 clear and bit 2 set (two modes read in force), transmit on
  Connect(p);

  Open(2, "Readable Symbologies");
  ASSERT_EQ(page->OptionList()->topLevelItem(3)->text(0), "EAN-13");
  EXPECT_FALSE(Shown()[3]);
  page->ApplyClickedOption(3);
  EXPECT_TRUE(Shown()[3]);
  page->ApplyClickedOption(3);
  EXPECT_FALSE(Shown()[3]);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xB4, 0x01, 0x0E), Cmd(0xB4, 0x01, 0x0D)}));
  EXPECT_EQ(sim_->ParamBlock()[20] & 0x08, 0);
  sim_->ClearReceived();

  Open(2, "MSI");
  EXPECT_EQ(Shown(), (Ticks{true, true, false, false, true}));
  page->ApplyClickedOption(2);  // "MOD10/MOD10"
  EXPECT_EQ(Shown(), (Ticks{false, false, true, false, true}));
  EXPECT_EQ(app.device.paramBlock.U8(31), 0x0B);  // bits 0 and 3, transmit bit 1 kept
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xBC, 0x02, 0x03)}));
}

TEST_F(ConfigDlgTest, BaudRateFollowsOnlyWithAnAcknowledgementInterfaceChangeWarnsOnce) {
  Connect(sim::ProfileNamed("rs232"), 57600);
  Open(3, "RS232 Baud Rate");
  EXPECT_EQ(Shown(), (Ticks{false, false, false, true, false, false}));

  // Refused: the link, the copy and the ticks stay; "Set Failed".
  sim_->faults().RefuseCommand(0xA1, 0x0C, 0x06);
  page->ApplyClickedOption(5);
  EXPECT_EQ(app.link.baud, 57600u);
  EXPECT_EQ(app.device.paramBlock.U32(44), 57600u);
  EXPECT_EQ(Shown(), (Ticks{false, false, false, true, false, false}));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].id, MessageId::SetFailed);
  EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(app.device.settingsDirty, 0);

  page->ApplyClickedOption(4);  // 115200, acknowledged
  EXPECT_EQ(app.link.baud, 115200u);
  EXPECT_EQ(sim_->LineRate(), 115200u);
  EXPECT_EQ(Shown(), (Ticks{false, false, false, false, true, false}));
  EXPECT_EQ(prompts.shown.size(), 1u);
  // The scanner answers at the new rate: the next click goes through.
  page->ApplyClickedOption(0);
  EXPECT_EQ(app.link.baud, 9600u);
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xA1, 0x0C, 0x06), Cmd(0xA1, 0x0C, 0x05), Cmd(0xA1, 0x0C, 0x01)}));

  // Another output interface needs a restart, unless it is the one connected with.
  sim_->ClearReceived();
  prompts.shown.clear();
  ASSERT_EQ(app.device.interfaceAtConnect, 1);
  Open(3, "Output Interface");
  page->ApplyClickedOption(1);  // "USB HID Keyboard"
  ASSERT_EQ(prompts.Ids(), (std::vector<MessageId>{MessageId::RebootNotice}));
  EXPECT_EQ(prompts.shown[0].icon, Icon::Information);
  page->ApplyClickedOption(0);  // "RS-232" again
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xA1, 0x49, 0x02), Cmd(0xA1, 0x49, 0x01)}));
  EXPECT_EQ(Shown(), (Ticks{true, false, false}));
}

TEST_F(ConfigDlgTest, UnacknowledgedClickIsUndoneAndAClickDuringItsMessageIsIgnored) {
  Connect("usb");
  sim_->faults().leaveUnacked = true;
  sim_->faults().applyUnacked = false;
  const ParamBlock before = app.device.paramBlock;
  int reentered = 0;
  prompts.whileUp = [&] {
    ++reentered;
    page->ApplyClickedOption(3);
  };
  page->ApplyClickedOption(2);  // "Continuous Scane", no acknowledgement
  EXPECT_EQ(reentered, 1);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xA1, 0x02, 0x03)}));  // none for row 3
  EXPECT_EQ(prompts.Ids(), (std::vector<MessageId>{MessageId::SetFailed}));
  EXPECT_EQ(Shown(), (Ticks{true, false, false, false}));
  EXPECT_EQ(app.device.paramBlock.bytes, before.bytes);
  EXPECT_EQ(app.device.settingsDirty, 0);
  EXPECT_FALSE(app.link.LinkBusy);

  // Afterwards clicks work again.
  prompts.whileUp = nullptr;
  sim_->faults().leaveUnacked = false;
  page->ApplyClickedOption(3);
  EXPECT_EQ(Shown(), (Ticks{false, false, false, true}));
  EXPECT_EQ(app.device.settingsDirty, 1);
}

TEST_F(ConfigDlgTest, EachCategoryRemembersItsGroupUntilThePageIsMadeAgain) {
  Connect("usb");
  EXPECT_EQ(page->CategorySelector()->count(), 4);
  EXPECT_TRUE(page->CategorySelector()->isHidden());
  EXPECT_EQ(page->RememberedGroup(0), 0);
  EXPECT_EQ(page->RememberedGroup(1), -1);

  Open(1, "Decode Redundancy");
  Open(2, "QR");
  const int qr = page->FunctionList()->currentIndex();
  page->SelectCategory(0);
  EXPECT_EQ(page->FunctionList()->currentText(), "Scan Mode");
  page->SelectCategory(1);
  EXPECT_EQ(page->FunctionList()->currentText(), "Decode Redundancy");
  EXPECT_EQ(page->OptionList()->topLevelItem(0)->text(0), "Disable");
  page->SelectCategory(2);
  EXPECT_EQ(page->FunctionList()->currentIndex(), qr);
  // Out of range: nothing changes.
  page->SelectCategory(4);
  EXPECT_EQ(page->Category(), 2);
  EXPECT_EQ(page->OptionList()->topLevelItem(0)->text(0), "Decode Mirrored QR");

  // Reconnection: a new page starts every tab at its first group.
  page.reset();
  page = std::make_unique<ConfigDlg>(app.Page(), app.imaging, app.metrics, nullptr);
  EXPECT_EQ(page->RememberedGroup(1), -1);
  page->SelectCategory(1);
  EXPECT_EQ(page->FunctionList()->currentIndex(), 0);
  EXPECT_EQ(page->FunctionList()->currentText(), "Decode Area");
}

TEST_F(ConfigDlgTest, WithoutFormatBlockSerialIsUnknowAndInterfaceGroupsAreGreyed) {
  Connect("legacy");
  EXPECT_EQ(page->findChild<QLabel*>("fwValue")->text(), "HS2D-V1.02");
  EXPECT_EQ(page->findChild<QLabel*>("snValue")->text(), "Unknow");
  // The serial number is not even asked for.
  EXPECT_EQ(sim_->Received(), (std::vector<Bytes>{Cmd(kQueryFirmware)}));

  // Only the groups the format block holds are greyed, still showing their ticks; a click there sends nothing.
  Open(3, "Output Interface");
  EXPECT_EQ(Shown(), (Ticks{false, false, true}));
  for (auto [category, title, enabled] : {std::tuple{3, "Output Interface", false},
                                          {3, "USB Keyboard", false},
                                          {3, "RS232 Baud Rate", true},
                                          {1, "Decode Area", false},
                                          {1, "Decode Redundancy", true}}) {
    Open(category, title);
    EXPECT_EQ(page->OptionList()->isEnabled(), enabled) << title;
    if (!enabled) page->ApplyClickedOption(0);
  }
  EXPECT_TRUE(Sent().empty());
}

TEST_F(ConfigDlgTest, ScannerTextsInTheAskedOrderAndChineseLabels) {
  app.UiLanguage = kLangChinese;
  InstallTranslations(*QCoreApplication::instance(), kLangChinese);
  Connect("code5");
  InstallTranslations(*QCoreApplication::instance(), kLangEnglish);
  EXPECT_EQ(sim_->Received(), (std::vector<Bytes>{Cmd(kQueryFirmware), Cmd(kQuerySerial)}));
  EXPECT_EQ(page->findChild<QLabel*>("snValue")->text(), "SNHD5000042");
  EXPECT_TRUE(page->findChild<QLabel*>("functionsLabel")->text().startsWith(QString::fromUtf8("功能")));
  // Code 5 starts at "Power On Beep" and shows the LED colours.
  EXPECT_EQ(page->FunctionList()->itemText(0), QString::fromUtf8("开机提示声"));
  Open(0, "Illumination Level");
  EXPECT_EQ(page->OptionList()->topLevelItem(1)->text(0), QString::fromUtf8("白色光源"));
  EXPECT_EQ(Shown(), (Ticks{false, true, false, false}));
  page->ApplyClickedOption(2);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Cmd(0xA1, 0x04, 0x22)}));
  EXPECT_EQ(app.device.paramBlock.U8(61), 2);
}

TEST_F(ConfigDlgTest, TheSettingsSideLeavesTheImageSideFree) {
  Connect("usb");
  page->show();
  // The drop-down part keeps the system colours.
  page->FunctionList()->showPopup();
  EXPECT_EQ(page->FunctionList()->view()->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::Base));
  page->FunctionList()->hidePopup();
  // The preview sits at x 395 of the main window, the page at x 1.
  for (QWidget* w : page->findChild<QWidget*>("settingsSide")->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->isWindow()) continue;
    const QRect r(w->mapTo(page.get(), QPoint(0, 0)), w->size());
    EXPECT_LT(r.right(), 394) << w->objectName().toStdString();
  }
  EXPECT_GT(page->OptionList()->height(), 500);

  // UpdateExposureGainControls also guards the group selection.
  page->UpdateExposureGainControls(false);
  EXPECT_FALSE(page->FunctionList()->isEnabled());
  EXPECT_FALSE(page->CategorySelector()->isEnabled());
  page->UpdateExposureGainControls(true);
  EXPECT_TRUE(page->FunctionList()->isEnabled());
}
