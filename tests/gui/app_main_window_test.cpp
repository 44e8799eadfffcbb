// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>

#include <QKeyEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>

#include "app/qt_prompts.h"
#include "app/varnet_app.h"
#include "link/protocol.h"
#include "settings/config_dlg.h"
#include "sim/sim_scanner.h"
#include "support/recording_prompts.h"
#include "support/window_fixture.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;

namespace {

class MainWindowTest : public WindowTest {
 protected:
  // Plugs in a USB scanner, finds it and connects to it in Image Mode.
  sim::SimScanner& Connected() {
    sim::SimScanner& s = Plug();
    registry.Set(0, {s.SlavePath()});
    Search();
    ConnectRow(0);
    EXPECT_TRUE(app.link.IsOpen());
    return s;
  }
};

}  // namespace

// Starts small in Image Mode with an empty list, which closes without a question.
TEST_F(MainWindowTest, ImageModeConnectsAt115200AndShowsTheFirstTab) {
  EXPECT_EQ(dlg->windowTitle(), "Varnet V" VARNET_VERSION);
  EXPECT_EQ(app.imaging.ImageModeState, kImageRunning);
  EXPECT_TRUE(dlg->findChild<QRadioButton*>("imageModeRadio")->isChecked());
  EXPECT_EQ(dlg->DeviceList()->topLevelItemCount(), 0);
  EXPECT_FALSE(dlg->findChild<QPushButton*>("connectButton")->isEnabled());
  EXPECT_FALSE(dlg->Timer().isActive());
  EXPECT_EQ(app.metrics.RowLimit, 15);
  EXPECT_TRUE(dlg->CloseRequest());

  sim::SimScanner& s = Plug();
  registry.Set(0, {s.SlavePath()});
  Search();
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->DeviceList()->topLevelItem(0)->text(1), "Ready");
  EXPECT_EQ(dlg->DeviceList()->topLevelItem(0)->text(3), "HS2D-V2.41.07");
  SelectRow(0);
  EXPECT_TRUE(dlg->findChild<QPushButton*>("connectButton")->isEnabled());
  dlg->Connect();
  ASSERT_TRUE(app.link.IsOpen());
  EXPECT_EQ(app.link.baud, 115200u);
  EXPECT_EQ(app.link.LinkPortName, s.SlavePath());
  ASSERT_EQ(dlg->Tabs()->count(), 7);
  EXPECT_EQ(dlg->Tabs()->tabText(6), "Export / Import Settings");
  EXPECT_EQ(dlg->Tabs()->currentIndex(), 0);
  ASSERT_TRUE(dlg->SettingsPage());
  EXPECT_FALSE(dlg->SettingsPage()->isHidden());
  EXPECT_TRUE(Heard(s.Received(), Cmd(kImageModeOn)));
  EXPECT_TRUE(WaitUntil([&] { return Heard(s.Received(), Cmd(kImageModeStart)); }, 1000));
  EXPECT_FALSE(app.link.LinkBusy);
  EXPECT_TRUE(dlg->Timer().isActive());
  EXPECT_EQ(dlg->Timer().interval(), 100);
  EXPECT_EQ(dlg->width(), dlg->InitialWindowRect().width() * 18 / 10);
  EXPECT_EQ(dlg->height(), 1080 - 1080 / 8);

  // The tabs drive the timer.
  dlg->Tabs()->setCurrentIndex(6);
  EXPECT_FALSE(dlg->Timer().isActive());
  EXPECT_TRUE(dlg->SettingsPage()->isHidden());
  dlg->Tabs()->setCurrentIndex(1);
  EXPECT_TRUE(dlg->Timer().isActive());
  EXPECT_EQ(dlg->Timer().interval(), 250);
  EXPECT_EQ(dlg->SettingsPage()->Category(), 1);
  for (int tab : {4, 5}) {
    dlg->Tabs()->setCurrentIndex(tab);
    EXPECT_FALSE(dlg->Timer().isActive()) << tab;
  }
}

