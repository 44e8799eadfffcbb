#include <gtest/gtest.h>

#include "app/app_state.h"
#include "imaging/exposure_gain.h"
#include "link/device_info.h"

namespace varnet {
namespace {

using Which = SliderPoll::Which;

TEST(ExposureGainControls, AutomaticClearsTheStoredValues) {
  ParamBlock block;
  block.SetU16(pb::Exposure, 400);
  block.SetU8(pb::Gain, 90);
  auto c = UpdateExposureGainControls(block, false, true, kImageRunning);
  EXPECT_FALSE(c.fixed);
  EXPECT_FALSE(c.exposure);
  EXPECT_EQ(block.U16(pb::Exposure), 0);
  EXPECT_EQ(block.U8(pb::Gain), 0);
  EXPECT_TRUE(c.checkBoxEnabled);
  EXPECT_FALSE(c.slidersEnabled);
}

TEST(ExposureGainControls, FixedShowsTheStoredValuesWithTheDefaultGain) {
  ParamBlock block;
  block.SetU16(pb::Exposure, 200);
  auto c = UpdateExposureGainControls(block, true, true, kImageRunning);
  EXPECT_EQ(c.exposure, 200);
  EXPECT_EQ(c.gain, 72);
  EXPECT_EQ(block.U8(pb::Gain), 72);
  EXPECT_TRUE(c.slidersEnabled);

  // Disabled around a command and whenever the tool is in Setting Mode.
  EXPECT_FALSE(UpdateExposureGainControls(block, true, false, kImageRunning).slidersEnabled);
  auto off = UpdateExposureGainControls(block, true, true, kSettingMode);
  EXPECT_FALSE(off.slidersEnabled);
  EXPECT_FALSE(off.checkBoxEnabled);

  // With nothing stored the sliders stay where they are.
  ParamBlock empty;
  auto none = UpdateExposureGainControls(empty, true, true, kImagePaused);
  EXPECT_FALSE(none.exposure);
  EXPECT_FALSE(none.gain);
  EXPECT_EQ(empty.U8(pb::Gain), 0);
}

TEST(ExposureGainControls, DefaultExposureByModelCode) {
  EXPECT_EQ(DefaultExposure(1), 500);
  EXPECT_EQ(DefaultExposure(5), 300);
  EXPECT_EQ(DefaultExposure(0), 300);
}

class SliderPollTest : public ::testing::Test {
 protected:
  SliderPoll Poll(int exposure, int gain, bool fixed = true) {
    return DecideSliderPoll(imaging, device, fixed, exposure, gain);
  }
  ImagingState imaging;
  DeviceInfo device;
};

TEST_F(SliderPollTest, NothingMovesBeforeACaptureWasShown) {
  EXPECT_FALSE(Poll(700, 100).UsedTick());
  EXPECT_EQ(device.settingsDirty, 0);
}

TEST_F(SliderPollTest, MovedGainGoesOutOnceAndWaitsForTheNextCapture) {
  device.paramBlock.SetU16(pb::Exposure, 300);
  device.paramBlock.SetU8(pb::Gain, 80);
  auto shown = ShowCaptureExposureGain(imaging, true, 300, 80);
  EXPECT_EQ(shown.exposure, 300);
  EXPECT_EQ(shown.gain, 80);

  SliderPoll p = Poll(300, 100);
  EXPECT_EQ(p.which, Which::Gain);
  EXPECT_TRUE(p.send);
  EXPECT_EQ(p.position, 100);
  EXPECT_EQ(device.paramBlock.U8(pb::Gain), 100);
  EXPECT_EQ(imaging.ShownGain, -1);
  EXPECT_EQ(device.settingsDirty, 1);
  // Until a capture shows a value again, the slider is not looked at.
  EXPECT_FALSE(Poll(300, 120).UsedTick());

  // The scanner did not take it: the read-back puts the slider back.
  shown = ShowCaptureExposureGain(imaging, true, 300, 80);
  EXPECT_FALSE(shown.exposure);
  EXPECT_EQ(shown.gain, 80);
}

TEST_F(SliderPollTest, ExposureComesFirstAndEqualValuesAreNotSent) {
  device.paramBlock.SetU16(pb::Exposure, 300);
  device.paramBlock.SetU8(pb::Gain, 80);
  ShowCaptureExposureGain(imaging, true, 250, 80);  // the scanner reports another exposure
  SliderPoll p = Poll(300, 99);
  EXPECT_EQ(p.which, Which::Exposure);
  // The block already holds 300: the tick is used, nothing goes out.
  EXPECT_FALSE(p.send);
  EXPECT_EQ(imaging.ShownExposure, 300);
  EXPECT_EQ(device.settingsDirty, 0);
  // The gain's turn comes on the next tick.
  p = Poll(300, 99);
  EXPECT_EQ(p.which, Which::Gain);
  EXPECT_TRUE(p.send);
}

TEST_F(SliderPollTest, AutomaticModeIgnoresSlidersAndReadBack) {
  ShowCaptureExposureGain(imaging, true, 300, 80);
  EXPECT_FALSE(Poll(500, 10, false).UsedTick());
  ImagingState fresh;
  auto shown = ShowCaptureExposureGain(fresh, false, 300, 80);
  EXPECT_FALSE(shown.exposure);
  EXPECT_FALSE(shown.gain);
  EXPECT_EQ(fresh.ShownExposure, -1);
}

TEST_F(SliderPollTest, SameValuesLeaveTheControlsAlone) {
  ShowCaptureExposureGain(imaging, true, 300, 80);
  auto shown = ShowCaptureExposureGain(imaging, true, 300, 80);
  EXPECT_FALSE(shown.exposure);
  EXPECT_FALSE(shown.gain);
  shown = ShowCaptureExposureGain(imaging, true, 310, 80);
  EXPECT_EQ(shown.exposure, 310);
  EXPECT_FALSE(shown.gain);
}

}  // namespace
}  // namespace varnet
