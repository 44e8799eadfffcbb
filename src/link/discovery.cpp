// SPDX-License-Identifier: Apache-2.0
#include "link/discovery.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>

#include "link/doorbell.h"
#include "link/protocol.h"
#include "platform/port_discovery.h"

namespace varnet {

namespace {

class SystemRegistry : public DeviceRegistry {
 public:
  int CountKeyboardScanners() override { return platform::CountKeyboardScanners(); }
  std::vector<std::string> ListUsbScannerPorts() override { return AtMostATable(platform::ListUsbScannerPorts()); }
  std::vector<std::string> ListSerialPorts() override { return AtMostATable(platform::ListSerialPorts()); }

 private:
  static std::vector<std::string> AtMostATable(std::vector<std::string> ports) {
    if (ports.size() > kDeviceTableSize) ports.resize(kDeviceTableSize);
    return ports;
  }
};

}  // namespace

std::unique_ptr<DeviceRegistry> MakeSystemRegistry() { return std::make_unique<SystemRegistry>(); }

bool ProbePort(ScannerLink& link, const std::string& port, uint32_t baud, FoundScanner& found) {
  if (!OpenLink(link, port, baud)) return false;
  int type = QueryDeviceType(link);
  if (type <= 0) {
    CloseLink(link);
    return false;
  }
  found = FoundScanner{};
  found.entry = {port, baud < kUsbProbeRate ? baud : 0};
  found.deviceType = type;
  SendShortCommand(link, kQueryFirmware);
  if (auto text = ReadTextReply(link, 500); text && !text->empty()) found.firmware = *text;
  CloseLink(link);
  return true;
}

namespace {

// One port being probed. The probe's thread writes it, the searching thread
// reads it, both under Board::mu.
struct PortProbe {
  std::string port;
  bool usb = false;
  int position = 0;  // RS-232: the rate being tried (1..6); 0 when not walking
  bool done = false;
  bool answered = false;
  FoundScanner found;
};

// What the probes share with the searching thread, and the bell they ring
// when something changed.
struct Board {
  std::mutex mu;
  std::vector<PortProbe> probes;
  size_t nextToProbe = 0;
  Doorbell bell;
};

// One port, on the thread that takes it: its own link, watching the search's stop.
void ProbeOnePort(Board& board, size_t index, const LinkCancel& stop) {
  std::string port;
  bool usb;
  {
    std::lock_guard lock(board.mu);
    port = board.probes[index].port;
    usb = board.probes[index].usb;
  }
  ScannerLink link;
  link.cancel = &stop;
  FoundScanner found;
  bool answered = false;
  if (usb) {
    answered = ProbePort(link, port, kUsbProbeRate, found);
  } else {
    for (size_t i = 0; i < std::size(kRs232Rates) && !stop.Raised(); ++i) {
      if (i > 0) {
        {
          std::lock_guard lock(board.mu);
          board.probes[index].position = int(i + 1);
        }
        board.bell.Ring();
      }
      if (ProbePort(link, port, kRs232Rates[i], found)) {
        answered = true;
        break;
      }
    }
  }
  CloseLink(link);
  {
    std::lock_guard lock(board.mu);
    PortProbe& p = board.probes[index];
    p.done = true;
    p.position = 0;
    p.answered = answered;
    p.found = std::move(found);
  }
  board.bell.Ring();
}

// A probe thread: the next port nobody has taken yet, until none is left.
void ProbePorts(Board& board, const LinkCancel& stop) {
  for (;;) {
    size_t index;
    {
      std::lock_guard lock(board.mu);
      if (board.nextToProbe == board.probes.size()) return;
      index = board.nextToProbe++;
    }
    ProbeOnePort(board, index, stop);
  }
}

}  // namespace

SearchResult RunSearch(DeviceRegistry& registry, bool settingMode, const SearchCallbacks& cb, const LinkCancel* cancel,
                       size_t atOnce) {
  SearchResult result;
  auto cancelled = [&] { return cancel && cancel->Raised(); };
  auto progress = [&](int p) {
    if (cb.progress) cb.progress(p);
  };
  auto sleep = [&](uint32_t ms) {
    if (cb.sleepMs && !cancelled()) cb.sleepMs(ms);
  };
  auto add = [&](FoundScanner found) {
    found.row = result.rows;
    result.DeviceTable[result.rows++] = found.entry;
    if (cb.found) cb.found(found);
  };

  // Keyboard-mode scanners: listed, but not reachable until they come back
  // as a virtual serial port.
  int k = std::min<int>(registry.CountKeyboardScanners(), int(kDeviceTableSize));
  result.keyboardCount = uint8_t(k);
  progress(3);
  for (int i = 0; i < k; ++i) add(FoundScanner{});
  sleep(500);

  Board board;
  std::vector<std::string> usbPorts;
  if (k < int(kDeviceTableSize) && !cancelled()) {
    usbPorts = registry.ListUsbScannerPorts();
    if (usbPorts.size() > kDeviceTableSize - size_t(k)) usbPorts.resize(kDeviceTableSize - size_t(k));
    result.usbCount = uint8_t(usbPorts.size());
    progress(6);
    for (const auto& port : usbPorts) board.probes.push_back({port, true});
  }
  if (settingMode && size_t(k) + usbPorts.size() < kDeviceTableSize && !cancelled()) {
    for (const auto& port : registry.ListSerialPorts())
      if (std::find(usbPorts.begin(), usbPorts.end(), port) == usbPorts.end()) board.probes.push_back({port, false, 1});
  }

  // Ended early by the caller, or once the table is full: the ports still
  // being probed would get no row anyway.
  LinkCancel stop;
  std::vector<std::thread> threads;
  const size_t n = board.probes.size();
  const size_t probers = atOnce > 0 ? std::min(atOnce, n) : n;
  for (size_t i = 0; i < probers && !cancelled(); ++i) {
    try {
      threads.emplace_back(ProbePorts, std::ref(board), std::cref(stop));
    } catch (const std::system_error&) {
      break;  // no thread to spare: those started take every port
    }
  }
  if (threads.empty() && !cancelled()) ProbePorts(board, stop);

  int shown = 0;  // the middle position on the bar
  for (size_t next = 0; next < n && !cancelled();) {
    int slowest = 0;
    std::vector<PortProbe> finished;  // in port order, every port before them done
    {
      std::lock_guard lock(board.mu);
      for (const PortProbe& p : board.probes)
        if (p.position > 0 && (slowest == 0 || p.position < slowest)) slowest = p.position;
      for (; next < n && board.probes[next].done; ++next) finished.push_back(std::move(board.probes[next]));
    }
    // The slowest port only moves on, and finished ones leave the count, so
    // the bar never steps back within the rounds.
    if (slowest > shown) progress(shown = slowest);
    for (PortProbe& p : finished) {
      if (!p.answered) continue;
      add(std::move(p.found));
      if (!p.usb) ++result.rs232Count;
      if (result.rows < kDeviceTableSize) continue;
      next = n;  // the table is full: later ports get no row
      break;
    }
    if (next < n) board.bell.Wait(cancel);
  }
  stop.Raise();
  for (auto& t : threads) t.join();

  progress(8);
  sleep(500);
  return result;
}

}  // namespace varnet
