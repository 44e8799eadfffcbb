// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <QRadioButton>

#include <memory>
#include <vector>

#include "app/varnet_app.h"
#include "app/varnet_dlg.h"
#include "sim/sim_scanner.h"
#include "support/fake_registry.h"
#include "support/gui_helpers.h"
#include "support/recording_prompts.h"

namespace varnet::test {

// The main window on a 1920x1080 screen, simulated scanners to plug in, and
// a registry that lists the ports the test names.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.prompts = &prompts;
    dlg = std::make_unique<CVarnetDlg>(app, registry);
    dlg->Initialise(1920, 1080);
  }
  sim::SimScanner& Plug(sim::Profile profile) {
    scanners.push_back(std::make_unique<sim::SimScanner>(std::move(profile)));
    EXPECT_TRUE(scanners.back()->Start());
    return *scanners.back();
  }
  sim::SimScanner& Plug(const char* profile = "usb") { return Plug(sim::ProfileNamed(profile)); }
  void Search(bool settingMode = false) {
    if (settingMode) dlg->findChild<QRadioButton*>("settingModeRadio")->click();
    if (!dlg->Searching()) dlg->StartSearch();
    ASSERT_TRUE(WaitUntil([&] { return !dlg->Searching(); }, 30000));
  }
  void SelectRow(int row) { dlg->DeviceList()->setCurrentItem(dlg->DeviceList()->topLevelItem(row)); }
  void ConnectRow(int row) {
    SelectRow(row);
    dlg->Connect();
  }

  std::vector<std::unique_ptr<sim::SimScanner>> scanners;
  AppState app;
  RecordingPrompts prompts;
  FakeRegistry registry;
  std::unique_ptr<CVarnetDlg> dlg;
};

}  // namespace varnet::test
