#include <gtest/gtest.h>

#include <QImage>
#include <map>
#include <random>
#include <set>

#include "imaging/overlay.h"
#include "imaging/preview.h"

namespace varnet {
namespace {

using Pixels = std::set<std::pair<int, int>>;

const BarcodeCorners kBox = {{{100, 100}, {300, 100}, {300, 200}, {100, 200}}};

// Axis-parallel runs, written out without the line method.
void HRun(Pixels& p, int x0, int x1, int y) {
  for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) p.insert({x, y});
}
void VRun(Pixels& p, int x, int y0, int y1) {
  for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y) p.insert({x, y});
}
Pixels Rect(int x0, int y0, int x1, int y1) {
  Pixels p;
  HRun(p, x0, x1, y0);
  HRun(p, x0, x1, y1);
  VRun(p, x0, y0, y1);
  VRun(p, x1, y0, y1);
  return p;
}
Pixels Brackets(int l, int t, int r, int b) {
  Pixels p;
  HRun(p, l, l + 25, t);
  VRun(p, l, t, t + 25);
  HRun(p, r - 25, r, t);
  VRun(p, r, t, t + 25);
  HRun(p, l, l + 25, b);
  VRun(p, l, b - 25, b);
  HRun(p, r - 25, r, b);
  VRun(p, r, b - 25, b);
  return p;
}
Pixels Cross(int P) {
  Pixels p;
  HRun(p, 295, 345, P / 2);
  VRun(p, 320, P / 2 - 25, P / 2 + 25);
  return p;
}
Pixels Union(Pixels a, const Pixels& b) {
  a.insert(b.begin(), b.end());
  return a;
}

QImage Black(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::black);
  return img;
}

// The overlay as it ends up in the composed preview: every pixel that is
// not black, and the colours used.
struct Painted {
  QSize size;
  Pixels pixels;
  std::set<QRgb> colours;
};
Painted Compose(const QImage& capture, const std::optional<BarcodeCorners>& corners, uint8_t area, int P = 360) {
  QImage preview = ComposeCapturePreview(capture, corners, area, P);
  Painted out{preview.size(), {}, {}};
  for (int y = 0; y < preview.height(); ++y)
    for (int x = 0; x < preview.width(); ++x) {
      QRgb c = preview.pixel(x, y) & 0xFFFFFF;
      if (c != 0) {
        out.pixels.insert({x, y});
        out.colours.insert(c);
      }
    }
  return out;
}
const QRgb kGreen = 0x00FF00, kRed = 0xFF0000;

TEST(LineMethod, StepsAlongTheLongerAxisAndSetsBothEnds) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-60, 60);
  for (int i = 0; i < 2000; ++i) {
    int x0 = d(rng), y0 = d(rng), x1 = d(rng), y1 = d(rng);
    std::vector<std::pair<int, int>> pts;
    DrawLine(x0, y0, x1, y1, [&](int x, int y) { pts.push_back({x, y}); });
    int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    ASSERT_EQ(int(pts.size()), std::max(dx, dy) + 1);
    ASSERT_EQ(pts.front(), std::make_pair(x0, y0));
    ASSERT_EQ(pts.back(), std::make_pair(x1, y1));
    for (size_t k = 1; k < pts.size(); ++k) {
      int sx = std::abs(pts[k].first - pts[k - 1].first), sy = std::abs(pts[k].second - pts[k - 1].second);
      // One pixel along the longer axis every step, at most one along the other.
      ASSERT_EQ(dx >= dy ? sx : sy, 1);
      ASSERT_LE(dx >= dy ? sy : sx, 1);
    }
  }
}

