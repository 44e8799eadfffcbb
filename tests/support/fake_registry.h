// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <mutex>

#include "link/discovery.h"

namespace varnet::test {

// A device registry that lists what the test says, safe to change while a
// search runs on another thread.
class FakeRegistry : public DeviceRegistry {
 public:
  int CountKeyboardScanners() override {
    std::lock_guard<std::mutex> l(mu);
    return keyboard;
  }
  std::vector<std::string> ListUsbScannerPorts() override {
    std::lock_guard<std::mutex> l(mu);
    return usb;
  }
  std::vector<std::string> ListSerialPorts() override {
    std::lock_guard<std::mutex> l(mu);
    return serial;
  }
  void Set(int k, std::vector<std::string> u, std::vector<std::string> s = {}) {
    std::lock_guard<std::mutex> l(mu);
    keyboard = k;
    usb = std::move(u);
    serial = std::move(s);
  }

  std::mutex mu;
  int keyboard = 0;
  std::vector<std::string> usb, serial;
};

}  // namespace varnet::test
