// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <memory>

#include "app/app_state.h"
#include "link/discovery.h"

namespace varnet {

class ConfigDlg;
class OutputFormatDlg;
class TriggerDlg;
class ExportDlg;
class SearchWorker;

// The main window: the device list while disconnected, the seven tabs while
// connected.
class CVarnetDlg : public QWidget {
  Q_OBJECT
 public:
  CVarnetDlg(AppState& app, DeviceRegistry& registry, QWidget* parent = nullptr);
  ~CVarnetDlg() override;

  // Start-up with the primary screen's size (tests pass their own).
  void Initialise(int screenWidth, int screenHeight);

  void StartSearch();
  bool Searching() const { return worker_ != nullptr; }
  void Connect();
  void Disconnect();
  // The close flow; true when the window may close (no connection).
  bool CloseRequest();
  void OnTimerTick();

  // For the pages and for tests.
  QTimer& Timer() { return timer_; }
  QTabBar* Tabs() const { return tabs_; }
  QTreeWidget* DeviceList() const { return list_; }
  ConfigDlg* SettingsPage() const { return configPage_; }
  OutputFormatDlg* OutputPage() const { return outputPage_; }
  TriggerDlg* TriggerPage() const { return triggerPage_; }
  ExportDlg* ExportPage() const { return exportPage_; }
  const SearchResult& LastSearch() const { return search_; }
  bool ImageModeSelected() const;
  QRect InitialWindowRect() const { return initialRect_; }

 signals:
  void searchFinished();
  // A keyboard-mode row is selected and the window waits for the scanner to
  // come back as a virtual serial port (the demo simulates the scan).
  void waitingForKeyboardScanner();
  void connected();
  void disconnected();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowDisconnectedLayout(bool show = true);
  void StartTimer(int ms);
  void StopTimer();
  void OnImageModeClicked();
  void OnSettingModeClicked();
  void OnRowChanged();
  void OnTabChanged(int index);
  void OnSearchProgress(int position);
  void OnRowFound(const QStringList& columns);
  void OnSearchDone(const SearchResult& result);
  void SetSearchControlsEnabled(bool enabled);
  void CenterOnScreen();
  int SelectedRow() const;
  bool UnplugDetected();

  AppState& app_;
  DeviceRegistry& registry_;
  QTimer timer_;
  SearchResult search_;
  SearchWorker* worker_ = nullptr;
  class KeySwallower* keySwallower_ = nullptr;
  QRect initialRect_;
  int screenWidth_ = 1920, screenHeight_ = 1080;

  QLabel* banner_ = nullptr;
  QLabel* barcode_ = nullptr;
  QLabel* instruction_ = nullptr;
  QRadioButton* imageRadio_ = nullptr;
  QRadioButton* settingRadio_ = nullptr;
  QPushButton* searchButton_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QWidget* tabArea_ = nullptr;
  ConfigDlg* configPage_ = nullptr;
  OutputFormatDlg* outputPage_ = nullptr;
  TriggerDlg* triggerPage_ = nullptr;
  ExportDlg* exportPage_ = nullptr;
};

// Enter, Escape and Space never press a button or close a window of ours.
class KeySwallower : public QObject {
 public:
  explicit KeySwallower(QWidget* window) : QObject(window), window_(window) {}
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

}  // namespace varnet
