#include <gtest/gtest.h>

#include <QImage>

#include "imaging/preview.h"

namespace varnet {
namespace {

TEST(CapturePictures, AreaAveragedPreviewsAndThumbnails) {
  // One-pixel checks turn grey under area averaging, not under nearest-pixel sampling.
  QImage checks(1280, 720, QImage::Format_RGB32);
  for (int y = 0; y < 720; ++y)
    for (int x = 0; x < 1280; ++x) checks.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
  auto grey = [](const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (std::abs(qGreen(img.pixel(x, y)) - 128) > 37) return false;
    return true;
  };
  CaptureImages images = ComposeCaptureImages(checks, std::nullopt, 0, 360);
  EXPECT_TRUE(grey(images.preview));
  EXPECT_EQ(images.thumbnail.size(), QSize(30, 28));
  EXPECT_TRUE(grey(images.thumbnail));
  EXPECT_EQ(MakeThumbnail(checks.copy(0, 0, 100, 500)).size(), QSize(30, 28));
  EXPECT_EQ(ScaleForPreview(checks.copy(0, 0, 320, 240), 360), checks.copy(0, 0, 320, 240));

  // Grey frames take their own area-averaging path; it must agree with Qt's.
  QImage texture(1280, 720, QImage::Format_Grayscale8);
  for (int y = 0; y < 720; ++y)
    for (int x = 0; x < 1280; ++x) texture.scanLine(y)[x] = uint8_t(x * 7 + y * 13 + (x * y) % 97);
  for (auto [w, h, P] : {std::tuple{1280, 720, 360}, {1280, 720, 320}, {640, 480, 360}, {1001, 703, 320}}) {
    QImage src = texture.copy(0, 0, w, h), ours = ScaleForPreview(src, P);
    QImage qt = src.convertToFormat(QImage::Format_RGB32).scaled(640, P, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), QSize(640, P));
    int worst = 0;
    for (int y = 0; y < P; ++y)
      for (int x = 0; x < 640; ++x) worst = std::max(worst, std::abs(qGreen(ours.pixel(x, y)) - qGreen(qt.pixel(x, y))));
    EXPECT_LE(worst, 2) << w << "x" << h << " to " << P;
  }
}

TEST(CapturePictures, ThumbnailCarriesNoOverlayAndGarbageShowsNothing) {
  QImage flat(1280, 720, QImage::Format_RGB32);
  flat.fill(QColor(128, 128, 128));
  BarcodeCorners box = {{{10, 10}, {1270, 10}, {1270, 710}, {10, 710}}};
  CaptureImages images = ComposeCaptureImages(flat, box, 0, 360);
  EXPECT_EQ(images.preview.pixel(5, 5) & 0xFFFFFF, 0x00FF00u);
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(images.thumbnail.pixel(x, y) & 0xFFFFFF, 0x808080u);
  std::vector<uint8_t> garbage(500, 0x5A);
  EXPECT_TRUE(DecodeCapture(garbage.data(), garbage.size()).isNull());
  EXPECT_TRUE(ComposeCaptureImages(QImage(), box, 0, 360).preview.isNull());
}

}  // namespace
}  // namespace varnet
