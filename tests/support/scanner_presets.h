#pragma once
#include <cstring>
#include <memory>
#include <string>

#include "support/scripted_scanner.h"

namespace varnet::test {

// A scripted scanner that answers a whole connection: device type, both
// blocks, texts and the image-mode and save commands.
inline std::unique_ptr<ScriptedScanner> ConnectableScanner(uint8_t modelCode = 1, uint8_t outputInterface = 3,
                                                           bool formatBlock = true) {
  auto s = std::make_unique<ScriptedScanner>();
  std::vector<uint8_t> param(192, 0);
  std::memcpy(param.data(), "HS-2D", 5);
  param[16] = modelCode;
  param[43] = outputInterface;
  param[188] = 0x40;
  const std::vector<uint8_t> ack{0x52, 0xA0, 0xEC, 0xFE, 0x74};
  s->On(0x0E, 0x0D, 0x06, DataReply({0x01}));
  s->On(0x0E, 0x0D, 0x08, BlockReply("*DCF*", param));
  if (formatBlock) s->On(0x0E, 0x0D, 0x0A, BlockReply("*DFF*", std::vector<uint8_t>(640, 0)));
  else s->On(0x0E, 0x0D, 0x0A, {0x52, 0xA0, 0xE0, 0xFE, 0x80});
  s->On(0x0E, 0x0D, 0x02, DataReply({'V', '3', '.', '1'}));
  s->On(0x0E, 0x0D, 0x53, DataReply({'S', 'N', '7'}));
  for (auto cmd : {0x05, 0x00}) s->On(0xA0, 0x02, uint8_t(cmd), ack);
  s->On(0xA0, 0x08, 0x01, ack);
  return s;
}

}  // namespace varnet::test
