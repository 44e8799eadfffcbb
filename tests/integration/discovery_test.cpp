#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "link/discovery.h"
#include "link/udev_registry.h"
#include "support/fake_registry.h"
#include "support/scripted_scanner.h"

using namespace varnet;
using namespace varnet::test;

namespace {

std::unique_ptr<ScriptedScanner> Scanner(int type, const char* firmware) {
  auto s = std::make_unique<ScriptedScanner>();
  s->On(0x0E, 0x0D, 0x06, DataReply({uint8_t(type)}));
  std::vector<uint8_t> fw(firmware, firmware + std::strlen(firmware));
  s->On(0x0E, 0x0D, 0x02, DataReply(fw));
  return s;
}

struct Collected {
  std::vector<DeviceRow> rows;
  std::vector<int> progress;
  uint32_t slept = 0;
  SearchCallbacks Callbacks() {
    return {[this](int p) { progress.push_back(p); }, [this](const DeviceRow& r) { rows.push_back(r); },
            [this](uint32_t ms) { slept += ms; }};
  }
};

int Queries(ScriptedScanner& s) {
  int n = 0;
  for (auto& f : s.Frames())
    if (f.size() == 7 && f[2] == 0x0E && f[3] == 0x0D && f[4] == 0x06) ++n;
  return n;
}

}  // namespace

TEST(Search, NothingAttachedListsNothingButStillPausesTwice) {
  FakeRegistry reg;
  ScannerLink link;
  Collected c;
  SearchResult r = RunSearch(reg, link, true, false, c.Callbacks());
  EXPECT_EQ(r.rows, 0u);
  EXPECT_TRUE(c.rows.empty());
  EXPECT_EQ(c.slept, 1000u);
  EXPECT_EQ(c.progress.front(), 3);
  EXPECT_EQ(c.progress.back(), 8);
  EXPECT_FALSE(link.IsOpen());
}

TEST(Search, KeyboardRowComesFirstThenTheUsbPortThatAnswered) {
  auto usb = Scanner(1, "FW-1.0");
  FakeRegistry reg;
  reg.Set(1, {usb->SlavePath()});
  ScannerLink link;
  Collected c;
  SearchResult r = RunSearch(reg, link, false, false, c.Callbacks());
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[0].number, "1");
  EXPECT_EQ(c.rows[0].status, "Not Ready");
  EXPECT_EQ(c.rows[0].description, "  2D Barcode Scanner / USB Keyboard Mode");
  EXPECT_EQ(c.rows[1].number, "2");
  EXPECT_EQ(c.rows[1].status, "Ready");
  EXPECT_EQ(c.rows[1].description, "   2D Barcode Scanner");
  EXPECT_EQ(c.rows[1].firmware, "FW-1.0");
  EXPECT_TRUE(r.DeviceTable[0].portName.empty());
  EXPECT_EQ(r.DeviceTable[1].portName, usb->SlavePath());
  EXPECT_EQ(r.DeviceTable[1].baud, 0u);
  EXPECT_EQ(r.keyboardCount, 1);
  EXPECT_EQ(r.usbCount, 1);
  EXPECT_FALSE(link.IsOpen());
}

TEST(Search, Rs232ScannerIsFoundAtItsRateWithTheRateInItsEntry) {
  auto rs = Scanner(1, "R1");
  rs->AnswerOnlyAt(57600);
  auto silent = std::make_unique<ScriptedScanner>();  // a serial port with nothing on it
  FakeRegistry reg;
  reg.Set(0, {}, {silent->SlavePath(), rs->SlavePath()});
  ScannerLink link;
  Collected c;
  auto t0 = std::chrono::steady_clock::now();
  SearchResult r = RunSearch(reg, link, true, false, c.Callbacks());
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_EQ(c.rows.size(), 1u);
  EXPECT_EQ(c.rows[0].description, "   2D Barcode Scanner / RS-232 Port");
  EXPECT_EQ(r.DeviceTable[0].portName, rs->SlavePath());
  EXPECT_EQ(r.DeviceTable[0].baud, 57600u);
  EXPECT_EQ(r.rs232Count, 1);
  // Six silent probes on the empty port, then the third rate answers.
  EXPECT_EQ(Queries(*silent), 6);
  EXPECT_EQ(Queries(*rs), 3);
  EXPECT_GE(took, 8000);
  // The progress bar walks the rates for each port.
  std::vector<int> expect{3, 6, 1, 2, 3, 4, 5, 6, 1, 2, 3, 8};
  EXPECT_EQ(c.progress, expect);
}

