// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace varnet {

// Screen-derived sizes the main window works out once at start-up; the image
// side lays itself out by them too.
struct WindowMetrics {
  int ScreenWidth = 1920;
  int EffectiveScreenHeight = 1080;
  uint8_t RowLimit = 15;
};

// Largest of the 4:3, 3:2 and 16:9 heights for the screen's width that fits
// on the screen; the real height on screens wider than 16:9.
inline int EffectiveHeightFor(int width, int height) {
  int h = height;
  if (3 * width / 4 <= h) h = 3 * width / 4;
  else if (2 * width / 3 <= h) h = 2 * width / 3;
  else if (9 * width / 16 < h) h = 9 * width / 16;
  return h;
}

inline uint8_t RowLimitFor(int effectiveHeight) {
  if (effectiveHeight < 900) return 8;
  if (effectiveHeight == 900) return 10;
  return 15;
}

}  // namespace varnet
