#include "transfer/export_dlg.h"

namespace varnet {

ExportDlg::ExportDlg(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName("ExportDlg");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

}  // namespace varnet
