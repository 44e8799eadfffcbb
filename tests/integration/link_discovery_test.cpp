// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "link/discovery.h"
#include "platform/port_discovery.h"
#include "platform/udev_devices.h"
#include "sim/sim_scanner.h"
#include "support/fake_registry.h"
#include "support/wire.h"
#include "ui_common/link_texts.h"

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
  const std::vector<uint8_t> query = Cmd(kQueryDeviceType);
  int n = 0;
  for (const auto& f : s.Received()) n += f == query;
  return n;
}

std::unique_ptr<sim::SimScanner> Silent() {
  auto s = Scanner(1, "S");
  s->faults().silent = true;
  return s;
}

size_t OpenDescriptors() { return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})); }

int64_t SecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count();
}

class Search : public ::testing::Test {
 protected:
  SearchResult Run(bool settingMode, bool chinese = false, const LinkCancel* cancel = nullptr) {
    rows.clear(), progress.clear(), shownAt.clear();
    const auto t0 = std::chrono::steady_clock::now();
    return RunSearch(reg, settingMode,
                     {[this, t0](int p) {
                        progress.push_back(p);
                        shownAt.push_back(std::chrono::steady_clock::now() - t0);
                      },
                      [this, chinese](const FoundScanner& f) { rows.push_back(DeviceRowFor(f, chinese)); },
                      [this](uint32_t ms) { slept += ms; }},
                     cancel);
  }
  std::string Listed() const {
    std::string s;
    for (const DeviceRow& r : rows) s += r.number + " " + r.description + " " + r.firmware + "\n";
    return s;
  }
  FakeRegistry reg;
  std::vector<DeviceRow> rows;
  std::vector<int> progress;
  std::vector<std::chrono::steady_clock::duration> shownAt;  // since the search started
  uint32_t slept = 0;
};

}  // namespace

TEST_F(Search, NothingAttachedListsNothingButStillPausesTwice) {
  EXPECT_EQ(Run(true).rows, 0u);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(slept, 1000u);
  EXPECT_EQ(progress.front(), 3);
  EXPECT_EQ(progress.back(), 8);
}

TEST_F(Search, KeyboardRowComesFirstThenTheUsbPortThatAnsweredAfterSilentOnes) {
  auto usb = Scanner(1, "FW-1.0");
  auto s1 = Silent(), s2 = Silent(), s3 = Silent();
  reg.Set(1, {s1->SlavePath(), s2->SlavePath(), s3->SlavePath(), usb->SlavePath()});
  auto t0 = std::chrono::steady_clock::now();
  SearchResult r = Run(false);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].number + rows[0].status + rows[0].description,
            "1Not Ready  2D Barcode Scanner / USB Keyboard Mode");
  EXPECT_EQ(rows[1].number + rows[1].status + rows[1].description + rows[1].firmware,
            "2Ready   2D Barcode ScannerFW-1.0");
  EXPECT_TRUE(r.DeviceTable[0].portName.empty());
  EXPECT_EQ(r.DeviceTable[1].portName, usb->SlavePath());
  EXPECT_EQ(r.DeviceTable[1].baud, 0u);
  EXPECT_TRUE(r.keyboardCount == 1 && r.usbCount == 4);
  EXPECT_EQ(progress, (std::vector<int>{3, 6, 8}));
  // The three silent ports wait out their second at the same time, not in turn.
  EXPECT_LT(SecondsSince(t0), 3);
}