TEST_F(MainWindowTest, SettingModeConnectsAtTheRateTheSearchFound) {
  sim::SimScanner& rs = Plug("rs232");
  registry.Set(0, {}, {rs.SlavePath()});
  Search(true);
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->LastSearch().DeviceTable[0].baud, 57600u);
  ConnectRow(0);
  ASSERT_TRUE(app.link.IsOpen());
  EXPECT_EQ(app.link.baud, 57600u);
  EXPECT_FALSE(Heard(rs.Received(), Cmd(kImageModeOn)));
  dlg->Tabs()->setCurrentIndex(6);
  dlg->Tabs()->setCurrentIndex(2);
  EXPECT_EQ(dlg->Timer().interval(), 100);
}

TEST_F(MainWindowTest, FailedOpenAndFailedConnection) {
  sim::SimScanner& s = Plug();
  registry.Set(0, {s.SlavePath()});
  Search();
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  // Silent now: the port opens, but nobody answers.
  s.faults().silent = true;
  ConnectRow(0);
  EXPECT_FALSE(app.link.IsOpen());
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::ConnectFailed});
  EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(dlg->Tabs()->count(), 0);

  // Gone: the port cannot even be opened.
  s.Vanish();
  prompts.shown.clear();
  ConnectRow(0);
  ASSERT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::OpenComFailed});
  EXPECT_EQ(prompts.shown[0].reason, Reason::PortGone);
  EXPECT_FALSE(dlg->DeviceList()->isHidden());
}

// Closing asks only after a change; the scanner then leaves Image Mode, or
// restarts when a saved change of interface needs that; a new search follows.
TEST_F(MainWindowTest, ClosingTheConnection) {
  struct Case {
    const char* what;
    bool changed, yes, refuseSave, interfaceChanged;
    std::vector<MessageId> shown;
  } cases[] = {
      {"no change", false, false, false, false, {}},
      {"changed, answered no", true, false, false, false, {}},
      {"changed, save refused", true, true, true, false, {MessageId::SaveFailed}},
      {"interface changed and saved", true, true, false, true, {MessageId::SettingsSaved}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimScanner& s = Connected();
    if (c.refuseSave) Refuse(s.faults(), kSave);
    if (c.interfaceChanged) app.device.paramBlock.SetU8(pb::OutputInterface, 1);
    app.device.settingsDirty = c.changed;
    prompts = {};
    prompts.answers = {c.yes};
    EXPECT_FALSE(dlg->CloseRequest());
    EXPECT_EQ(prompts.asked, c.changed ? std::vector{MessageId::SaveAllSettings} : std::vector<MessageId>{});
    EXPECT_EQ(prompts.Ids(), c.shown);
    EXPECT_FALSE(app.link.IsOpen());
    EXPECT_FALSE(app.device.HasFormatBlock());
    EXPECT_EQ(app.device.settingsDirty, 0);
    EXPECT_TRUE(app.link.LinkBusy);
    EXPECT_TRUE(dlg->Searching());
    if (c.interfaceChanged) {
      ASSERT_TRUE(WaitUntil([&] { return Heard(s.Received(), Cmd(kRestart)); }, 1000));
      const auto heard = s.Received();
      EXPECT_EQ(std::vector(heard.end() - 2, heard.end()), (std::vector{Cmd(kSave), Cmd(kRestart)}));
    }
    EXPECT_EQ(Heard(s.Received(), Cmd(kSave)), c.yes);
    EXPECT_EQ(Heard(s.Received(), Cmd(kImageModeOff)), !c.interfaceChanged);
    ASSERT_TRUE(WaitUntil([&] { return !dlg->Searching(); }, 10000));
  }
}

TEST_F(MainWindowTest, UnplugClosesWithoutTheQuestionAnotherScannerIsNoUnplug) {
  sim::SimScanner& s = Connected();
  sim::SimScanner& other = Plug();
  registry.Set(0, {s.SlavePath(), other.SlavePath()});
  dlg->OnTimerTick();
  EXPECT_TRUE(app.link.IsOpen());
  EXPECT_EQ(dlg->LastSearch().usbCount, 2);
  EXPECT_TRUE(prompts.shown.empty());

  app.device.settingsDirty = 1;
  registry.Set(0, {});
  dlg->OnTimerTick();
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_FALSE(app.link.IsOpen());
  EXPECT_EQ(prompts.Ids(), std::vector<MessageId>{MessageId::Disconnected});
  ASSERT_TRUE(WaitUntil([&] { return !dlg->Searching(); }, 10000));
}

TEST_F(MainWindowTest, KeyboardModeRowWaitsForTheScannerToComeBack) {
  registry.Set(1, {});
  Search();
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->DeviceList()->topLevelItem(0)->text(1), "Not Ready");
  SelectRow(0);
  EXPECT_FALSE(dlg->findChild<QLabel*>("connectionBarcode")->isHidden());
  EXPECT_FALSE(dlg->findChild<QPushButton*>("connectButton")->isEnabled());
  EXPECT_EQ(dlg->Timer().interval(), 150);
  EXPECT_TRUE(dlg->Timer().isActive());
  // Double-clicking a keyboard-mode row does nothing.
  emit dlg->DeviceList()->itemDoubleClicked(dlg->DeviceList()->topLevelItem(0), 0);
  EXPECT_FALSE(app.link.IsOpen());
  EXPECT_TRUE(dlg->Timer().isActive());

  registry.Set(0, {Plug().SlavePath()});
  ASSERT_TRUE(WaitUntil([&] { return dlg->Searching(); }, 1000));
  ASSERT_TRUE(WaitUntil([&] { return !dlg->Searching(); }, 10000));
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->DeviceList()->topLevelItem(0)->text(1), "Ready");
}

