// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_camera.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace varnet::sim {

namespace {

// The static part of the scene, drawn once: a grey desk with a few shapes
// so that the image is not trivially flat.
const QImage& Background() {
  static std::once_flag once;
  static QImage bg;
  std::call_once(once, [] {
    bg = QImage(kFrameWidth, kFrameHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kFrameHeight; ++y) {
      uchar* line = bg.scanLine(y);
      for (int x = 0; x < kFrameWidth; ++x)
        line[x] = static_cast<uchar>(96 + (x + y) * 48 / (kFrameWidth + kFrameHeight));
    }
    QPainter p(&bg);
    p.fillRect(60, 520, 260, 140, QColor(70, 70, 70));
    p.fillRect(980, 60, 220, 120, QColor(150, 150, 150));
    p.fillRect(900, 560, 300, 40, QColor(110, 110, 110));
  });
  return bg;
}

}  // namespace

CameraShot RenderShot(uint32_t counter, bool withSymbol, int windowW, int windowH) {
  const bool narrow = windowW > 0 && windowH > 0 && windowW <= kFrameWidth && windowH <= kFrameHeight;
  QImage frame = Background().copy();
  CameraShot shot;

  if (withSymbol) {
    char text[32];
    std::snprintf(text, sizeof text, "VARNET-%04u", counter % 10000);
    shot.text = text;
    const ZXing::BitMatrix bits =
        ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(0).encode(shot.text, 0, 0);
    const int modules = bits.width();

    // Module size and the area the symbol may wander in.
    const int spanW = narrow ? windowW : kFrameWidth;
    const int spanH = narrow ? windowH : kFrameHeight;
    const int module = std::clamp(static_cast<int>(std::min(spanW, spanH) * 0.5 / (modules + 8)), 2, 6);
    const double side = modules * module;
    const double label = (modules + 8) * module;  // white label with the quiet zone
    const double reach = label * 0.75;            // half the diagonal, with room to spare
    const double ampX = std::max(0.0, spanW / 2.0 - reach - 4);
    const double ampY = std::max(0.0, spanH / 2.0 - reach - 4);
    const double k = counter;
    const double cx = kFrameWidth / 2.0 + ampX * std::sin(k * 0.7);
    const double cy = kFrameHeight / 2.0 + ampY * std::sin(k * 1.1 + 0.4);
    const double angle = 12.0 * std::sin(k * 0.5);

    QTransform t;
    t.translate(cx, cy);
    t.rotate(angle);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setTransform(t);
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(-label / 2, -label / 2, label, label), QColor(235, 235, 235));
    p.setBrush(QColor(20, 20, 20));
    for (int y = 0; y < modules; ++y)
      for (int x = 0; x < modules; ++x)
        if (bits.get(x, y)) p.drawRect(QRectF(-side / 2 + x * module, -side / 2 + y * module, module, module));
    p.end();

    const QPointF corners[4] = {t.map(QPointF(-side / 2, -side / 2)), t.map(QPointF(side / 2, -side / 2)),
                                t.map(QPointF(side / 2, side / 2)), t.map(QPointF(-side / 2, side / 2))};
    for (int i = 0; i < 4; ++i) {
      shot.corners[2 * i] = static_cast<uint16_t>(std::lround(corners[i].x()));
      shot.corners[2 * i + 1] = static_cast<uint16_t>(std::lround(corners[i].y()));
    }
  }

  if (narrow) frame = frame.copy((kFrameWidth - windowW) / 2, (kFrameHeight - windowH) / 2, windowW, windowH);
  shot.width = frame.width();
  shot.height = frame.height();

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(88);
  writer.write(frame);
  shot.jpeg.assign(bytes.begin(), bytes.end());
  return shot;
}

}  // namespace varnet::sim
