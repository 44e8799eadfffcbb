// SPDX-License-Identifier: Apache-2.0
#include "app/images.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <QLinearGradient>
#include <QPainter>

namespace varnet {

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(20, 70, 160));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    // A small matrix symbol: the tool configures 2D imagers.
    p.setBrush(Qt::white);
    int cells = 5;
    double m = size * 0.18, c = (size - 2 * m) / cells;
    static const char* pattern[] = {"10101", "11011", "00110", "10011", "11111"};
    for (int y = 0; y < cells; ++y)
      for (int x = 0; x < cells; ++x)
        if (pattern[y][x] == '1' || x == 0 || y == cells - 1)
          p.drawRect(QRectF(m + x * c, m + y * c, c * 0.92, c * 0.92));
    icon.addPixmap(pm);
  }
  return icon;
}

QPixmap BannerPixmap(const QSize& size) {
  QPixmap pm(size);
  QPainter p(&pm);
  QLinearGradient g(0, 0, size.width(), 0);
  g.setColorAt(0, QColor(12, 52, 128));
  g.setColorAt(1, QColor(40, 120, 210));
  p.fillRect(pm.rect(), g);
  p.setPen(Qt::white);
  QFont title("DejaVu Sans", 28, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(20, 10, size.width() - 40, size.height() / 2 + 10), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("Varnet"));
  QFont line("DejaVu Sans", 12);
  p.setFont(line);
  p.drawText(QRect(22, size.height() / 2 + 24, size.width() - 40, 30), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("Configuration Tool for 2D Imager"));
  return pm;
}

QImage ConnectionBarcode() {
  QImage img(96, 85, QImage::Format_RGB32);
  img.fill(Qt::white);
  ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::DataMatrix);
  writer.setMargin(0);
  ZXing::BitMatrix matrix = writer.encode(std::string("%fvc%"), 0, 0);
  int w = matrix.width(), h = matrix.height();
  if (w <= 0 || h <= 0) return img;
  const int module = 6;
  int ox = (img.width() - w * module) / 2, oy = (img.height() - h * module) / 2;
  QPainter p(&img);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (matrix.get(x, y)) p.fillRect(ox + x * module, oy + y * module, module, module, Qt::black);
  return img;
}

}  // namespace varnet
