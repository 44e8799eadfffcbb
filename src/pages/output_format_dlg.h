// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "pages/output_format.h"
#include "ui_common/page_context.h"

namespace varnet {

// The "Output Settings" page: code page, case, code ID and ending character
// for all data, and per symbology the cuts, prefix and suffix. "Set" sends
// every value in one record command.
class OutputFormatDlg : public QWidget {
  Q_OBJECT
 public:
  OutputFormatDlg(const PageContext& page, QWidget* parent);
  // Shows the values held in the blocks.
  void Refresh();
  // What "Set" does; also reachable by clicking the button.
  void OnSetClicked();

  // The lists' and edits' current contents.
  OutputFormatValues Shown() const;

 private:
  void Show(const OutputFormatView& view);
  void EnableControls(bool enable, const EditingFields& fields);

  PageContext page_;
  QComboBox* codePage_ = nullptr;
  QComboBox* caseConversion_ = nullptr;
  QComboBox* codeId_ = nullptr;
  QComboBox* ending_ = nullptr;
  QGroupBox* editing_ = nullptr;
  QComboBox* symbology_ = nullptr;
  QComboBox* leadingCut_ = nullptr;
  QComboBox* endingCut_ = nullptr;
  QLineEdit* prefix_ = nullptr;
  QLineEdit* suffix_ = nullptr;
  QPushButton* set_ = nullptr;
};

}  // namespace varnet
