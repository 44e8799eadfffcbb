// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <functional>
#include <memory>
#include <thread>

#include "app/app_state.h"
#include "link/discovery.h"
#include "platform/wake_event.h"

namespace varnet {

// Chinese (Simplified) interface when the system locale is Chinese in
// China or written in the Simplified script; English otherwise.
uint16_t UiLanguageFor(const QLocale& locale);

// Installs the program's and Qt's own Chinese texts when lang is Chinese
// (and removes them otherwise).
void InstallTranslations(QCoreApplication& app, uint16_t lang);

// The primary screen's size in the toolkit's pixels (the system's metrics
// where it has them).
QSize ScreenSize();

// The application object: reads the language, runs the main window until
// it closes.
class CVarnetApp : public QApplication {
 public:
  CVarnetApp(int& argc, char** argv);
  ~CVarnetApp() override;
  // The demo passes its simulated registry; the program the system's.
  int Run(DeviceRegistry& registry, const std::function<void(class CVarnetDlg&)>& setup = {});

 private:
  platform::WakeEvent endRequest_, watcherStop_;
  std::thread watcher_;
};

}  // namespace varnet
