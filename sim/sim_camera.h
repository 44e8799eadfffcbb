// SPDX-License-Identifier: Apache-2.0
// The imager of the simulated scanner: a grey scene with a QR symbol that
// moves from capture to capture, compressed to JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnet::sim {

constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 720;

struct CameraShot {
  std::vector<uint8_t> jpeg;
  int width = 0, height = 0;
  std::string text;          // content of the symbol ("" without one)
  uint16_t corners[8] = {};  // symbol corners TL, TR, BR, BL in frame pixels
};

// Renders capture number `counter`. A window of windowW x windowH (both > 0)
// is the centre of the frame, and the symbol then stays inside it; corners
// are always in full-frame pixels. Without a symbol the scene is empty.
CameraShot RenderShot(uint32_t counter, bool withSymbol, int windowW, int windowH);

}  // namespace varnet::sim
