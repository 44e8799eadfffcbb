// SPDX-License-Identifier: Apache-2.0
#include "transfer/export_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "transfer/export_settings.h"
#include "transfer/import_settings.h"
#include "transfer/restore_defaults.h"
#include "transfer/settings_sheet.h"
#include "ui_common/prompts.h"

namespace varnet {

namespace {

// The page is laid out in dialog units of the classic 8-point dialog font
// (1.5 x 1.625 pixels), all scaled alike when the desktop font needs more room.
QRect Du(double scale, int x, int y, int w, int h) {
  auto px = [scale](int units, double size) { return int(std::lround(units * size * scale)); };
  return QRect(px(x, 1.5), px(y, 1.625), px(w, 1.5), px(h, 1.625));
}

FileRequest SheetFileRequest() {
  return FileRequest{"SetScanner.pdf", {{"Settings sheet (*.pdf)", "*.pdf"}, {"All Files (*.*)", "*.*"}}};
}

FileRequest ExportFileRequest(ExportMode mode) {
  if (mode == ExportMode::Qr)
    return FileRequest{"SetScanner.bmp", {{"Setting barcode (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}}};
  return FileRequest{"SetScanner.vt", {{"Setting barcode (*.vt)", "*.vt"}, {"All Files (*.*)", "*.*"}}};
}

// A QR-like symbol of 21 x 21 modules: three finder patterns and a fixed
// scatter of modules (it only has to look like a settings barcode).
void DrawSymbol(QPainter& p, QPointF origin, double module) {
  auto cell = [&](int c, int r) {
    p.drawRect(QRectF(origin.x() + c * module, origin.y() + r * module, module, module));
  };
  auto finder = [&](int c0, int r0) {
    for (int r = 0; r < 7; ++r)
      for (int c = 0; c < 7; ++c) {
        bool ring = r == 0 || r == 6 || c == 0 || c == 6;
        bool core = r >= 2 && r <= 4 && c >= 2 && c <= 4;
        if (ring || core) cell(c0 + c, r0 + r);
      }
  };
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x21, 0x21, 0x21));
  finder(0, 0);
  finder(14, 0);
  finder(0, 14);
  uint32_t seed = 0x2D5A1u;
  for (int r = 0; r < 21; ++r)
    for (int c = 0; c < 21; ++c) {
      bool inFinder = (r < 8 && c < 8) || (r < 8 && c > 12) || (r > 12 && c < 8);
      seed = seed * 1103515245u + 12345u;
      if (!inFinder && (seed >> 16) % 100 < 46) cell(c, r);
    }
}

// A small gear, for the settings file.
QPainterPath Gear(QPointF centre, double outer, double inner, int teeth) {
  QPainterPath path;
  const double pi = 3.14159265358979;
  for (int i = 0; i < teeth * 4; ++i) {
    double a = (i - 0.5) * pi / (teeth * 2);
    double r = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
    QPointF pt(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
    if (i == 0) path.moveTo(pt);
    else path.lineTo(pt);
  }
  path.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(centre, inner * 0.45, inner * 0.45);
  return path.subtracted(hole);
}

}  // namespace

QImage ExportIllustration() {
  QImage image(168, 185, QImage::Format_RGB888);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  // Soft backdrop.
  QRadialGradient glow(QPointF(84, 112), 86);
  glow.setColorAt(0, QColor(0xE3, 0xF0, 0xFB));
  glow.setColorAt(1, Qt::white);
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(84, 112), 86, 72);

  // The settings sheet with its barcode.
  const QRectF sheet(14, 84, 84, 92);
  p.setBrush(QColor(0, 0, 0, 28));
  p.drawRoundedRect(sheet.translated(3, 3), 4, 4);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0xB0, 0xBE, 0xC5), 1));
  p.drawRoundedRect(sheet, 4, 4);
  const QPointF symbol(sheet.left() + 11, sheet.top() + 8);
  DrawSymbol(p, symbol, 3.0);
  p.setPen(QPen(QColor(0xCF, 0xD8, 0xDC), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(sheet.left() + 12, sheet.bottom() - 13), QPointF(sheet.right() - 12, sheet.bottom() - 13));
  p.drawLine(QPointF(sheet.left() + 12, sheet.bottom() - 6), QPointF(sheet.right() - 30, sheet.bottom() - 6));

  // The configuration file beside it.
  const QRectF file(108, 118, 44, 56);
  QPainterPath page;
  page.moveTo(file.topLeft());
  page.lineTo(file.right() - 12, file.top());
  page.lineTo(file.right(), file.top() + 12);
  page.lineTo(file.bottomRight());
  page.lineTo(file.bottomLeft());
  page.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 28));
  p.drawPath(page.translated(3, 3));
  p.setPen(QPen(QColor(0xB0, 0xBE, 0xC5), 1));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setBrush(QColor(0xEC, 0xEF, 0xF1));
  QPainterPath fold;
  fold.moveTo(file.right() - 12, file.top());
  fold.lineTo(file.right() - 12, file.top() + 12);
  fold.lineTo(file.right(), file.top() + 12);
  fold.closeSubpath();
  p.drawPath(fold);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1E, 0x88, 0xE5));
  p.drawPath(Gear(QPointF(file.center().x(), file.top() + 26), 11, 8, 8));
  p.setPen(QPen(QColor(0xCF, 0xD8, 0xDC), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(file.left() + 8, file.bottom() - 10), QPointF(file.right() - 8, file.bottom() - 10));

  // The scanner, nose down towards the sheet, drawn level and then turned.
  QTransform turn;
  turn.translate(106, 40);
  turn.rotate(-32);
  turn.scale(0.85, 0.85);
  const QPointF windowTop = turn.map(QPointF(-38, -9)), windowBottom = turn.map(QPointF(-38, 9));

  // Its light on the barcode, under the scanner.
  const QPointF hitLeft(symbol.x() - 4, symbol.y() + 30), hitRight(symbol.x() + 67, symbol.y() + 30);
  QPolygonF beam({windowTop, windowBottom, hitLeft, hitRight});
  QLinearGradient beamFill(windowTop, QPointF(symbol.x() + 30, symbol.y() + 30));
  beamFill.setColorAt(0, QColor(0xE5, 0x39, 0x35, 120));
  beamFill.setColorAt(1, QColor(0xE5, 0x39, 0x35, 30));
  p.setPen(Qt::NoPen);
  p.setBrush(beamFill);
  p.drawPolygon(beam);
  p.setPen(QPen(QColor(0xE5, 0x39, 0x35), 1.6));
  p.drawLine(hitLeft, hitRight);

  p.setTransform(turn);
  QLinearGradient body(QPointF(0, -16), QPointF(0, 16));
  body.setColorAt(0, QColor(0x54, 0x6E, 0x7A));
  body.setColorAt(1, QColor(0x26, 0x32, 0x38));
  // Grip, trigger, head.
  QPainterPath grip;
  grip.moveTo(6, 8);
  grip.lineTo(26, 8);
  grip.cubicTo(30, 26, 36, 44, 40, 58);
  grip.quadTo(32, 66, 22, 62);
  grip.cubicTo(18, 46, 12, 28, 6, 8);
  p.setPen(QPen(QColor(0x1C, 0x25, 0x29), 1));
  p.setBrush(body);
  p.drawPath(grip);
  p.setBrush(QColor(0x1E, 0x88, 0xE5));
  QPainterPath trigger;
  trigger.moveTo(-2, 12);
  trigger.quadTo(-6, 22, 4, 26);
  trigger.lineTo(6, 14);
  trigger.closeSubpath();
  p.drawPath(trigger);
  p.setBrush(body);
  p.drawRoundedRect(QRectF(-40, -15, 82, 30), 11, 11);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1E, 0x88, 0xE5));
  p.drawRoundedRect(QRectF(-20, -15, 48, 5), 2, 2);
  // The window, lit.
  p.setBrush(QColor(0x42, 0x10, 0x10));
  p.drawRoundedRect(QRectF(-42, -10, 6, 20), 2, 2);
  p.setBrush(QColor(0xFF, 0x52, 0x52));
  p.drawRect(QRectF(-41, -3, 3, 6));
  return image;
}

