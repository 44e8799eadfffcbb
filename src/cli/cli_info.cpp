// SPDX-License-Identifier: Apache-2.0
#include <sstream>

#include "cli/cli.h"
#include "ui_common/text.h"

namespace varnet::cli {

namespace {

PortResult Info(Session& s, const Options&) {
  PortResult r;
  const auto& pb = s.info.paramBlock;
  r.json = {{"port", s.port},
            {"device_type", s.info.deviceType},
            {"device_name", Trimmed(DeviceTypeName(s.info.deviceType, false))},
            {"model_name", pb.ModelName()},
            {"model_code", pb.ModelCode()},
            {"firmware", s.texts.firmware},
            {"serial_number", s.texts.serial},
            {"format_block", s.info.HasFormatBlock()},
            {"format_block_length", s.info.HasFormatBlock() ? s.info.formatBlock->size() : 0}};
  std::ostringstream t;
  t << "port:          " << s.port << "\n"
    << "device type:   " << s.info.deviceType << " (" << Trimmed(DeviceTypeName(s.info.deviceType, false)) << ")\n"
    << "model name:    " << pb.ModelName() << "\n"
    << "model code:    " << int(pb.ModelCode()) << "\n"
    << "firmware:      " << s.texts.firmware << "\n"
    << "serial number: " << s.texts.serial << "\n"
    << "format block:  "
    << (s.info.HasFormatBlock() ? "yes (" + std::to_string(s.info.formatBlock->size()) + " bytes)" : std::string("no"))
    << "\n";
  r.text = t.str();
  return r;
}

}  // namespace

CommandSpec InfoCommand() {
  CommandSpec info{.name = "info", .summary = "device type, model, firmware, serial number, format block"};
  info.details = "What the scanner says of itself at connection, as the desktop program reads it.";
  info.shared = {"--port", "--all", "--baud", "--json"};
  info.examples = {"--port ttyACM0 info", "--all --json info"};
  info.run = Info;
  return info;
}

}  // namespace varnet::cli
