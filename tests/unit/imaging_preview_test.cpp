// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <set>

#include "imaging/preview.h"

namespace varnet {
namespace {

using Pixels = std::set<std::pair<int, int>>;
using Points = std::vector<std::pair<int, int>>;

// Expected figures from axis-parallel runs, not from the line method.
void Run(Pixels& p, int x0, int y0, int x1, int y1) {
  for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x)
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y) p.insert({x, y});
}
Pixels Rect(int l, int t, int r, int b, int clip = 1 << 20) {
  Pixels p, in;
  Run(p, l, t, r, t), Run(p, l, b, r, b), Run(p, l, t, l, b), Run(p, r, t, r, b);
  for (auto pt : p)
    if (pt.first < clip && pt.second < clip) in.insert(pt);
  return in;
}
Pixels Brackets(int l, int t, int r, int b, int crossP = 0) {
  Pixels p;
  for (int y : {t, b}) {
    int dy = y == t ? 25 : -25;
    Run(p, l, y, l + 25, y), Run(p, l, y, l, y + dy), Run(p, r - 25, y, r, y), Run(p, r, y, r, y + dy);
  }
  if (crossP) Run(p, 295, crossP / 2, 345, crossP / 2), Run(p, 320, crossP / 2 - 25, 320, crossP / 2 + 25);
  return p;
}

TEST(LineMethod, EndPointsStepsAndTies) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-60, 60);
  for (int i = 0; i < 2000; ++i) {
    int x0 = d(rng), y0 = d(rng), x1 = d(rng), y1 = d(rng), dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    Points pts;
    DrawLine(x0, y0, x1, y1, [&](int x, int y) { pts.push_back({x, y}); });
    ASSERT_EQ(int(pts.size()), std::max(dx, dy) + 1);
    ASSERT_EQ(pts.front(), std::make_pair(x0, y0));
    ASSERT_EQ(pts.back(), std::make_pair(x1, y1));
    for (size_t k = 1; k < pts.size(); ++k) {
      int sx = std::abs(pts[k].first - pts[k - 1].first), sy = std::abs(pts[k].second - pts[k - 1].second);
      ASSERT_TRUE(dx >= dy ? sx == 1 && sy <= 1 : sy == 1 && sx <= 1);
    }
  }
  Points pts;  // at an error of exactly zero the line steps sideways at once
  DrawLine(0, 0, 4, 2, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_EQ(pts, (Points{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
}

TEST(CapturePreviewOverlay, PixelExactOnBlackCaptures) {
  const BarcodeCorners box = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};
  BarcodeCorners oneZero = box;
  oneZero[3].y = 0;
  const BarcodeCorners centre = {{{500, 300}, {700, 300}, {700, 400}, {500, 400}}};
  const BarcodeCorners mid = {{{400, 200}, {600, 200}, {600, 300}, {400, 300}}};
  const BarcodeCorners off = {{{600, 330}, {800, 330}, {800, 430}, {600, 430}}}, none{};
  const QRgb green = 0x00FF00, red = 0xFF0000;
  struct Case {
    const char* what;
    QSize capture;
    std::optional<BarcodeCorners> corners;
    uint8_t area;
    int P;
    QSize preview;
    QRgb colour;
    Pixels pixels;
  } cases[] = {
      {"outline", {1280, 720}, box, 0, 360, {640, 360}, green, Rect(50, 50, 150, 100)},
      {"low preview", {1280, 720}, box, 0, PreviewHeight(899), {640, 320}, green, Rect(50, 44, 150, 88)},
      {"invalid, whole area", {1280, 720}, oneZero, 0, 360, {640, 360}, 0, {}},
      {"invalid, 50%", {1280, 720}, oneZero, 2, PreviewHeight(900), {640, 360}, red, Brackets(160, 90, 480, 270, 360)},
      {"nothing decoded, 25%", {1280, 720}, none, 1, 320, {640, 320}, red, Brackets(240, 120, 400, 200, 320)},
      {"valid, 75%", {1280, 720}, box, 3, 360, {640, 360}, green, Brackets(80, 45, 560, 315)},
      {"shown again", {1280, 720}, std::nullopt, 2, 360, {640, 360}, 0, {}},
      {"640 is scaled", {640, 480}, mid, 0, 360, {640, 360}, green, Rect(400, 150, 600, 225)},
      {"639 is not", {639, 480}, mid, 0, 360, {639, 480}, green, Rect(80, 80, 280, 180)},
      {"narrow, no brackets", {320, 240}, centre, 3, 360, {320, 240}, green, Rect(20, 60, 220, 160)},
      {"clipped", {100, 100}, off, 0, 360, {100, 100}, green, Rect(10, 20, 210, 120, 100)},
  };
  for (const Case& c : cases) {
    QImage black(c.capture, QImage::Format_RGB32);
    black.fill(Qt::black);
    QImage preview = ComposeCapturePreview(black, c.corners, c.area, c.P);
    EXPECT_EQ(preview.size(), c.preview) << c.what;
    Pixels pixels;
    std::set<QRgb> colours;
    for (int y = 0; y < preview.height(); ++y)
      for (int x = 0; x < preview.width(); ++x)
        if (QRgb px = preview.pixel(x, y) & 0xFFFFFF) pixels.insert({x, y}), colours.insert(px);
    EXPECT_EQ(pixels, c.pixels) << c.what;
    EXPECT_EQ(colours, c.pixels.empty() ? std::set<QRgb>{} : std::set<QRgb>{c.colour}) << c.what;
  }
}

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
    QImage qt =
        src.convertToFormat(QImage::Format_RGB32).scaled(640, P, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), QSize(640, P));
    int worst = 0;
    for (int y = 0; y < P; ++y)
      for (int x = 0; x < 640; ++x)
        worst = std::max(worst, std::abs(qGreen(ours.pixel(x, y)) - qGreen(qt.pixel(x, y))));
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
