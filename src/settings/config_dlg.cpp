#include "settings/config_dlg.h"

#include <QPalette>

namespace varnet {

ConfigDlg::ConfigDlg(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName("ConfigDlg");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(88, 88, 88));
  pal.setColor(QPalette::WindowText, QColor(218, 218, 218));
  setPalette(pal);

  texts_ = ReadScannerTexts(app_.link, app_.device, 250);
  auto* fwLabel = new QLabel(tr("FW Version :"), this);
  fwLabel->setGeometry(20, 12, 90, 20);
  fwValue_ = new QLabel(QString::fromStdString(texts_.firmware), this);
  fwValue_->setObjectName("fwValue");
  fwValue_->setGeometry(110, 12, 260, 20);
  auto* snLabel = new QLabel(tr("S/N :"), this);
  snLabel->setGeometry(20, 36, 90, 20);
  snValue_ = new QLabel(QString::fromStdString(texts_.serial), this);
  snValue_->setObjectName("snValue");
  snValue_->setGeometry(110, 36, 260, 20);
}

void ConfigDlg::SelectCategory(int category) { category_ = category; }

void ConfigDlg::SetFixedExposureChecked(bool) {}

void ConfigDlg::UpdateExposureGainControls(bool) {}

}  // namespace varnet
