// SPDX-License-Identifier: Apache-2.0
#include "imaging/exposure_gain.h"

#include <algorithm>

#include "imaging/imaging_state.h"
#include "link/device_info.h"
#include "link/protocol.h"

namespace varnet {

uint16_t DefaultExposure(uint8_t modelCode) { return modelCode == 1 ? 500 : 300; }

ExposureGainControls UpdateExposureGainControls(ParamBlock& block, bool fixed, bool enable, uint8_t imageModeState) {
  ExposureGainControls c;
  c.fixed = fixed;
  c.checkBoxEnabled = imageModeState != kSettingMode;
  c.slidersEnabled = imageModeState != kSettingMode && fixed && enable;
  if (!fixed) {
    block.SetU16(pb::Exposure, 0);
    block.SetU8(pb::Gain, 0);
    return c;
  }
  // A stored exposure of 0 leaves the sliders where they were.
  if (block.U16(pb::Exposure) != 0) {
    if (block.U8(pb::Gain) == 0) block.SetU8(pb::Gain, kDefaultGain);
    c.exposure = block.U16(pb::Exposure);
    c.gain = block.U8(pb::Gain);
  }
  return c;
}

void FixedExposureClicked(ScannerLink& link, DeviceInfo& device, bool nowFixed) {
  ParamBlock& block = device.paramBlock;
  if (!nowFixed) {
    SendShortCommand(link, kAutoExposure);
    block.SetU16(pb::Exposure, 0);
    (void)WaitAck(link, 250);
  } else if (block.U16(pb::Exposure) == 0) {
    uint16_t exposure = DefaultExposure(block.ModelCode());
    block.SetU16(pb::Exposure, exposure);
    SendValueCommand(link, exposure);
  }
  device.settingsDirty = 1;
}

void SetFixedExposureGain(ScannerLink& link, DeviceInfo& device, std::optional<int> exposure, std::optional<int> gain) {
  ParamBlock& block = device.paramBlock;
  if (block.U16(pb::Exposure) == 0) {
    // Ticking the box; an exposure given replaces the default at once
    // rather than after it.
    if (exposure) device.settingsDirty = 1;
    else FixedExposureClicked(link, device, true);
  }
  if (exposure && block.U16(pb::Exposure) != *exposure) {
    block.SetU16(pb::Exposure, uint16_t(*exposure));
    SendValueCommand(link, uint16_t(*exposure));
    device.settingsDirty = 1;
  }
  (void)UpdateExposureGainControls(block, true, true, kImageRunning);
  if (gain && block.U8(pb::Gain) != *gain) {
    block.SetU8(pb::Gain, uint8_t(*gain));
    SendShortCommand(link, GainCommand(uint8_t(*gain)));
    device.settingsDirty = 1;
  }
}

void SetAutomaticExposure(ScannerLink& link, DeviceInfo& device) {
  if (device.paramBlock.U16(pb::Exposure) == 0) return;
  FixedExposureClicked(link, device, false);
  (void)UpdateExposureGainControls(device.paramBlock, false, true, kImageRunning);
}

void AutoTuning(ScannerLink& link) {
  SendShortCommand(link, kAutoTune);
  (void)WaitAck(link, 2000);
}

SliderPoll DecideSliderPoll(ImagingState& imaging, DeviceInfo& device, bool fixed, int exposurePosition,
                            int gainPosition) {
  SliderPoll poll;
  if (!fixed) return poll;
  ParamBlock& block = device.paramBlock;
  if (imaging.ShownExposure > 0 && exposurePosition != imaging.ShownExposure) {
    int position = std::clamp(exposurePosition, kExposureMin, kExposureMax);
    poll.which = SliderPoll::Which::Exposure;
    poll.position = position;
    imaging.ShownExposure = position;
    if (block.U16(pb::Exposure) != position) {
      block.SetU16(pb::Exposure, uint16_t(position));
      poll.send = true;
      imaging.ShownExposure = -1;
      device.settingsDirty = 1;
    }
    return poll;
  }
  if (imaging.ShownGain > 0 && gainPosition != imaging.ShownGain) {
    int position = std::clamp(gainPosition, kGainMin, kGainMax);
    poll.which = SliderPoll::Which::Gain;
    poll.position = position;
    imaging.ShownGain = position;
    if (block.U8(pb::Gain) != position) {
      block.SetU8(pb::Gain, uint8_t(position));
      poll.send = true;
      imaging.ShownGain = -1;
      device.settingsDirty = 1;
    }
  }
  return poll;
}

SliderPoll PollExposureGainSliders(ScannerLink& link, ImagingState& imaging, DeviceInfo& device, bool fixed,
                                   int exposurePosition, int gainPosition) {
  SliderPoll poll = DecideSliderPoll(imaging, device, fixed, exposurePosition, gainPosition);
  if (poll.send) {
    if (poll.which == SliderPoll::Which::Exposure) SendValueCommand(link, uint16_t(poll.position));
    else SendShortCommand(link, GainCommand(uint8_t(poll.position)));
  }
  return poll;
}

ShownValues ShowCaptureExposureGain(ImagingState& imaging, bool fixed, int exposure, int gain) {
  ShownValues shown;
  if (!fixed) return shown;
  if (imaging.ShownExposure < 0 || imaging.ShownExposure != exposure) {
    imaging.ShownExposure = exposure;
    shown.exposure = exposure;
  }
  if (imaging.ShownGain < 0 || imaging.ShownGain != gain) {
    imaging.ShownGain = gain;
    shown.gain = gain;
  }
  return shown;
}

}  // namespace varnet
