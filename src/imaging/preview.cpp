// SPDX-License-Identifier: Apache-2.0
#include "imaging/preview.h"

#include <algorithm>
#include <vector>

namespace varnet {

namespace {

// The source pixels an output pixel covers along one axis, with their
// coverage in units of 1/dst of a source pixel (the weights of one output
// add up to src).
struct Taps {
  std::vector<int> first;   // per output: index of the first tap
  std::vector<int> source;  // per tap: source pixel
  std::vector<uint32_t> weight;
};

Taps AreaTaps(int src, int dst) {
  Taps t;
  t.first.reserve(dst + 1);
  for (int o = 0; o < dst; ++o) {
    t.first.push_back(int(t.source.size()));
    int64_t begin = int64_t(o) * src, end = begin + src;  // in units of 1/dst
    for (int64_t i = begin / dst; i * dst < end; ++i) {
      int64_t lo = std::max(begin, i * dst), hi = std::min(end, (i + 1) * dst);
      t.source.push_back(int(i));
      t.weight.push_back(uint32_t(hi - lo));
    }
  }
  t.first.push_back(int(t.source.size()));
  return t;
}

// Area-averaging shrink of an 8-bit grey image straight into 32-bit
// output. Qt's smooth scaling is the same box filter, but it first widens
// the whole frame to 32 bits, which costs more than the scaling itself on
// the grey frames a monochrome imager sends.
QImage ShrinkGrey(const QImage& grey, int dw, int dh) {
  const int sw = grey.width(), sh = grey.height();
  const Taps tx = AreaTaps(sw, dw), ty = AreaTaps(sh, dh);
  const double scale = 1.0 / (double(sw) * double(sh));
  QImage out(dw, dh, QImage::Format_RGB32);
  if (out.isNull()) return out;
  std::vector<uint32_t> acc(static_cast<size_t>(sw));
  for (int y = 0; y < dh; ++y) {
    // Rows first: a plain multiply-add over whole lines.
    std::fill(acc.begin(), acc.end(), 0u);
    for (int k = ty.first[y]; k < ty.first[y + 1]; ++k) {
      const uint8_t* src = grey.constScanLine(ty.source[k]);
      const uint32_t w = ty.weight[k];
      for (int x = 0; x < sw; ++x) acc[x] += w * src[x];
    }
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < dw; ++x) {
      uint64_t sum = 0;
      for (int k = tx.first[x]; k < tx.first[x + 1]; ++k) sum += uint64_t(tx.weight[k]) * acc[tx.source[k]];
      // NOLINTNEXTLINE(bugprone-incorrect-roundings): sum and scale are never negative
      const uint32_t v = uint32_t(double(sum) * scale + 0.5);
      line[x] = 0xFF000000u | v * 0x010101u;
    }
  }
  return out;
}

}  // namespace

QImage DecodeCapture(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > size_t(INT32_MAX)) return {};
  return QImage::fromData(data, int(size));
}

QImage ScaleForPreview(const QImage& decoded, int previewHeight) {
  if (decoded.isNull()) return {};
  if (decoded.width() >= kPreviewWidth) {
    // The row accumulator holds 255 x height in 32 bits.
    if (decoded.format() == QImage::Format_Grayscale8 && decoded.height() >= previewHeight &&
        decoded.height() <= 65535 && previewHeight > 0)
      return ShrinkGrey(decoded, kPreviewWidth, previewHeight);
    QImage scaled = decoded.scaled(kPreviewWidth, previewHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32) scaled = scaled.convertToFormat(QImage::Format_RGB32);
    return scaled;
  }
  return decoded.convertToFormat(QImage::Format_RGB32);
}

void PaintOverlay(QImage& preview, const Overlay& overlay) {
  if (preview.isNull() || overlay.segments.empty()) return;
  if (preview.format() != QImage::Format_RGB32 && preview.format() != QImage::Format_ARGB32)
    preview = preview.convertToFormat(QImage::Format_RGB32);
  const Rgb c = ColourRgb(overlay.colour);
  const QRgb pixel = qRgb(c.r, c.g, c.b);
  DrawOverlay(overlay, preview.width(), preview.height(),
              [&](int x, int y) { reinterpret_cast<QRgb*>(preview.scanLine(y))[x] = pixel; });
}

QImage ComposeCapturePreview(const QImage& decoded, const std::optional<BarcodeCorners>& corners, uint8_t decodeArea,
                             int previewHeight) {
  QImage preview = ScaleForPreview(decoded, previewHeight);
  if (preview.isNull()) return preview;
  PaintOverlay(preview, OverlaySegments(decoded.width(), decoded.height(), previewHeight, corners, decodeArea));
  return preview;
}

QImage MakeThumbnail(const QImage& image) {
  if (image.isNull()) return {};
  return image.scaled(kThumbnailWidth, kThumbnailHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

CaptureImages ComposeCaptureImages(const QImage& decoded, const std::optional<BarcodeCorners>& corners,
                                   uint8_t decodeArea, int previewHeight) {
  CaptureImages out;
  out.preview = ScaleForPreview(decoded, previewHeight);
  if (out.preview.isNull()) return out;
  out.thumbnail = MakeThumbnail(out.preview);
  PaintOverlay(out.preview, OverlaySegments(decoded.width(), decoded.height(), previewHeight, corners, decodeArea));
  return out;
}

}  // namespace varnet
