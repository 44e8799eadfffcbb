#include "pages/trigger_dlg.h"

namespace varnet {

TriggerDlg::TriggerDlg(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName("TriggerDlg");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

void TriggerDlg::Refresh() {}

}  // namespace varnet
