#pragma once
#include <QWidget>

#include "app/app_state.h"

namespace varnet {

// The "Output Settings" page.
class OutputFormatDlg : public QWidget {
  Q_OBJECT
 public:
  OutputFormatDlg(AppState& app, QWidget* parent);
  // Shows the values held in the blocks.
  void Refresh();

 private:
  AppState& app_;
};

}  // namespace varnet