TEST_F(Search, RowsKeepThePortOrderWhicheverPortsAnswerFirst) {
  // Answering ports first, between silent ones and last; the last one only at
  // 230400, so it finishes after the others but before the silent port. A port
  // that cannot be opened and one that refuses the query run through all six
  // rates at once, long before the silent port.
  auto usb = Scanner(1, "U1");
  auto a = Scanner(2, "A1", 57600), b = Scanner(3, "B1", 9600), c = Scanner(4, "C1", 230400);
  auto s1 = Silent(), refusing = Scanner(1, "R");
  refusing->faults().refuseAll = true;
  reg.Set(0, {usb->SlavePath()},
          {"/dev/varnet-no-such-port", a->SlavePath(), refusing->SlavePath(), s1->SlavePath(), b->SlavePath(),
           c->SlavePath()});
  auto t0 = std::chrono::steady_clock::now();
  SearchResult r = Run(true);
  EXPECT_EQ(Listed(),
            "1    2D Barcode Scanner U1\n"
            "2    Fixed Mount Scanner / RS-232 Port A1\n"
            "3    On Counter Scanner / RS-232 Port B1\n"
            "4    DPM Scanner / RS-232 Port C1\n");
  ASSERT_EQ(r.rows, 4u);
  const std::pair<std::string, uint32_t> entries[] = {
      {usb->SlavePath(), 0}, {a->SlavePath(), 57600}, {b->SlavePath(), 9600}, {c->SlavePath(), 230400}};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(std::make_pair(r.DeviceTable[i].portName, r.DeviceTable[i].baud), entries[i]) << i;
  EXPECT_TRUE(r.usbCount == 1 && r.rs232Count == 3);
  // Each port walks the rates in their order and stops at the one that answers.
  EXPECT_EQ(Queries(*s1), 6);
  EXPECT_EQ(Queries(*refusing), 6);
  for (auto* s : {usb.get(), a.get(), b.get(), c.get()}) EXPECT_EQ(Queries(*s), 1);
  // The bar follows the rate rounds of the slowest port still walking: the
  // silent one takes a second a rate.
  EXPECT_EQ(progress, (std::vector<int>{3, 6, 1, 2, 3, 4, 5, 6, 8}));
  for (size_t i = 3; i + 1 < progress.size(); ++i)
    EXPECT_GE(shownAt[i], std::chrono::milliseconds(1000 * (progress[i] - 1) - 100)) << progress[i];
  // A silent port and five probes before 230400: about 11 s one after the
  // other, about 6 s side by side.
  EXPECT_LT(SecondsSince(t0), 10);
}

TEST_F(Search, ChineseRowsCarryTheRate) {
  auto rs = Scanner(2, "R1");
  reg.Set(1, {}, {rs->SlavePath()});
  Run(true, true);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].status + rows[0].description, "离线  二维扫码器  /  USB 键盘模式");
  EXPECT_EQ(rows[1].status + rows[1].description, "在线   固定式扫码器 / RS-232 串口 , 波特率: 9600");
}

TEST_F(Search, UsbPortsAreProbedOnceAndTheTableHoldsEightRows) {
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

  // Seven keyboard rows leave one entry: the first serial port that answers;
  // one that answers later finds the table full.
  auto other = Scanner(2, "O"), later = Scanner(3, "L", 57600);
  reg.Set(7, {}, {other->SlavePath(), later->SlavePath()});
  SearchResult r = Run(true);
  ASSERT_EQ(r.rows, 8u);
  EXPECT_EQ(rows.size(), 8u);
  EXPECT_EQ(r.DeviceTable[7].portName, other->SlavePath());
  EXPECT_EQ(r.rs232Count, 1);
}

TEST_F(Search, CancelEndsAParallelSearchAtOnceWithEveryPortClosed) {
  std::vector<std::unique_ptr<sim::SimScanner>> silent;
  for (int i = 0; i < 5; ++i) silent.push_back(Silent());
  reg.Set(0, {silent[0]->SlavePath()},
          {silent[1]->SlavePath(), silent[2]->SlavePath(), silent[3]->SlavePath(), silent[4]->SlavePath()});
  LinkCancel cancel;
  const size_t descriptors = OpenDescriptors();
  std::chrono::steady_clock::time_point ended;
  std::thread search([&] {
    Run(true, false, &cancel);
    ended = std::chrono::steady_clock::now();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the serial ports are at their second rate
  const auto raised = std::chrono::steady_clock::now();
  cancel.Raise();
  search.join();
  EXPECT_LT(ended - raised, std::chrono::milliseconds(500));
  EXPECT_TRUE(rows.empty());
  // Every probe closed its own port: all of them can be opened again.
  EXPECT_EQ(OpenDescriptors(), descriptors);
  for (auto& s : silent) {
    ScannerLink link;
    EXPECT_TRUE(OpenLink(link, s->SlavePath(), 9600)) << s->SlavePath();
  }
}

TEST(UdevFilters, ScannerIdsAndPlaceholderPorts) {
  using namespace varnet::platform;
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
