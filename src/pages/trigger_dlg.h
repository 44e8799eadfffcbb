// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "pages/trigger.h"
#include "ui_common/page_context.h"

namespace varnet {

// The "Trigger Settings" page: pulse trigger polarity, start and stop
// commands and the bad-read message. "Set" sends them in one record command.
class TriggerDlg : public QWidget {
  Q_OBJECT
 public:
  TriggerDlg(const PageContext& page, QWidget* parent);
  // Shows the values held in the ParamBlock.
  void Refresh();
  void OnSetClicked();

  TriggerValues Shown() const;

 private:
  PageContext page_;
  QComboBox* polarity_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* stop_ = nullptr;
  QCheckBox* transmitBadRead_ = nullptr;
  QLineEdit* badRead_ = nullptr;
  QPushButton* set_ = nullptr;
};

}  // namespace varnet
