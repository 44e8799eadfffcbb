#pragma once
#include <QLabel>
#include <QWidget>

#include "app/app_state.h"
#include "link/scanner_texts.h"

namespace varnet {

// The page of the four settings tabs.
class ConfigDlg : public QWidget {
  Q_OBJECT
 public:
  ConfigDlg(AppState& app, QWidget* parent);

  // The main window's tab: selects category c (0..3) and rebuilds the lists.
  void SelectCategory(int category);
  int Category() const { return category_; }
  // "Use Fixed Exposure and Gain Settings" as the tab switch sets it.
  void SetFixedExposureChecked(bool checked);
  void UpdateExposureGainControls(bool enable);
  const ScannerTexts& Texts() const { return texts_; }

 private:
  AppState& app_;
  ScannerTexts texts_;
  int category_ = 0;
  QLabel* fwValue_ = nullptr;
  QLabel* snValue_ = nullptr;
};

}  // namespace varnet
