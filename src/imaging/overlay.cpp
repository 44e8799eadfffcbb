// SPDX-License-Identifier: Apache-2.0
#include "imaging/overlay.h"

namespace varnet {

namespace {

constexpr int kArm = 25;

void AddOutline(Overlay& o, const std::array<int, 8>& p) {
  for (int i = 0; i < 4; ++i) {
    int j = (i + 1) % 4;
    o.segments.push_back({p[2 * i], p[2 * i + 1], p[2 * j], p[2 * j + 1]});
  }
}

void AddBrackets(Overlay& o, int area, int previewHeight) {
  const int P = previewHeight, W = kPreviewWidth;
  const int k = (4 - area) * 25;
  const int sy = (k * P / 100) / 2;
  const int sx = (k * W / 100) / 2;
  const int left = sx, right = W - sx, top = sy, bottom = P - sy;
  o.segments.push_back({left, top, left + kArm, top});
  o.segments.push_back({left, top, left, top + kArm});
  o.segments.push_back({right - kArm, top, right, top});
  o.segments.push_back({right, top, right, top + kArm});
  o.segments.push_back({left, bottom, left + kArm, bottom});
  o.segments.push_back({left, bottom, left, bottom - kArm});
  o.segments.push_back({right - kArm, bottom, right, bottom});
  o.segments.push_back({right, bottom, right, bottom - kArm});
}

}  // namespace

int PreviewHeight(int effectiveScreenHeight) { return effectiveScreenHeight >= 900 ? 360 : 320; }

Overlay OverlaySegments(int w, int h, int previewHeight, const std::optional<BarcodeCorners>& corners,
                        uint8_t decodeArea) {
  Overlay o;
  if (!corners) return o;
  const bool valid = CornersValid(*corners);
  const BarcodeCorners& c = *corners;

  if (w >= kPreviewWidth) {
    const int P = previewHeight;
    o.colour = valid ? OverlayColour::Green : OverlayColour::Red;
    if (decodeArea != 0) {
      if (!valid) {
        o.segments.push_back({295, P / 2, 345, P / 2});
        o.segments.push_back({320, P / 2 - 25, 320, P / 2 + 25});
      }
      AddBrackets(o, decodeArea, P);
    } else if (valid && h > 0) {
      std::array<int, 8> p;
      for (int i = 0; i < 4; ++i) {
        p[2 * i] = int(c[i].x) * kPreviewWidth / w;
        p[2 * i + 1] = int(c[i].y) * P / h;
      }
      AddOutline(o, p);
    }
    return o;
  }

  if (valid) {
    const int dx = (kFullFrameWidth - w) / 2, dy = (kFullFrameHeight - h) / 2;
    std::array<int, 8> p;
    for (int i = 0; i < 4; ++i) {
      p[2 * i] = int(c[i].x) - dx;
      p[2 * i + 1] = int(c[i].y) - dy;
    }
    AddOutline(o, p);
  }
  return o;
}

}  // namespace varnet
