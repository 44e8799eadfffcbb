// SPDX-License-Identifier: Apache-2.0
// varnet-demo: the real program on simulated scanners, so it can be tried
// without hardware. Three scanners: one on a USB virtual port, one on an
// RS-232 port at 57600 baud (listed in Setting Mode), and one in USB
// keyboard mode that comes back as a virtual port a few seconds after its
// row is selected, as if the connection barcode had been scanned. Their
// ports are pseudo-terminals, or in-process lines ("sim:usb-1") on Windows.
#include <QTimer>

#include <memory>
#include <mutex>

#include "app/varnet_app.h"
#include "app/varnet_dlg.h"
#include "sim/sim_scanner.h"

namespace {

class DemoRegistry : public varnet::DeviceRegistry {
 public:
  DemoRegistry() {
    usb_ = Make("usb");
    rs232_ = Make("rs232");
  }
  int CountKeyboardScanners() override {
    std::lock_guard<std::mutex> l(mu_);
    return keyboard_ ? 0 : 1;
  }
  std::vector<std::string> ListUsbScannerPorts() override {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<std::string> ports{usb_->SlavePath()};
    if (keyboard_) ports.push_back(keyboard_->SlavePath());
    return ports;
  }
  std::vector<std::string> ListSerialPorts() override {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<std::string> ports{usb_->SlavePath(), rs232_->SlavePath()};
    if (keyboard_) ports.push_back(keyboard_->SlavePath());
    return ports;
  }
  // The keyboard-mode scanner read the connection barcode.
  void SwitchKeyboardScanner() {
    std::lock_guard<std::mutex> l(mu_);
    if (!keyboard_) keyboard_ = Make("code5");
  }

 private:
  static std::unique_ptr<varnet::sim::SimScanner> Make(const char* profile) {
    auto p = varnet::sim::ProfileNamed(profile);
    auto s = std::make_unique<varnet::sim::SimScanner>(p);
    s->Start();
    // Setting Mode shows what a scanner sends after a decode.
    s->SetScanData({'V', 'A', 'R', 'N', 'E', 'T', '-', '4', '2', 0x0D, 0x0A}, 3000);
    return s;
  }
  std::mutex mu_;
  std::unique_ptr<varnet::sim::SimScanner> usb_, rs232_, keyboard_;
};

}  // namespace

int main(int argc, char** argv) {
  varnet::CVarnetApp app(argc, argv);
  DemoRegistry registry;
  return app.Run(registry, [&](varnet::CVarnetDlg& dlg) {
    QObject::connect(&dlg, &varnet::CVarnetDlg::waitingForKeyboardScanner, &dlg,
                     [&] { QTimer::singleShot(3000, &dlg, [&] { registry.SwitchKeyboardScanner(); }); });
  });
}
