// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QTreeWidget>
#include <QWidget>

#include <array>
#include <vector>

#include "imaging/imaging_state.h"
#include "link/scanner_texts.h"
#include "settings/catalogue.h"
#include "settings/model_rules.h"
#include "ui_common/page_context.h"
#include "ui_common/window_metrics.h"

namespace varnet {

class ImagePanel;

// The page of the four settings tabs. Its left part holds the settings side
// (scanner texts, "Functions :" and the option list); the right part holds
// the image side, placed relative to the main window.
class ConfigDlg : public QWidget {
  Q_OBJECT
 public:
  // Asks the scanner for its firmware version (and serial number when a
  // format block is held) and shows the first group of category 0.
  ConfigDlg(const PageContext& page, ImagingState& imaging, const WindowMetrics& metrics, QWidget* parent);

  // The main window's tab: selects category c (0..3) and rebuilds the lists,
  // so they show the parameter block copy as it is now.
  void SelectCategory(int category);
  int Category() const;
  // "Use Fixed Exposure and Gain Settings" as the tab switch sets it.
  void SetFixedExposureChecked(bool checked);
  // The group selection follows `enable`; then the exposure and gain side.
  void UpdateExposureGainControls(bool enable);
  ImagePanel* ImageSide() const { return imageSide_; }
  const ScannerTexts& Texts() const { return texts_; }

  // Rebuild "Functions :" for the current category, then the option list.
  void FillFunctionList();
  // Rebuild the option list for the current group.
  void FillOptionList();
  // What a click on an option row does: moves the ticks, sends the choice and
  // reports the outcome. Ignored while a previous click is being applied, on
  // a greyed list and for a row that does not exist.
  void ApplyClickedOption(int row);

  // The group "Functions :" shows for each category when it is entered
  // again, -1 for none.
  int RememberedGroup(int category) const;
  const std::vector<EffectiveGroup>& Groups() const { return groups_; }
  const std::vector<EffectiveOption>& Options() const { return options_; }
  // Item value of every row (true: in force), as a click tests it.
  std::vector<bool> RowTicks() const;

  QComboBox* CategorySelector() const { return categorySelector_; }
  QComboBox* FunctionList() const { return functionList_; }
  QTreeWidget* OptionList() const { return optionList_; }

  // Width of the settings side; the image side starts to the right of it.
  static constexpr int kSettingsSideWidth = 390;
  // Item data roles of an option row.
  static constexpr int kItemValueRole = Qt::UserRole;
  static constexpr int kImageIndexRole = Qt::UserRole + 1;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildSettingsSide();
  void SetRowState(int row, bool inForce);
  void ShowTicks(const std::vector<bool>& ticks);
  const EffectiveGroup* CurrentGroup() const;
  ScannerModel Model() const;

  PageContext page_;
  ImagingState& imaging_;
  const WindowMetrics& metrics_;
  ScannerTexts texts_;
  std::array<int, kCategoryCount> remembered_;
  std::vector<EffectiveGroup> groups_;    // entries of "Functions :"
  std::vector<EffectiveOption> options_;  // rows of the option list
  bool applying_ = false;
  std::array<QIcon, 2> checkImages_;  // 0 empty box, 1 ticked box

  QWidget* settingsSide_ = nullptr;
  QLabel* fwValue_ = nullptr;
  QLabel* snValue_ = nullptr;
  QComboBox* categorySelector_ = nullptr;
  QComboBox* functionList_ = nullptr;
  QTreeWidget* optionList_ = nullptr;
  ImagePanel* imageSide_ = nullptr;
};

}  // namespace varnet