TEST(LineMethod, StepsSidewaysWhenTheErrorIsZero) {
  // At the ties of a 4:2 slope the line steps up at once, not one pixel late.
  std::vector<std::pair<int, int>> pts;
  DrawLine(0, 0, 4, 2, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_EQ(pts, (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
  pts.clear();
  DrawLine(0, 0, 2, 4, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_EQ(pts, (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}));
  pts.clear();
  DrawLine(5, 5, 5, 5, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_EQ(pts, (std::vector<std::pair<int, int>>{{5, 5}}));
}

TEST(OverlayGeometry, PreviewHeightFollowsTheScreen) {
  EXPECT_EQ(PreviewHeight(899), 320);
  EXPECT_EQ(PreviewHeight(900), 360);
  EXPECT_EQ(PreviewHeight(1440), 360);
}

TEST(OverlayGeometry, CornersAreValidOnlyWithAllCoordinatesNonZero) {
  EXPECT_TRUE(CornersValid(kBox));
  for (int i = 0; i < 8; ++i) {
    BarcodeCorners c = kBox;
    (i % 2 ? c[i / 2].y : c[i / 2].x) = 0;
    EXPECT_FALSE(CornersValid(c)) << i;
  }
  EXPECT_FALSE(CornersValid(BarcodeCorners{}));
}

TEST(OverlayGeometry, DecodeAreaRectanglesForBothPreviewHeights) {
  BarcodeCorners invalid = kBox;
  invalid[2].x = 0;
  struct Case {
    int P, area, l, t, r, b;
  } cases[] = {{360, 1, 240, 135, 400, 225}, {360, 2, 160, 90, 480, 270}, {360, 3, 80, 45, 560, 315},
               {320, 1, 240, 120, 400, 200}, {320, 2, 160, 80, 480, 240}, {320, 3, 80, 40, 560, 280}};
  for (const auto& c : cases) {
    Overlay o = OverlaySegments(1280, 720, c.P, kBox, uint8_t(c.area));
    ASSERT_EQ(o.segments.size(), 8u);
    EXPECT_EQ(o.segments[0], (Segment{c.l, c.t, c.l + 25, c.t})) << c.P << " " << c.area;
    EXPECT_EQ(o.segments[7], (Segment{c.r, c.b, c.r, c.b - 25})) << c.P << " " << c.area;
    // Without a valid outline the centre cross comes first.
    Overlay red = OverlaySegments(1280, 720, c.P, invalid, uint8_t(c.area));
    EXPECT_EQ(red.colour, OverlayColour::Red);
    EXPECT_EQ(red.segments[0], (Segment{295, c.P / 2, 345, c.P / 2}));
    EXPECT_EQ(red.segments.size(), 10u);
  }
}

TEST(CapturePreviewOverlay, WideCaptureOutlineIsScaledOntoThePreview) {
  Painted p = Compose(Black(1280, 720), kBox, 0);
  EXPECT_EQ(p.size, QSize(640, 360));
  EXPECT_EQ(p.colours, std::set<QRgb>{kGreen});
  EXPECT_EQ(p.pixels, Rect(50, 50, 150, 100));

  // The lower preview maps y with its own height.
  Painted low = Compose(Black(1280, 720), kBox, 0, 320);
  EXPECT_EQ(low.size, QSize(640, 320));
  EXPECT_EQ(low.pixels, Rect(50, 44, 150, 88));
}

TEST(CapturePreviewOverlay, InvalidCornersShowTheDecodeAreaInRed) {
  BarcodeCorners oneZero = kBox;
  oneZero[3].y = 0;
  EXPECT_TRUE(Compose(Black(1280, 720), oneZero, 0).pixels.empty());

  Painted p = Compose(Black(1280, 720), oneZero, 2);
  EXPECT_EQ(p.colours, std::set<QRgb>{kRed});
  EXPECT_EQ(p.pixels, Union(Brackets(160, 90, 480, 270), Cross(360)));

  // All-zero corners (nothing decoded) count as invalid too.
  EXPECT_EQ(Compose(Black(1280, 720), BarcodeCorners{}, 2).pixels, p.pixels);
}

TEST(CapturePreviewOverlay, ValidCornersWithADecodeAreaShowGreenBracketsOnly) {
  Painted p = Compose(Black(1280, 720), kBox, 3);
  EXPECT_EQ(p.colours, std::set<QRgb>{kGreen});
  EXPECT_EQ(p.pixels, Brackets(80, 45, 560, 315));
}

TEST(CapturePreviewOverlay, NoCornersNoOverlay) {
  // A stored capture shown again from the lists.
  EXPECT_TRUE(Compose(Black(1280, 720), std::nullopt, 2).pixels.empty());
  EXPECT_TRUE(Compose(Black(320, 240), std::nullopt, 0).pixels.empty());
}

TEST(CapturePreviewOverlay, SixHundredFortyIsWideSixThirtyNineIsNot) {
  BarcodeCorners c = {{{64, 48}, {320, 48}, {320, 240}, {64, 240}}};
  Painted wide = Compose(Black(640, 480), c, 0);
  EXPECT_EQ(wide.size, QSize(640, 360));  // scaled: 1 across, 0.75 down
  EXPECT_EQ(wide.pixels, Rect(64, 36, 320, 180));

  // Narrow: unscaled, the corners are moved out of the full frame's centre.
  BarcodeCorners full = {{{400, 200}, {600, 200}, {600, 300}, {400, 300}}};
  Painted narrow = Compose(Black(639, 480), full, 2);
  EXPECT_EQ(narrow.size, QSize(639, 480));
  EXPECT_EQ(narrow.pixels, Rect(400 - 320, 200 - 120, 600 - 320, 300 - 120));
}

TEST(CapturePreviewOverlay, NarrowCaptureIsTheCentreOfTheFullFrame) {
  BarcodeCorners c = {{{500, 300}, {700, 300}, {700, 400}, {500, 400}}};
  Painted p = Compose(Black(320, 240), c, 3);  // the decode area plays no part
  EXPECT_EQ(p.size, QSize(320, 240));
  EXPECT_EQ(p.colours, std::set<QRgb>{kGreen});
  EXPECT_EQ(p.pixels, Rect(20, 60, 220, 160));

  BarcodeCorners invalid = c;
  invalid[0].x = 0;
  EXPECT_TRUE(Compose(Black(320, 240), invalid, 3).pixels.empty());
}

TEST(CapturePreviewOverlay, PointsOutsideThePictureAreNotDrawn) {
  // dx = 590, dy = 310: the outline runs from (10, 20) to (210, 120) over a 100 x 100 picture.
  BarcodeCorners c = {{{600, 330}, {800, 330}, {800, 430}, {600, 430}}};
  Painted p = Compose(Black(100, 100), c, 0);
  Pixels expected;
  for (auto pt : Rect(10, 20, 210, 120))
    if (pt.first < 100 && pt.second < 100) expected.insert(pt);
  EXPECT_EQ(p.pixels, expected);

  // Far-off corners and odd decode areas must not write outside either.
  BarcodeCorners far = {{{65535, 65535}, {1, 65535}, {65535, 1}, {1, 1}}};
  for (uint8_t area : {0, 4, 200, 255}) {
    QImage img = ComposeCapturePreview(Black(1280, 720), far, area, 360);
    EXPECT_EQ(img.size(), QSize(640, 360));
  }
}

}  // namespace
}  // namespace varnet
