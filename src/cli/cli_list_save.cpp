// SPDX-License-Identifier: Apache-2.0
#include <sstream>

#include "cli/cli.h"
#include "link/protocol.h"

namespace varnet::cli {

namespace {

// The search of the desktop program in Setting Mode.
int List(const Options& o, std::ostream& out, std::ostream&) {
  std::vector<DeviceRow> rows;
  SearchCallbacks cb;
  cb.addRow = [&](const DeviceRow& r) { rows.push_back(r); };
  SearchResult found = RunSearch(Registry(), true, false, cb);
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

const bool registered = [] {
  CommandSpec list{"list                       search as the desktop program does in Setting Mode", false, 0, 0};
  list.runAlone = List;
  Commands()["list"] = list;
  Commands()["save"] = CommandSpec{"save                       make the settings permanent", true, 0, 0, Save, nullptr};
  return true;
}();

}  // namespace
}  // namespace varnet::cli