TEST_F(MainWindowTest, TheBarFollowsTheRateRoundsAndClosingTheWindowEndsTheSearchAtOnce) {
  std::vector<std::string> ports;
  for (int i = 0; i < 3; ++i) {
    Plug("rs232").faults().silent = true;
    ports.push_back(scanners.back()->SlavePath());
  }
  registry.Set(0, {}, ports);
  dlg->findChild<QRadioButton*>("settingModeRadio")->click();
  dlg->StartSearch();
  auto* bar = dlg->findChild<QProgressBar*>("searchProgress");
  ASSERT_TRUE(WaitUntil([&] { return bar->value() == 2; }, 5000));  // the three ports at their second rate
  EXPECT_TRUE(dlg->Searching());
  const auto t0 = std::chrono::steady_clock::now();
  dlg.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  // Each probe closed its own port on the way out.
  for (const std::string& port : ports) {
    ScannerLink link;
    EXPECT_TRUE(OpenLink(link, port, 9600)) << port;
  }
}

TEST_F(MainWindowTest, EnterEscapeAndSpaceDoNothing) {
  dlg->show();
  auto* search = dlg->findChild<QPushButton*>("searchButton");
  search->setFocus();
  int clicks = 0;
  QObject::connect(search, &QPushButton::clicked, [&] { ++clicks; });
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) QTest::keyClick(search, Qt::Key(key));
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->Searching());
}

TEST_F(MainWindowTest, ChineseLocaleSelectsChineseTexts) {
  EXPECT_EQ(UiLanguageFor(QLocale(QLocale::Chinese, QLocale::China)), kLangChinese);
  EXPECT_EQ(UiLanguageFor(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::Singapore)),
            kLangChinese);
  EXPECT_EQ(UiLanguageFor(QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan)), kLangEnglish);
  EXPECT_EQ(UiLanguageFor(QLocale(QLocale::German, QLocale::Germany)), kLangEnglish);

  InstallTranslations(*QCoreApplication::instance(), kLangChinese);
  app.UiLanguage = kLangChinese;
  dlg = std::make_unique<CVarnetDlg>(app, registry);
  dlg->Initialise(1440, 900);
  EXPECT_EQ(app.metrics.RowLimit, 8);
  EXPECT_EQ(dlg->findChild<QPushButton*>("searchButton")->text(), QString::fromUtf8("搜寻"));
  EXPECT_EQ(MessageString(MessageId::ConnectFailed), QString::fromUtf8("连线失败"));
  // English only in both languages.
  EXPECT_EQ(MessageString(MessageId::OpenComFailed), "Open COM Failed");
  registry.Set(0, {Plug().SlavePath()});
  Search();
  ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->DeviceList()->topLevelItem(0)->text(1), QString::fromUtf8("在线"));
  ConnectRow(0);
  ASSERT_EQ(dlg->Tabs()->count(), 7);
  EXPECT_EQ(dlg->Tabs()->tabText(6), QString::fromUtf8("汇出 / 导入设置"));
  dlg.reset();
  InstallTranslations(*QCoreApplication::instance(), kLangEnglish);
  EXPECT_EQ(MessageString(MessageId::ConnectFailed), "Connect Failed");
}
