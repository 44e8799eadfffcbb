// SPDX-License-Identifier: Apache-2.0
// The demo's and tests' scanners where there are no pseudo-terminals: a
// "sim:" line opened like a port, held by one port at a time, gone when the
// scanner goes.
#include <gtest/gtest.h>

#include "link/device_info.h"
#include "link/serial_link.h"
#include "platform/serial_port.h"
#include "sim/sim_scanner.h"

using namespace varnet;

TEST(InProcessLine, ConnectsLikeAPortExclusivelyAndGoesWithTheScanner) {
  sim::SimScanner usb(sim::ProfileNamed("code5"), sim::Transport::InProcess);
  ASSERT_TRUE(usb.Start());
  const std::string name = usb.SlavePath();
  ASSERT_EQ(name.rfind("sim:usb-", 0), 0u) << name;
  EXPECT_EQ(platform::PortPath(name), name);
  EXPECT_EQ(platform::PortDisplayName(name), name);

  ScannerLink link;
  ASSERT_TRUE(OpenLink(link, name, 115200));
  DeviceInfo info;
  ASSERT_TRUE(ReadDeviceInformation(link, info));
  EXPECT_EQ(info.deviceType, sim::ProfileNamed("code5").deviceType);

  platform::SerialPort second;
  EXPECT_FALSE(second.Open(name, 115200));
  EXPECT_EQ(second.failure(), platform::PortFailure::InUse);
  platform::SerialPort none;
  EXPECT_FALSE(none.Open("sim:usb-0", 115200));
  EXPECT_EQ(none.failure(), platform::PortFailure::NotFound);

  usb.Vanish();
  EXPECT_FALSE(ReadDeviceInformation(link, info));
  CloseLink(link);
  EXPECT_FALSE(second.Open(name, 115200));
  EXPECT_EQ(second.failure(), platform::PortFailure::NotFound);
}

TEST(InProcessLine, AnRs232ScannerHearsOnlyItsOwnRate) {
  sim::SimScanner rs232(sim::ProfileNamed("rs232"), sim::Transport::InProcess);
  ASSERT_TRUE(rs232.Start());
  ScannerLink link;
  DeviceInfo info;
  ASSERT_TRUE(OpenLink(link, rs232.SlavePath(), 9600));
  EXPECT_FALSE(ReadDeviceInformation(link, info));
  CloseLink(link);
  ASSERT_TRUE(OpenLink(link, rs232.SlavePath(), 57600));
  EXPECT_TRUE(ReadDeviceInformation(link, info));
  CloseLink(link);
}
