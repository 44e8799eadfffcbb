// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

namespace varnet {

// ImageModeState: Setting Mode, Image Mode running, Image Mode paused.
enum ImageMode : uint8_t { kSettingMode = 0, kImageRunning = 1, kImagePaused = 2 };

// Image Mode state that lives for the whole run.
struct ImagingState {
  uint8_t ImageModeState = kImageRunning;
  uint8_t CaptureCounter = 0;
  int ShownExposure = -1;
  int ShownGain = -1;
  std::string newestCapturePath;
  std::string captureDir;  // private (0700) directory made once per run
};

}  // namespace varnet
