// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>

namespace varnet {

struct DeviceInfo;
struct ImagingState;
struct ParamBlock;
struct ScannerLink;

constexpr int kExposureMin = 8, kExposureMax = 1000;
constexpr int kGainMin = 8, kGainMax = 255;
// Shown (and stored) for a gain of 0 whenever the fixed controls are filled.
constexpr uint8_t kDefaultGain = 72;

// Exposure stored when fixed mode is switched on from automatic.
uint16_t DefaultExposure(uint8_t modelCode);

// What the exposure and gain controls show after an update from the
// parameter block. Automatic: only the exposure label ("Auto Exposure").
// Fixed: both sliders, labels and the tuning button; the sliders move only
// when a value is given.
struct ExposureGainControls {
  bool fixed = false;
  std::optional<int> exposure;
  std::optional<int> gain;
  bool checkBoxEnabled = false;
  bool slidersEnabled = false;  // also the tuning button
};
// Also brings the parameter block in line: automatic stores exposure and
// gain 0, fixed with a stored gain of 0 stores the default gain.
ExposureGainControls UpdateExposureGainControls(ParamBlock& block, bool fixed, bool enable, uint8_t imageModeState);

// A click on the fixed-exposure box: automatic sends A0 02 09 and waits up
// to 250 ms; fixed from a stored exposure of 0 stores and sends the model's
// default exposure (the gain is not sent). Marks the settings changed.
void FixedExposureClicked(ScannerLink& link, DeviceInfo& device, bool nowFixed);

// Fixed exposure and gain as the check box and the sliders leave them: the
// box ticked (from automatic that stores and sends the model's default
// exposure, unless an exposure is given), the default gain stored for a gain
// of 0, then each value given sent as its slider sends it, when it differs
// from the stored one. Values are within the sliders' ranges.
void SetFixedExposureGain(ScannerLink& link, DeviceInfo& device, std::optional<int> exposure, std::optional<int> gain);
// Automatic exposure as clearing the box leaves it (nothing is sent when it
// is automatic already).
void SetAutomaticExposure(ScannerLink& link, DeviceInfo& device);

// "Auto Tunning": A0 02 08 and up to 2000 ms for the scanner to answer.
// The values it settles on come back with the next captures.
void AutoTuning(ScannerLink& link);

// One tick's look at the sliders. A slider counts as moved only once a
// capture has put a value on it in fixed mode (shown value above 0). A moved
// slider always takes the tick; its value goes out when the parameter block
// holds another one, and the shown value then waits for the next capture.
struct SliderPoll {
  enum class Which { None, Exposure, Gain };
  Which which = Which::None;
  int position = 0;  // what the label shows now
  bool send = false;
  bool UsedTick() const { return which != Which::None; }
};
// The decision alone, applied to the imaging state and the block.
SliderPoll DecideSliderPoll(ImagingState& imaging, DeviceInfo& device, bool fixed, int exposurePosition,
                            int gainPosition);
// The decision and its command (value command or A0 04 gg).
SliderPoll PollExposureGainSliders(ScannerLink& link, ImagingState& imaging, DeviceInfo& device, bool fixed,
                                   int exposurePosition, int gainPosition);

// Read-back from a capture header: in fixed mode a value that differs from
// the shown one (or none shown) moves its slider and label.
struct ShownValues {
  std::optional<int> exposure;
  std::optional<int> gain;
};
ShownValues ShowCaptureExposureGain(ImagingState& imaging, bool fixed, int exposure, int gain);

}  // namespace varnet
