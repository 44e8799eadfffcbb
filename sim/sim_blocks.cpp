// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_blocks.h"

#include <array>
#include <cstring>
#include <string>

namespace varnet::sim {

namespace {

void SetBit(std::vector<uint8_t>& b, int at, int bit, bool on) {
  if (on) b[at] = static_cast<uint8_t>(b[at] | (1u << bit));
  else b[at] = static_cast<uint8_t>(b[at] & ~(1u << bit));
}

std::optional<bool> OnOff(uint8_t p3) {
  if (p3 == 0x0E) return true;
  if (p3 == 0x0D) return false;
  return std::nullopt;
}

void PutText(std::vector<uint8_t>& b, size_t at, size_t width, const std::string& s) {
  std::memset(b.data() + at, 0, width);
  std::memcpy(b.data() + at, s.data(), std::min(width, s.size()));
}

void PutBytes(std::vector<uint8_t>& b, size_t at, size_t width, const std::vector<uint8_t>& v) {
  std::memset(b.data() + at, 0, width);
  if (!v.empty()) std::memcpy(b.data() + at, v.data(), std::min(width, v.size()));
}

// "Scan", "Decode" and "Interface" settings: command group A1.
bool ApplyA1(std::vector<uint8_t>& p, uint8_t p2, uint8_t p3) {
  using namespace param;
  const uint8_t code = p[kModelCode];
  switch (p2) {
    case 0x02:  // scan mode, or the sense trigger type of some models
      if (p3 >= 0x01 && p3 <= 0x04) return p[kScanMode] = p3, true;
      if (p3 >= 0x11 && p3 <= 0x13) return p[kSenseTrigger] = p3 - 0x10, true;
      return false;
    case 0x0A: {  // sense sensitivity: low 9, medium 6, high 3
      static constexpr uint8_t kLevels[] = {9, 6, 3};
      if (p3 < 1 || p3 > 3) return false;
      p[kSensitivity] = kLevels[p3 - 1];
      return true;
    }
    case 0x05:  // beeps
      if (p3 == 0x1D || p3 == 0x1E) return p[kPowerOnBeep] = p3 - 0x1D, true;
      if (p3 == 0x0D || p3 == 0x0E) return p[kGoodReadBeep] = p3 - 0x0D, true;
      if (p3 >= 0x21 && p3 <= 0x24) {
        static constexpr uint32_t kHz[] = {800, 1600, 2730, 4200};
        PutLe32(p, kBeepFreq, kHz[p3 - 0x21]);
        return true;
      }
      return false;
    case 0x03:  // aiming LED, decode area
      if (p3 <= 0x02) return p[kAiming] = p3, true;
      if (p3 == 0x11) return p[kAimingFlag] = 1, p[kDecodeArea] = 0, true;
      if (p3 == 0x10 || (p3 >= 0x12 && p3 <= 0x14)) {
        p[kAimingFlag] = 0;
        p[kDecodeArea] = p3 == 0x10 ? 0 : p3 - 0x11;  // 25 % is 1 .. 75 % is 3
        return true;
      }
      return false;
    case 0x04:  // illumination
      if (p3 <= 0x03) return p[kIllumMode] = p3, true;
      if (p3 >= 0x11 && p3 <= 0x13) return p[kIllumLevel] = p3 - 0x10, true;
      if (code == 5 || code == 6) {
        // These models have LED colours instead of LED areas.
        if (p3 >= 0x20 && p3 <= 0x23) return p[kLeds] = p3 - 0x20, true;
        return false;
      }
      if (p3 >= 0x20 && p3 <= 0x26) return p[kLeds] = p3 == 0x20 ? 7 : p3 - 0x20, true;
      return false;
    case 0x08:  // same barcode reading
      if (p3 == 0xD1 || p3 == 0xD3 || p3 == 0xD4) return p[kSameMode] = p3 - 0xD0, true;
      if (p3 == 0x00 || (p3 >= 0x02 && p3 <= 0x0A)) {
        static constexpr uint32_t kMs[] = {0, 0, 100, 200, 300, 500, 1000, 2000, 3000, 4000, 5000};
        PutLe32(p, kInterval, kMs[p3]);
        return true;
      }
      return false;
    case 0x0B:
      if (p3 < 1 || p3 > 3) return false;
      p[kRedundancy] = p3;
      return true;
    case 0x49:
      if (p3 < 1 || p3 > 3) return false;
      p[kInterface] = p3;
      return true;
    case 0x4B:  // keyboard layouts 00 .. 1A
      if (p3 > 0x1A) return false;
      p[kKeyboard] = p3;
      return true;
    case 0x0C: {
      static constexpr uint32_t kRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
      if (p3 < 1 || p3 > 6) return false;
      PutLe32(p, kBaud, kRates[p3 - 1]);
      return true;
    }
    default: return false;
  }
}

// Bit of a symbology in the readable-symbologies mask.
std::optional<int> MaskBit(uint8_t p1) {
  if (p1 >= 0xB1 && p1 <= 0xBD) return p1 - 0xB1;
  if (p1 == 0xBF) return 14;
  if ((p1 >= 0xD1 && p1 <= 0xD4) || (p1 >= 0xD8 && p1 <= 0xDF)) return p1 - 0xC1;
  return std::nullopt;
}

// Check-digit choice of Codabar and Interleaved 2 of 5: bit 0 verifies, bit 1
// transmits; with verification off the transmit bit is left as it was.
bool ApplyCheckChoice(std::vector<uint8_t>& p, int at, uint8_t p3) {
  if (p3 < 1 || p3 > 3) return false;
  SetBit(p, at, 0, p3 >= 2);
  if (p3 >= 2) SetBit(p, at, 1, p3 == 3);
  return true;
}

bool ApplySymbology(std::vector<uint8_t>& p, uint8_t p1, uint8_t p2, uint8_t p3) {
  if (p2 == 0x01) {
    const auto bit = MaskBit(p1);
    const auto on = OnOff(p3);
    if (!bit || !on) return false;
    uint32_t mask = GetLe32(p, param::kSymbologyMask);
    mask = *on ? (mask | (1u << *bit)) : (mask & ~(1u << *bit));
    PutLe32(p, param::kSymbologyMask, mask);
    // Code 32 is read as a conversion of Code 39, so the same switch shows
    // in the Code 39 options too.
    if (p1 == 0xB8) SetBit(p, 28, 2, *on);
    return true;
  }
  // Multiple-choice check digit modes carry the mode in P3.
  if (p2 == 0x02 && (p1 == 0xBA || p1 == 0xBD)) return ApplyCheckChoice(p, p1 == 0xBA ? 29 : 30, p3);
  if (p2 == 0x02 && p1 == 0xBC) {  // MSI: 01 off, 02..04 a MOD algorithm in bits 2..4
    if (p3 < 1 || p3 > 4) return false;
    SetBit(p, 31, 0, p3 != 1);
    for (int bit = 2; bit <= 4; ++bit) SetBit(p, 31, bit, p3 != 1 && bit == p3);
    return true;
  }
  if (p2 == 0x02 && p1 == 0xB9) {  // Code 11: one of bits 0..2
    if (p3 < 1 || p3 > 3) return false;
    for (int bit = 0; bit <= 2; ++bit) SetBit(p, 32, bit, bit == p3 - 1);
    return true;
  }
  const auto on = OnOff(p3);
  if (!on) return false;
  // Byte and highest option command of each symbology's own switches.
  struct Switches {
    uint8_t p1;
    int at;
    uint8_t lastP2;
  };
  static constexpr Switches kSwitches[] = {
      {0xDA, 36, 0x02}, {0xDB, 37, 0x02}, {0xB4, 27, 0x06}, {0xB3, 26, 0x05}, {0xB1, 24, 0x06},
      {0xB2, 25, 0x06}, {0xB6, 28, 0x03}, {0xD2, 33, 0x03}, {0xD3, 34, 0x03}, {0xD4, 35, 0x02},
  };
  for (const auto& s : kSwitches) {
    if (s.p1 == p1) {
      if (p2 < 0x02 || p2 > s.lastP2) return false;
      SetBit(p, s.at, p2 - 2, *on);
      return true;
    }
  }
  if (p2 == 0x03 && p1 == 0xBA) return SetBit(p, 29, 2, *on), true;
  if (p2 == 0x03 && p1 == 0xBC) return SetBit(p, 31, 1, *on), true;
  if (p2 == 0x03 && p1 == 0xB9) return SetBit(p, 32, 3, !*on), true;  // bit set = not sent
  return false;
}

// Distinctive filler for bytes the tool does not interpret, so that a tool
// which drops or zeroes them is noticed.
uint8_t Filler(size_t i) { return static_cast<uint8_t>(0xA5 ^ (i * 7)); }

}  // namespace

bool ApplySetting(std::vector<uint8_t>& param, uint8_t p1, uint8_t p2, uint8_t p3) {
  if (param.size() < 192) return false;
  if (p1 == 0xA1) return ApplyA1(param, p2, p3);
  if ((p1 >= 0xB1 && p1 <= 0xBF) || (p1 >= 0xD1 && p1 <= 0xDF)) return ApplySymbology(param, p1, p2, p3);
  return false;
}

std::optional<uint8_t> CodePageForSelector(uint8_t selector) {
  // Selector n stands for row n - 1 for the first two rows and row n - 2
  // after them; the scanner keeps the code of the conversion table.
  static constexpr std::array<uint8_t, 14> kRowCodes = {0, 1, 6, 7, 9, 10, 15, 16, 13, 14, 17, 18, 12, 19};
  if (selector == 1 || selector == 2) return kRowCodes[selector - 1];
  if (selector >= 4 && selector <= 15) return kRowCodes[selector - 2];
  return std::nullopt;
}

std::optional<int> SymbologySlot(uint8_t code) {
  if ((code >= 0xB0 && code <= 0xBD) || (code >= 0xD1 && code <= 0xD4) || (code >= 0xD8 && code <= 0xDF))
    return code < 0xD0 ? code - 0xB0 : code - 0xC0;
  return std::nullopt;
}

RecordOutcome ApplyRecords(const std::vector<Record>& records, std::vector<uint8_t>& param,
                           std::optional<std::vector<uint8_t>>& format) {
  using namespace param;
  RecordOutcome out;
  if (param.size() < 192) return out;
  // Work on copies so that a bad record leaves both blocks as they were.
  std::vector<uint8_t> p = param;
  std::optional<std::vector<uint8_t>> f = format;
  auto text = [](const Record& r, size_t width) -> std::optional<std::vector<uint8_t>> {
    if (r.value.size() > width) return std::nullopt;
    if (r.value.size() == 1 && r.value[0] == 0) return std::vector<uint8_t>{};  // empty text
    return r.value;
  };
  for (const Record& r : records) {
    const size_t n = r.value.size();
    const uint8_t v = r.value[0];
    if (r.a == 0xA0 && r.b == 0x02 && n == 1 && v == 0x09) {
      PutLe16(p, kExposure, 0);
    } else if (r.a == 0xA1 && r.b == 0x01 && n == 1 && v == 0x0F) {
      out.restoreDefaults = true;
    } else if (r.a == 0xA1 && r.b == 0x4C && n == 1) {
      const auto cp = CodePageForSelector(v);
      if (!cp) return out;
      p[kCodePage] = *cp;
    } else if (r.a == 0xA2 && (r.b == 0x04 || r.b == 0x02) && n == 1 && v <= 2) {
      p[r.b == 0x04 ? kCase : kCodeId] = v;
    } else if (r.a == 0xA2 && r.b == 0x03 && n == 1 && v >= 1 && v <= 4) {
      p[kEnding] = v - 1;  // sent as code + 1
    } else if (r.a == 0xA1 && (r.b == 0x0F || r.b == 0x0E) && n == 1 && v <= 1) {
      p[r.b == 0x0F ? kPolarity : kBadReadOn] = v;
    } else if (r.a == 0xA1 && (r.b == 0x19 || r.b == 0x1A)) {
      const auto t = text(r, 10);
      if (!t) return out;
      PutBytes(p, r.b == 0x19 ? kStartCmd : kStopCmd, 10, *t);
    } else if (r.a == 0xA1 && r.b == 0x1E) {
      const auto t = text(r, 9);
      if (!t) return out;
      PutBytes(p, kBadReadMsg, 9, *t);
    } else if (const auto slot = SymbologySlot(r.a)) {
      if (!f || f->size() < static_cast<size_t>(format::kMinSize)) return out;
      if (r.b == 0x4C && n == 1) {
        (*f)[format::kLeadCut + *slot] = v;
      } else if (r.b == 0x45 && n == 1) {
        (*f)[format::kEndCut + *slot] = v;
      } else if (r.b == 0x50 || r.b == 0x53) {
        const auto t = text(r, 8);
        if (!t) return out;
        PutBytes(*f, (r.b == 0x50 ? format::kPrefix : format::kSuffix) + *slot * 8, 8, *t);
      } else {
        return out;
      }
    } else {
      return out;
    }
  }
  param = std::move(p);
  format = std::move(f);
  out.accepted = true;
  return out;
}

std::vector<uint8_t> DefaultParamBlock() {
  using namespace param;
  std::vector<uint8_t> p(192);
  for (size_t i = 0; i < p.size(); ++i) p[i] = Filler(i);
  PutText(p, kModelName, 16, "HS-2D");
  p[kModelCode] = 1;
  // Enabled: UPC-A, UPC-E, EAN-8, EAN-13, Code 128, Code 39, Codabar,
  // Interleaved 2 of 5, PDF417, Data Matrix, QR.
  PutLe32(p, kSymbologyMask,
          (1u << 0) | (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5) | (1u << 9) | (1u << 12) | (1u << 23) |
              (1u << 25) | (1u << 26));
  const uint8_t symbology[14] = {0x02, 0x02, 0x01, 0x01, 0x00, 0x01, 0x03, 0x05, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
  std::memcpy(p.data() + 24, symbology, sizeof symbology);
  p[kCodeId] = 0;
  p[kEnding] = 1;  // CRLF
  p[kCase] = 0;
  p[kInterface] = 3;
  PutLe32(p, kBaud, 9600);
  p[kKeyboard] = 0;
  p[kCodePage] = 0;
  p[kScanMode] = 1;
  p[kSenseTrigger] = 3;
  PutLe16(p, kExposure, 0);
  p[kGain] = 0;
  p[kLeds] = 7;
  p[kAiming] = 1;
  p[kIllumMode] = 1;
  p[kIllumLevel] = 2;
  p[kPowerOnBeep] = 1;
  p[kGoodReadBeep] = 1;
  PutLe32(p, kBeepFreq, 2730);
  PutLe32(p, kInterval, 500);
  p[kSameMode] = 1;
  p[kSensitivity] = 6;
  p[kAimingFlag] = 0;
  p[kDecodeArea] = 0;
  p[kRedundancy] = 1;
  p[kBadReadOn] = 0;
  PutText(p, kBadReadMsg, 9, "");
  p[kPolarity] = 0;
  PutText(p, kStartCmd, 10, "");
  PutText(p, kStopCmd, 10, "");
  p[kFlags] = 0x40;  // set: no A0 00 11 needed at connection
  return p;
}

std::vector<uint8_t> DefaultFormatBlock() {
  using namespace format;
  std::vector<uint8_t> f(640, 0);
  for (size_t i = 627; i < f.size(); ++i) f[i] = Filler(i);  // beyond the tables
  auto prefix = [&](int slot, const char* s) { PutText(f, kPrefix + slot * 8, 8, s); };
  auto suffix = [&](int slot, const char* s) { PutText(f, kSuffix + slot * 8, 8, s); };
  prefix(27, "QR:");
  suffix(27, "#");
  prefix(5, "C128");
  prefix(9, "C11");
  suffix(4, "<E13>");
  f[kLeadCut + 4] = 1;  // EAN-13: drop the number system digit
  f[kEndCut + 6] = 2;
  return f;
}

}  // namespace varnet::sim
