#include "pages/output_format_dlg.h"

namespace varnet {

OutputFormatDlg::OutputFormatDlg(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName("OutputFormatDlg");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

void OutputFormatDlg::Refresh() {}

}  // namespace varnet
