// SPDX-License-Identifier: Apache-2.0
#include <sstream>

#include "cli/cli.h"
#include "link/protocol.h"

namespace varnet::cli {

namespace {

// The search of the desktop program in Setting Mode.
int List(const Options& o, Context& context) {
  std::ostream& out = context.out;
  ScannerLink probe;
  std::vector<DeviceRow> rows;
  SearchCallbacks cb;
  cb.addRow = [&](const DeviceRow& r) { rows.push_back(r); };
  SearchResult found = RunSearch(context.registry, probe, true, false, cb);
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& e = found.DeviceTable[i];
    if (o.json) {
      out << nlohmann::json{{"row", i + 1},       {"status", rows[i].status}, {"description", rows[i].description},
                            {"firmware", rows[i].firmware}, {"port", e.portName}, {"baud", e.baud}}
                 .dump()
          << "\n";
    } else {
      out << rows[i].number << "  " << rows[i].status << "  " << rows[i].description;
      if (!e.portName.empty()) out << "  " << e.portName;
      if (e.baud) out << " @" << e.baud;
      if (!rows[i].firmware.empty()) out << "  FW " << rows[i].firmware;
      out << "\n";
    }
  }
  if (rows.empty() && !o.json) out << "no scanner found\n";
  return kOk;
}

PortResult Save(Session& s, const Options&) {
  PortResult r;
  SendShortCommand(s.link, 0xA0, 0x08, 0x01);
  r.ok = WaitAck(s.link, 2000);
  r.message = MessageText(r.ok ? MessageId::SettingsSaved : MessageId::SaveFailed);
  return r;
}

}  // namespace

CommandSpec ListCommand() {
  CommandSpec list{.name = "list", .summary = "search as the desktop program does in Setting Mode"};
  list.details =
      "One line per row of the device list: keyboard-mode scanners, USB virtual ports, and every serial port "
      "probed at the six RS-232 rates.";
  list.shared = {"--json"};
  list.examples = {"list", "--json list"};
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
