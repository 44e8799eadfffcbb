// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "link/protocol.h"

namespace varnet::cli {

namespace {

// Exactly the ports given on the command line, each as a serial port.
class GivenPorts : public DeviceRegistry {
 public:
  explicit GivenPorts(std::vector<std::string> ports) : ports_(std::move(ports)) {}
  int CountKeyboardScanners() override { return 0; }
  std::vector<std::string> ListUsbScannerPorts() override { return {}; }
  std::vector<std::string> ListSerialPorts() override { return ports_; }

 private:
  std::vector<std::string> ports_;
};

struct Listed {
  DeviceRow row;
  DeviceTableEntry entry;
};

std::vector<Listed> Search(DeviceRegistry& registry, size_t atOnce) {
  std::vector<DeviceRow> rows;
  SearchCallbacks cb;
  cb.found = [&](const FoundScanner& f) { rows.push_back(DeviceRowFor(f, false)); };
  const SearchResult found = RunSearch(registry, true, cb, nullptr, atOnce);
  std::vector<Listed> listed;
  for (size_t i = 0; i < rows.size() && i < found.rows; ++i) listed.push_back({rows[i], found.DeviceTable[i]});
  return listed;
}

// The search of the desktop program in Setting Mode, or with --port exactly
// the ports given.
int List(const Options& o, Context& context) {
  std::ostream& out = context.out;
  std::vector<Listed> listed;
  if (o.ports.empty()) {
    listed = Search(context.registry, o.jobs);
  } else {
    std::vector<std::string> ports;
    for (const std::string& p : o.ports)
      if (std::find(ports.begin(), ports.end(), p) == ports.end()) ports.push_back(p);
    // The device list holds eight rows: more ports are searched eight at a time.
    for (size_t at = 0; at < ports.size(); at += kDeviceTableSize) {
      GivenPorts some({ports.begin() + at, ports.begin() + std::min(ports.size(), at + kDeviceTableSize)});
      for (Listed& l : Search(some, o.jobs)) {
        l.row.number = std::to_string(listed.size() + 1);
        listed.push_back(std::move(l));
      }
    }
  }
  for (size_t i = 0; i < listed.size(); ++i) {
    const DeviceRow& row = listed[i].row;
    const DeviceTableEntry& e = listed[i].entry;
    if (o.json) {
      out << nlohmann::json{{"row", i + 1},
                            {"status", row.status},
                            {"description", row.description},
                            {"firmware", row.firmware},
                            {"port", e.portName},
                            {"baud", e.baud}}
                 .dump()
          << "\n";
    } else {
      out << row.number << "  " << row.status << "  " << row.description;
      if (!e.portName.empty()) out << "  " << e.portName;
      if (e.baud) out << " @" << e.baud;
      if (!row.firmware.empty()) out << "  FW " << row.firmware;
      out << "\n";
    }
  }
  if (listed.empty() && !o.json) out << "no scanner found\n";
  return kOk;
}

PortResult Save(Session& s, const Options&) {
  PortResult r;
  SendShortCommand(s.link, kSave);
  r.ok = WaitAck(s.link, 2000);
  r.message = MessageText(r.ok ? MessageId::SettingsSaved : MessageId::SaveFailed);
  return r;
}

}  // namespace

CommandSpec ListCommand() {
  CommandSpec list{.name = "list", .summary = "search as the desktop program does in Setting Mode"};
  list.details =
      "One line per row of the device list: keyboard-mode scanners, USB virtual ports, and every serial port "
      "probed at the six RS-232 rates, all ports at the same time. With --port, exactly the ports given, each "
      "probed as a serial port.";
  list.shared = {"--port", "--json"};
  list.examples = {"list", "--json list", "--port ttyS0 --port ttyUSB0 list"};
  list.needsScanner = false;
  list.runAlone = List;
  return list;
}

CommandSpec SaveCommand() {
  CommandSpec save{.name = "save", .summary = "make the settings permanent"};
  save.details = "Sends the save command (A0 08 01); the scanner must acknowledge it within 2000 ms.";
  save.shared = {"--port", "--all", "--baud", "--json"};
  save.examples = {"--port ttyACM0 save"};
  save.run = Save;
  return save;
}

}  // namespace varnet::cli