ExportDlg::ExportDlg(const PageContext& page, QWidget* parent) : QWidget(parent), page_(page) {
  setObjectName("ExportDlg");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Base, Qt::white);
  // Black text, but disabled controls keep their grey so they read as such.
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
      pal.setColor(g, r, Qt::black);
  setPalette(pal);

  picture_ = new QLabel(this);
  picture_->setObjectName("exportPicture");
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setPixmap(QPixmap::fromImage(ExportIllustration()));
  frame_ = new QGroupBox(this);
  frame_->setObjectName("exportFrame");
  qrRadio_ = new QRadioButton(tr("Export Settings to QR Barcode"), this);
  qrRadio_->setObjectName("qrRadio");
  fileRadio_ = new QRadioButton(tr("Export Settings to Configuration File"), this);
  fileRadio_->setObjectName("fileRadio");
  sheetRadio_ = new QRadioButton(tr("Export Settings to Printable Sheet (PDF)"), this);
  sheetRadio_->setObjectName("sheetRadio");
  auto* group = new QButtonGroup(this);
  group->addButton(qrRadio_);
  group->addButton(fileRadio_);
  group->addButton(sheetRadio_);
  qrRadio_->setChecked(true);
  exportButton_ = new QPushButton(tr("Export Settings"), this);
  exportButton_->setObjectName("exportButton");
  importButton_ = new QPushButton(tr("Import Settings"), this);
  importButton_->setObjectName("importButton");
  restoreButton_ = new QPushButton(tr("Restore Default Settings"), this);
  restoreButton_->setObjectName("restoreButton");

  // The radio texts must end before the export button (145 units on).
  const int radioText =
      std::max({qrRadio_->sizeHint().width(), fileRadio_->sizeHint().width(), sheetRadio_->sizeHint().width()});
  const double scale = std::max(1.0, (radioText + 6) / (145 * 1.5));
  picture_->setGeometry(Du(scale, 132, 2, 112, 114));
  // The frame reaches a little lower to take the sheet below the two others.
  frame_->setGeometry(Du(scale, 54, 123, 290, 59));
  for (auto [radio, y] : {std::pair{qrRadio_, 136}, std::pair{fileRadio_, 155}, std::pair{sheetRadio_, 170}}) {
    const QRect r = Du(scale, 78, y, 138, 10);
    const int h = std::max(r.height(), radio->sizeHint().height());
    radio->setGeometry(r.x(), r.center().y() - h / 2, std::max(r.width(), radio->sizeHint().width()), h);
  }
  exportButton_->setGeometry(Du(scale, 223, 135, 98, 33));
  importButton_->setGeometry(Du(scale, 55, 185, 289, 35));
  restoreButton_->setGeometry(Du(scale, 54, 227, 291, 37));

  // Configuration files and sheets carry the format block; a scanner without
  // one can only have its settings barcodes made.
  if (!page_.device.formatBlock) {
    importButton_->setEnabled(false);
    fileRadio_->setEnabled(false);
    sheetRadio_->setEnabled(false);
  }

  connect(exportButton_, &QPushButton::clicked, this, &ExportDlg::OnExport);
  connect(importButton_, &QPushButton::clicked, this, &ExportDlg::OnImport);
  connect(restoreButton_, &QPushButton::clicked, this, &ExportDlg::OnRestore);
}

void ExportDlg::OnExport() {
  const ExportMode mode = fileRadio_->isChecked() ? ExportMode::File : ExportMode::Qr;
  const bool sheet = sheetRadio_->isChecked();
  setEnabled(false);
  const std::optional<std::string> path =
      page_.prompts.ChooseSaveFile(sheet ? SheetFileRequest() : ExportFileRequest(mode));
  if (!path) {
    setEnabled(true);
    return;
  }
  const ExportResult result = sheet ? ExportSettingsSheet(page_.link, page_.device, texts_, *path,
                                                          SheetOptions{PageSizeFor(QLocale::system()), page_.Chinese()})
                                    : ExportSettings(page_.link, *path, mode);
  if (result.ok) page_.prompts.Info(MessageId::ExportedSuccessfully);
  else page_.prompts.Show(ExportFailureMessage(result));
  setEnabled(true);
}

void ExportDlg::OnImport() {
  setEnabled(false);
  (void)ImportSettings(page_.link, page_.device, page_.prompts);
  setEnabled(true);
}

void ExportDlg::OnRestore() {
  setEnabled(false);
  (void)RestoreDefaults(page_.link, page_.device, page_.prompts);
  setEnabled(true);
}

}  // namespace varnet
