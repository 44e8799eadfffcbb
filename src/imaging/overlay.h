// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "imaging/capture_stream.h"

namespace varnet {

// Captures at least this wide are scaled to kPreviewWidth x PreviewHeight;
// narrower ones are shown as they are.
constexpr int kPreviewWidth = 640;
// A narrow capture is the centre window of the imager's full frame, in
// whose pixels the corners are given.
constexpr int kFullFrameWidth = 1280;
constexpr int kFullFrameHeight = 720;

// 360 on screens at least 900 pixels high, 320 below.
int PreviewHeight(int effectiveScreenHeight);

struct Segment {
  int x0, y0, x1, y1;
  bool operator==(const Segment&) const = default;
};

enum class OverlayColour { Green, Red };
struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb ColourRgb(OverlayColour c) { return c == OverlayColour::Green ? Rgb{0, 255, 0} : Rgb{255, 0, 0}; }

struct Overlay {
  OverlayColour colour = OverlayColour::Green;
  std::vector<Segment> segments;
};

// The lines drawn over a capture of w x h pixels, in preview pixels (a
// wide capture's preview is 640 x previewHeight, a narrow one's is the
// capture itself). No corners (a stored capture shown again) means no
// overlay. Wide: the decode-area brackets (and, without a valid outline, a
// centre cross) when the decode area is not 0, else the outline when the
// corners are valid. Narrow: the outline only.
Overlay OverlaySegments(int w, int h, int previewHeight, const std::optional<BarcodeCorners>& corners,
                        uint8_t decodeArea);

// Bresenham: one pixel per step along the longer axis, a step along the
// shorter one when the running error is zero or more; both end points set.
template <class SetPixel>
void DrawLine(int x0, int y0, int x1, int y1, SetPixel&& setPixel) {
  const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const bool steep = dy > dx;
  const int major = steep ? dy : dx, minor = steep ? dx : dy;
  int err = 2 * minor - major;
  int x = x0, y = y0;
  for (int i = 0;; ++i) {
    setPixel(x, y);
    if (i == major) break;
    if (err >= 0) {
      if (steep) x += sx;
      else y += sy;
      err -= 2 * major;
    }
    err += 2 * minor;
    if (steep) y += sy;
    else x += sx;
  }
}

// Draws every segment into a width x height bitmap; points outside it are
// not drawn.
template <class SetPixel>
void DrawOverlay(const Overlay& overlay, int width, int height, SetPixel&& setPixel) {
  for (const Segment& s : overlay.segments) {
    DrawLine(s.x0, s.y0, s.x1, s.y1, [&](int x, int y) {
      if (x >= 0 && y >= 0 && x < width && y < height) setPixel(x, y);
    });
  }
}

}  // namespace varnet
