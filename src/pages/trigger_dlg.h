#pragma once
#include <QWidget>

#include "app/app_state.h"

namespace varnet {

// The "Trigger Settings" page.
class TriggerDlg : public QWidget {
  Q_OBJECT
 public:
  TriggerDlg(AppState& app, QWidget* parent);
  void Refresh();

 private:
  AppState& app_;
};

}  // namespace varnet
