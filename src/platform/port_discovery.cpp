// SPDX-License-Identifier: Apache-2.0
#include "platform/port_discovery.h"

#include <cctype>

namespace varnet::platform {

namespace {

constexpr uint16_t kVendor = 0x5F3C;

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Four hex digits after `tag` within the first part of the id.
bool HexAfter(const std::string& id, const std::string& tag, uint16_t& value) {
  const size_t at = id.find(tag);
  if (at == std::string::npos || at + tag.size() + 4 > id.size()) return false;
  value = 0;
  for (size_t i = at + tag.size(); i < at + tag.size() + 4; ++i) {
    const char c = id[i];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = uint16_t(value * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10));
  }
  return true;
}

}  // namespace

bool IsScannerVirtualPort(uint16_t vendor, uint16_t product) { return vendor == kVendor && product == 0x0187; }

bool IsScannerKeyboard(uint16_t vendor, uint16_t product) {
  return vendor == kVendor && product >= 0x0190 && product <= 0x019F;
}

UsbInstance ParseUsbInstanceId(const std::string& instanceId) {
  const std::string id = Upper(instanceId);
  UsbInstance u;
  if (id.rfind("USB\\", 0) != 0) return u;
  // The hardware part: between the enumerator and the instance's own part.
  const size_t end = id.find('\\', 4);
  const std::string hardware = id.substr(4, end == std::string::npos ? std::string::npos : end - 4);
  if (!HexAfter(hardware, "VID_", u.vendor) || !HexAfter(hardware, "PID_", u.product)) return u;
  u.usb = true;
  u.isInterface = hardware.find("&MI_") != std::string::npos;
  return u;
}

}  // namespace varnet::platform
