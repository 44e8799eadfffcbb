// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "imaging/capture_stream.h"
#include "imaging/overlay.h"

namespace varnet {

constexpr int kThumbnailWidth = 30;
constexpr int kThumbnailHeight = 28;

// The capture's JPEG (or any format Qt reads) decoded from memory; a null
// image when it cannot be decoded.
QImage DecodeCapture(const uint8_t* data, size_t size);

// The preview before its overlay, 32-bit: a capture at least 640 wide is
// scaled to 640 x previewHeight with area averaging, a narrower one is
// copied as it is. Null for a null image.
QImage ScaleForPreview(const QImage& decoded, int previewHeight);

// Sets the overlay's pixels in a 32-bit image; points outside are skipped.
void PaintOverlay(QImage& preview, const Overlay& overlay);

// The preview of one capture with its overlay (no corners: none).
QImage ComposeCapturePreview(const QImage& decoded, const std::optional<BarcodeCorners>& corners, uint8_t decodeArea,
                             int previewHeight);

// Exactly 30 x 28, aspect not kept, area averaged. Null for a null image.
QImage MakeThumbnail(const QImage& image);

// Preview and thumbnail of one capture from one decoded picture. The
// thumbnail is made from the scaled preview before the overlay goes on:
// shrinking 640 x P instead of the full frame is much cheaper and looks
// the same at 30 x 28.
struct CaptureImages {
  QImage preview;
  QImage thumbnail;
};
CaptureImages ComposeCaptureImages(const QImage& decoded, const std::optional<BarcodeCorners>& corners,
                                   uint8_t decodeArea, int previewHeight);

}  // namespace varnet
