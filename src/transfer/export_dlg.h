#pragma once
#include <QWidget>

#include "app/app_state.h"

namespace varnet {

// The "Export / Import Settings" page.
class ExportDlg : public QWidget {
  Q_OBJECT
 public:
  ExportDlg(AppState& app, QWidget* parent);

 private:
  AppState& app_;
};

}  // namespace varnet
