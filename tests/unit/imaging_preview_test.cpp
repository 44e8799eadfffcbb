#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "imaging/preview.h"

namespace varnet {
namespace {

// One-pixel black and white checks: any area-averaging shrink turns them
// grey, a nearest-pixel one leaves black or white.
QImage Checks(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
  return img;
}

void ExpectGrey(const QImage& img) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      int g = qGreen(img.pixel(x, y));
      ASSERT_GT(g, 90) << x << "," << y;
      ASSERT_LT(g, 165) << x << "," << y;
    }
}

std::vector<uint8_t> Jpeg(const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "JPEG", 90);
  return {bytes.begin(), bytes.end()};
}

TEST(CapturePictures, ThumbnailIsThirtyByTwentyEightAndAreaAveraged) {
  for (QSize s : {QSize(1280, 720), QSize(100, 500), QSize(20, 10)}) {
    QImage t = MakeThumbnail(Checks(s.width(), s.height()));
    EXPECT_EQ(t.size(), QSize(30, 28)) << s.width();
  }
  ExpectGrey(MakeThumbnail(Checks(1280, 720)));
  EXPECT_TRUE(MakeThumbnail(QImage()).isNull());
}

TEST(CapturePictures, WidePreviewIsAreaAveragedNarrowIsUntouched) {
  QImage wide = ScaleForPreview(Checks(1280, 720), 360);
  EXPECT_EQ(wide.size(), QSize(640, 360));
  EXPECT_EQ(wide.format(), QImage::Format_RGB32);
  ExpectGrey(wide);

  QImage narrowSource = Checks(320, 240);
  QImage narrow = ScaleForPreview(narrowSource, 360);
  EXPECT_EQ(narrow.size(), QSize(320, 240));
  EXPECT_EQ(narrow, narrowSource);
}

TEST(CapturePictures, GreyCapturesShrinkLikeQtsSmoothScaling) {
  // Grey frames take their own area-averaging path; it must match what Qt's
  // smooth scaling makes of the same picture.
  QImage texture(1280, 720, QImage::Format_Grayscale8);
  for (int y = 0; y < texture.height(); ++y)
    for (int x = 0; x < texture.width(); ++x) texture.scanLine(y)[x] = uint8_t((x * 7 + y * 13 + (x * y) % 97) & 0xFF);
  struct Case {
    QSize source;
    int P;
  } cases[] = {{{1280, 720}, 360}, {{1280, 720}, 320}, {{640, 480}, 360}, {{1001, 703}, 320}, {{640, 360}, 360}};
  for (const auto& c : cases) {
    QImage grey = texture.copy(0, 0, c.source.width(), c.source.height());
    QImage ours = ScaleForPreview(grey, c.P);
    QImage qt = grey.convertToFormat(QImage::Format_RGB32)
                    .scaled(640, c.P, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), QSize(640, c.P));
    ASSERT_EQ(ours.format(), QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < c.P; ++y)
      for (int x = 0; x < 640; ++x) {
        QRgb o = ours.pixel(x, y);
        ASSERT_TRUE(qRed(o) == qGreen(o) && qGreen(o) == qBlue(o));
        worst = std::max(worst, std::abs(qGreen(o) - qGreen(qt.pixel(x, y))));
      }
    EXPECT_LE(worst, 2) << c.source.width() << "x" << c.source.height() << " to " << c.P;
  }
  ExpectGrey(ScaleForPreview(Checks(1280, 720).convertToFormat(QImage::Format_Grayscale8), 320));
  // Enlarging (a wide but low frame) stays with Qt.
  EXPECT_EQ(ScaleForPreview(texture.copy(0, 0, 1280, 200), 360).size(), QSize(640, 360));
}

TEST(CapturePictures, DecodesFromMemoryAndRefusesGarbage) {
  QImage scene(1280, 720, QImage::Format_RGB32);
  scene.fill(QColor(40, 120, 200));
  auto bytes = Jpeg(scene);
  QImage decoded = DecodeCapture(bytes.data(), bytes.size());
  ASSERT_FALSE(decoded.isNull());
  EXPECT_EQ(decoded.size(), QSize(1280, 720));

  std::vector<uint8_t> garbage(500, 0x5A);
  EXPECT_TRUE(DecodeCapture(garbage.data(), garbage.size()).isNull());
  EXPECT_TRUE(DecodeCapture(nullptr, 0).isNull());
  // An undecodable file paints nothing.
  EXPECT_TRUE(ComposeCapturePreview(QImage(), BarcodeCorners{}, 2, 360).isNull());
}

TEST(CapturePictures, ThumbnailFromThePreviewCarriesNoOverlay) {
  QImage grey(1280, 720, QImage::Format_RGB32);
  grey.fill(QColor(128, 128, 128));
  BarcodeCorners box = {{{10, 10}, {1270, 10}, {1270, 710}, {10, 710}}};
  CaptureImages images = ComposeCaptureImages(grey, box, 0, 360);
  EXPECT_EQ(images.preview.size(), QSize(640, 360));
  EXPECT_EQ(images.preview.pixel(5, 5) & 0xFFFFFF, 0x00FF00u);
  ASSERT_EQ(images.thumbnail.size(), QSize(30, 28));
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(images.thumbnail.pixel(x, y) & 0xFFFFFF, 0x808080u);
  // The same preview as the single-purpose composition.
  EXPECT_EQ(images.preview, ComposeCapturePreview(grey, box, 0, 360));
}

}  // namespace
}  // namespace varnet
