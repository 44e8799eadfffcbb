// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "imaging/exposure_gain.h"
#include "imaging/imaging_state.h"
#include "link/device_info.h"

namespace varnet {
namespace {

// The labels, the stored gain of 72 and the frames are checked through the image panel.
TEST(ExposureGain, SlidersMoveOnlyAfterACaptureOneValuePerTick) {
  ImagingState imaging;
  DeviceInfo device;
  device.paramBlock.SetU16(pb::Exposure, 300);
  device.paramBlock.SetU8(pb::Gain, 80);
  EXPECT_FALSE(DecideSliderPoll(imaging, device, true, 700, 100).UsedTick());  // nothing shown yet
  EXPECT_EQ(ShowCaptureExposureGain(imaging, true, 250, 80).exposure, 250);
  SliderPoll p = DecideSliderPoll(imaging, device, true, 300, 100);
  EXPECT_EQ(p.which, SliderPoll::Which::Exposure);  // takes the tick; the block holds 300 already
  EXPECT_FALSE(p.send);
  p = DecideSliderPoll(imaging, device, true, 300, 100);
  EXPECT_TRUE(p.which == SliderPoll::Which::Gain && p.send);
  EXPECT_EQ(device.paramBlock.U8(pb::Gain), 100);
  EXPECT_EQ(device.settingsDirty, 1);
  EXPECT_FALSE(DecideSliderPoll(imaging, device, true, 300, 120).UsedTick());  // waits for a capture
  auto shown = ShowCaptureExposureGain(imaging, true, 300, 80);                // the scanner kept 80
  EXPECT_TRUE(!shown.exposure && shown.gain == 80);
  shown = ShowCaptureExposureGain(imaging, true, 300, 80);
  EXPECT_FALSE(shown.exposure || shown.gain);
  EXPECT_FALSE(ShowCaptureExposureGain(imaging, false, 1, 1).exposure);
}

}  // namespace
}  // namespace varnet
