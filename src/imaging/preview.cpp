#include "imaging/preview.h"

namespace varnet {

QImage DecodeCapture(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > size_t(INT32_MAX)) return {};
  return QImage::fromData(data, int(size));
}

QImage ScaleForPreview(const QImage& decoded, int previewHeight) {
  if (decoded.isNull()) return {};
  if (decoded.width() >= kPreviewWidth) {
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

QImage ComposeCapturePreview(const QImage& decoded, const std::optional<BarcodeCorners>& corners,
                             uint8_t decodeArea, int previewHeight) {
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
