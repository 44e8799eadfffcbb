// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QImage>
#include <QWidget>

#include "link/scanner_texts.h"
#include "ui_common/page_context.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace varnet {

// The page's 168 x 185 picture: a scanner reading a settings barcode.
QImage ExportIllustration();

// The "Export / Import Settings" page. The export, the import and the
// restore run on the interface thread and hold it for their transfers; the
// page stays disabled meanwhile so none of them can start twice.
class ExportDlg : public QWidget {
  Q_OBJECT
 public:
  ExportDlg(const PageContext& page, QWidget* parent);

  QRadioButton* QrRadio() const { return qrRadio_; }
  QRadioButton* FileRadio() const { return fileRadio_; }
  QRadioButton* SheetRadio() const { return sheetRadio_; }
  QPushButton* ExportButton() const { return exportButton_; }
  QPushButton* ImportButton() const { return importButton_; }
  QPushButton* RestoreButton() const { return restoreButton_; }

  // The firmware and serial number the settings page read, for the sheet's heading.
  void SetScannerTexts(const ScannerTexts& texts) { texts_ = texts; }

 private:
  void OnExport();
  void OnImport();
  void OnRestore();

  PageContext page_;
  QLabel* picture_ = nullptr;
  QGroupBox* frame_ = nullptr;
  QRadioButton* qrRadio_ = nullptr;
  QRadioButton* fileRadio_ = nullptr;
  QRadioButton* sheetRadio_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  QPushButton* restoreButton_ = nullptr;
  ScannerTexts texts_;
};

}  // namespace varnet