TEST(Search, ChineseRowsCarryTheRate) {
  auto rs = Scanner(2, "R1");
  FakeRegistry reg;
  reg.Set(1, {}, {rs->SlavePath()});
  ScannerLink link;
  Collected c;
  RunSearch(reg, link, true, true, c.Callbacks());
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[0].status, "离线");
  EXPECT_EQ(c.rows[0].description, "  二维扫码器  /  USB 键盘模式");
  EXPECT_EQ(c.rows[1].status, "在线");
  EXPECT_EQ(c.rows[1].description, "   固定式扫码器 / RS-232 串口 , 波特率: 9600");
}

TEST(Search, ImageModeProbesNoSerialPortAndUsbPortsAreNotProbedTwice) {
  auto usb = Scanner(1, "U");
  FakeRegistry reg;
  reg.Set(0, {usb->SlavePath()}, {usb->SlavePath()});
  ScannerLink link;
  Collected c;
  RunSearch(reg, link, false, false, c.Callbacks());
  EXPECT_EQ(Queries(*usb), 1);
  RunSearch(reg, link, true, false, c.Callbacks());
  EXPECT_EQ(Queries(*usb), 2);  // once more for the USB list, not again as a serial port
  EXPECT_EQ(c.rows.size(), 2u);
}

TEST(Search, NineKeyboardScannersFillTheTableAndNothingIsProbed) {
  auto usb = Scanner(1, "U");
  FakeRegistry reg;
  reg.Set(9, {usb->SlavePath()}, {usb->SlavePath()});
  ScannerLink link;
  Collected c;
  SearchResult r = RunSearch(reg, link, true, false, c.Callbacks());
  EXPECT_EQ(c.rows.size(), 8u);
  EXPECT_EQ(r.rows, 8u);
  EXPECT_EQ(Queries(*usb), 0);
  EXPECT_EQ(c.rows.back().number, "8");
}

TEST(Search, CancelEndsItEarly) {
  auto rs = std::make_unique<ScriptedScanner>();
  FakeRegistry reg;
  reg.Set(0, {}, {rs->SlavePath()});
  ScannerLink link;
  Collected c;
  std::atomic<bool> cancel{true};
  auto t0 = std::chrono::steady_clock::now();
  RunSearch(reg, link, true, false, c.Callbacks(), &cancel);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST(UdevFilters, ScannerIdsAndPlaceholderPorts) {
  UdevDeviceFacts kb{"usb", "1-2", "5f3c", "0193"};
  EXPECT_TRUE(IsKeyboardScanner(kb));
  kb.usbProduct = "0187";
  EXPECT_FALSE(IsKeyboardScanner(kb));
  kb.usbProduct = "01a0";
  EXPECT_FALSE(IsKeyboardScanner(kb));
  kb.usbProduct = "019f";
  kb.usbVendor = "5f3d";
  EXPECT_FALSE(IsKeyboardScanner(kb));

  UdevDeviceFacts acm{"tty", "ttyACM0", "5f3c", "0187", true, "cdc_acm", ""};
  EXPECT_TRUE(IsUsbScannerPort(acm));
  EXPECT_TRUE(IsSerialPort(acm));
  acm.usbProduct = "0190";
  EXPECT_FALSE(IsUsbScannerPort(acm));

  UdevDeviceFacts placeholder{"tty", "ttyS3", "", "", true, "serial8250", "0"};
  EXPECT_FALSE(IsSerialPort(placeholder));
  placeholder.serialType = "4";  // a real 16550A
  EXPECT_TRUE(IsSerialPort(placeholder));
  UdevDeviceFacts console{"tty", "tty1", "", "", false, "", ""};
  EXPECT_FALSE(IsSerialPort(console));
}
