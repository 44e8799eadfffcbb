// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>

#include "link/discovery.h"
#include "link/udev_registry.h"
#include "sim/sim_scanner.h"
#include "support/fake_registry.h"

using namespace varnet;
using namespace varnet::test;

namespace {

// A scanner of this device type and firmware; rs232Baud: it answers only at that rate.
std::unique_ptr<sim::SimScanner> Scanner(int type, const char* firmware, uint32_t rs232Baud = 0) {
  sim::Profile p;
  p.deviceType = type;
  p.firmware = firmware;
  p.rs232Baud = rs232Baud;
  auto s = std::make_unique<sim::SimScanner>(p);
  EXPECT_TRUE(s->Start());
  return s;
}

int Queries(const sim::SimScanner& s) {
  const std::vector<uint8_t> query = {0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83};
  int n = 0;
  for (const auto& f : s.Received()) n += f == query;
  return n;
}

class Search : public ::testing::Test {
 protected:
  SearchResult Run(bool settingMode, bool chinese = false, const std::atomic<bool>* cancel = nullptr) {
    rows.clear(), progress.clear();
    return RunSearch(reg, link, settingMode, chinese,
                     {[this](int p) { progress.push_back(p); }, [this](const DeviceRow& r) { rows.push_back(r); },
                      [this](uint32_t ms) { slept += ms; }},
                     cancel);
  }
  FakeRegistry reg;
  ScannerLink link;
  std::vector<DeviceRow> rows;
  std::vector<int> progress;
  uint32_t slept = 0;
};

}  // namespace

TEST_F(Search, NothingAttachedListsNothingButStillPausesTwice) {
  EXPECT_EQ(Run(true).rows, 0u);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(slept, 1000u);
  EXPECT_EQ(progress.front(), 3);
  EXPECT_EQ(progress.back(), 8);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(Search, KeyboardRowComesFirstThenTheUsbPortThatAnswered) {
  auto usb = Scanner(1, "FW-1.0");
  reg.Set(1, {usb->SlavePath()});
  SearchResult r = Run(false);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].number + rows[0].status + rows[0].description,
            "1Not Ready  2D Barcode Scanner / USB Keyboard Mode");
  EXPECT_EQ(rows[1].number + rows[1].status + rows[1].description + rows[1].firmware,
            "2Ready   2D Barcode ScannerFW-1.0");
  EXPECT_TRUE(r.DeviceTable[0].portName.empty());
  EXPECT_EQ(r.DeviceTable[1].portName, usb->SlavePath());
  EXPECT_EQ(r.DeviceTable[1].baud, 0u);
  EXPECT_TRUE(r.keyboardCount == 1 && r.usbCount == 1);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(Search, Rs232ScannerIsFoundAtItsRateWithTheRateInItsEntry) {
  auto rs = Scanner(1, "R1", 57600);
  auto silent = Scanner(1, "S");  // a serial port with nothing answering on it
  silent->faults().silent = true;
  reg.Set(0, {}, {silent->SlavePath(), rs->SlavePath()});
  auto t0 = std::chrono::steady_clock::now();
  SearchResult r = Run(true);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].description, "   2D Barcode Scanner / RS-232 Port");
  EXPECT_EQ(r.DeviceTable[0].portName, rs->SlavePath());
  EXPECT_EQ(r.DeviceTable[0].baud, 57600u);
  EXPECT_EQ(r.rs232Count, 1);
  // Six silent probes on the empty port; the scanner hears only the one at its rate.
  EXPECT_EQ(Queries(*silent), 6);
  EXPECT_EQ(Queries(*rs), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8));
  // The progress bar walks the rates for each port.
  EXPECT_EQ(progress, (std::vector<int>{3, 6, 1, 2, 3, 4, 5, 6, 1, 2, 3, 8}));
}

TEST_F(Search, ChineseRowsCarryTheRate) {
  auto rs = Scanner(2, "R1");
  reg.Set(1, {}, {rs->SlavePath()});
  Run(true, true);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].status + rows[0].description, "离线  二维扫码器  /  USB 键盘模式");
  EXPECT_EQ(rows[1].status + rows[1].description, "在线   固定式扫码器 / RS-232 串口 , 波特率: 9600");
}

TEST_F(Search, UsbPortsAreProbedOnceAndNineKeyboardScannersFillTheTable) {
  auto usb = Scanner(1, "U");
  reg.Set(0, {usb->SlavePath()}, {usb->SlavePath()});
  Run(false);  // Image Mode: no serial port
  EXPECT_EQ(Queries(*usb), 1);
  Run(true);
  EXPECT_EQ(Queries(*usb), 2);  // once more for the USB list, not again as a serial port
  EXPECT_EQ(rows.size(), 1u);

  reg.Set(9, {usb->SlavePath()}, {usb->SlavePath()});
  EXPECT_EQ(Run(true).rows, 8u);
  EXPECT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.back().number, "8");
  EXPECT_EQ(Queries(*usb), 2);
}

TEST_F(Search, CancelEndsItEarly) {
  auto rs = Scanner(1, "R", 38400);
  reg.Set(0, {}, {rs->SlavePath()});
  std::atomic<bool> cancel{true};
  auto t0 = std::chrono::steady_clock::now();
  Run(true, false, &cancel);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST(UdevFilters, ScannerIdsAndPlaceholderPorts) {
  UdevDeviceFacts kb{"usb", "1-2", "5f3c", "0193"};
  EXPECT_TRUE(IsKeyboardScanner(kb));
  for (auto [vendor, product] : {std::pair{"5f3c", "0187"}, {"5f3c", "01a0"}, {"5f3d", "019f"}}) {
    kb.usbVendor = vendor, kb.usbProduct = product;
    EXPECT_FALSE(IsKeyboardScanner(kb)) << vendor << ":" << product;
  }
  UdevDeviceFacts acm{"tty", "ttyACM0", "5f3c", "0187", true, "cdc_acm", ""};
  EXPECT_TRUE(IsUsbScannerPort(acm) && IsSerialPort(acm));
  acm.usbProduct = "0190";
  EXPECT_FALSE(IsUsbScannerPort(acm));

  UdevDeviceFacts placeholder{"tty", "ttyS3", "", "", true, "serial8250", "0"};
  EXPECT_FALSE(IsSerialPort(placeholder));
  placeholder.serialType = "4";  // a real 16550A
  EXPECT_TRUE(IsSerialPort(placeholder));
  EXPECT_FALSE(IsSerialPort({"tty", "tty1", "", "", false, "", ""}));
}
