// SPDX-License-Identifier: Apache-2.0
#include "link/device_info.h"

#include "link/protocol.h"

namespace varnet {

std::string ParamBlock::Text(size_t off, size_t maxLen) const {
  std::string s;
  for (size_t i = off; i < off + maxLen && i < kSize && bytes[i] != 0; ++i) s.push_back(char(bytes[i]));
  return s;
}

bool ReadDeviceInformation(ScannerLink& link, DeviceInfo& info) {
  info.deviceType = QueryDeviceType(link);
  if (info.deviceType <= 0) return false;

  SendShortCommand(link, kReadParamBlock);
  if (!ReadBlock(link, info)) return false;
  info.interfaceAtConnect = info.paramBlock.U8(pb::OutputInterface);

  if ((info.paramBlock.U8(pb::Flags) & 0x40) == 0) {
    SendShortCommand(link, kConnectBit6Clear);
    (void)WaitAck(link, 250);
  }

  // A format block left from an earlier scanner must not stand in for this one's.
  info.formatBlock.reset();
  SendShortCommand(link, kReadFormatBlock);
  (void)ReadBlock(link, info);
  return true;
}

bool RestartOnClose(const DeviceInfo& info) {
  return info.settingsDirty && info.interfaceAtConnect != info.paramBlock.U8(pb::OutputInterface);
}

void SendRestart(ScannerLink& link) { SendShortCommand(link, kRestart); }

bool RefreshBlocks(ScannerLink& link, DeviceInfo& info) {
  SendShortCommand(link, kReadParamBlock);
  if (!ReadBlock(link, info)) return false;
  if (info.formatBlock) {
    SendShortCommand(link, kReadFormatBlock);
    (void)ReadBlock(link, info);
  }
  return true;
}

void ReleaseFormatBlock(DeviceInfo& info) { info.formatBlock.reset(); }

}  // namespace varnet
