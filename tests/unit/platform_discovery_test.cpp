// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "platform/port_discovery.h"

using namespace varnet::platform;

// Windows' SetupAPI hands over instance ids; which of them are the scanner's
// is decided here, on every system, since Wine lists no USB devices.
TEST(UsbInstanceIds, TheScannersDevicesAndTheirInterfaces) {
  const UsbInstance port = ParseUsbInstanceId("USB\\VID_5F3C&PID_0187\\6&2F1A0B3&0&2");
  EXPECT_TRUE(port.usb && !port.isInterface);
  EXPECT_TRUE(IsScannerVirtualPort(port.vendor, port.product));
  EXPECT_FALSE(IsScannerKeyboard(port.vendor, port.product));

  // Letter case does not matter; an interface of a composite device says so.
  const UsbInstance hid = ParseUsbInstanceId("usb\\vid_5f3c&pid_019f&mi_01\\7&1c&0&0001");
  EXPECT_TRUE(hid.usb && hid.isInterface);
  EXPECT_TRUE(IsScannerKeyboard(hid.vendor, hid.product));

  for (const char* other : {"USB\\VID_5F3C&PID_01A0\\1", "USB\\VID_5F3D&PID_0190\\1", "USB\\VID_5F3C&PID_018F\\1"}) {
    const UsbInstance u = ParseUsbInstanceId(other);
    EXPECT_TRUE(u.usb) << other;
    EXPECT_FALSE(IsScannerKeyboard(u.vendor, u.product) || IsScannerVirtualPort(u.vendor, u.product)) << other;
  }
  // Not a USB device, or no ids in its hardware part (only in the instance's own part).
  for (const char* other : {"HID\\VID_5F3C&PID_0190\\1", "USB\\ROOT_HUB30\\VID_5F3C&PID_0187", "USB\\VID_5F3C&PID_01",
                            "USB\\VID_5F3C&PID_01G7\\1"})
    EXPECT_FALSE(ParseUsbInstanceId(other).usb) << other;
}
