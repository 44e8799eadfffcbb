// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "link/device_info.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"
#include "settings/model_rules.h"
#include "sim/sim_scanner.h"
#include "support/recording_prompts.h"
#include "ui_common/link_texts.h"

namespace varnet::test {

// A simulated scanner connected the way the program connects: the port at
// the scanner's rate (115200 for USB), the device information with its
// notice, the model from the firmware text. What it heard and what was shown
// until then is cleared, so a test sees only its own exchange.
// `usbBaud` is the rate for a USB profile, which answers at any rate.
struct ConnectedScanner {
  explicit ConnectedScanner(const sim::Profile& p = {}, uint32_t usbBaud = 115200) : sim(p) {
    ok = sim.Start() && Connect(p.rs232Baud ? p.rs232Baud : usbBaud);
    sim.ClearReceived();
    prompts.shown.clear();
  }
  ~ConnectedScanner() { CloseLink(link); }
  ConnectedScanner(const ConnectedScanner&) = delete;
  ConnectedScanner& operator=(const ConnectedScanner&) = delete;

  // Opens the port anew at `baud` and reads everything afresh.
  bool Connect(uint32_t baud) {
    CloseLink(link);
    info = DeviceInfo{};
    if (!OpenLink(link, sim.SlavePath(), baud)) return false;
    link.LinkPortName = sim.SlavePath();  // where a new baud rate reopens it
    if (!ReadDeviceInformationWithNotice(link, info, prompts)) return false;
    model = ScannerModel::From(info.paramBlock, ReadScannerTexts(link, info).firmware);
    return true;
  }

  sim::SimScanner sim;
  ScannerLink link;
  DeviceInfo info;
  ScannerModel model;
  RecordingPrompts prompts;
  bool ok = false;
};

}  // namespace varnet::test
