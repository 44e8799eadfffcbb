// SPDX-License-Identifier: Apache-2.0
#include "settings/catalogue.h"

#include <functional>

namespace varnet {
namespace {

// The catalogue. Labels and titles are UTF-8; trailing blanks are part of
// the labels as the scanner family's tools have always shown them.

// Scan Settings
constexpr SettingOption kScanModeOptions[] = {
    {"Level Trigger", "电位触发", {0xA1, 0x02, 0x01, 0x01}},
    {"Sense Mode", "自动感应", {0xA1, 0x02, 0x02, 0x02}},
    {"Continuous Scane", "连续扫描", {0xA1, 0x02, 0x03, 0x03}},
    {"Pulse Trigger", "脉冲触发", {0xA1, 0x02, 0x04, 0x04}},
};
constexpr SettingOption kSenseModeSensitivityOptions[] = {
    {"Low", "低灵敏度", {0xA1, 0x0A, 0x01, 0x09}},
    {"Medium", "中等灵敏度", {0xA1, 0x0A, 0x02, 0x06}},
    {"High", "高灵敏度", {0xA1, 0x0A, 0x03, 0x03}},
};
constexpr SettingOption kPowerOnBeepOptions[] = {
    {"Off", "关闭", {0xA1, 0x05, 0x1D, 0x00}},
    {"On", "开启", {0xA1, 0x05, 0x1E, 0x01}},
};
constexpr SettingOption kGoodReadBeepOptions[] = {
    {"Off", "关闭", {0xA1, 0x05, 0x0D, 0x00}},
    {"On", "开启", {0xA1, 0x05, 0x0E, 0x01}},
};
constexpr SettingOption kGoodReadFrequencyOptions[] = {
    {"Extra Low", "最低-800 Hz", {0xA1, 0x05, 0x21, 0x00}},
    {"Low ", "低-1600 Hz", {0xA1, 0x05, 0x22, 0x00}},
    {"Medium ", "中-2730 Hz", {0xA1, 0x05, 0x23, 0x00}},
    {"High  ", "高-4200 Hz", {0xA1, 0x05, 0x24, 0x00}},
};
constexpr SettingOption kAimingLEDOptions[] = {
    {"Off", "关闭", {0xA1, 0x03, 0x00, 0x00}},
    {"During Scan", "扫描时开启", {0xA1, 0x03, 0x01, 0x01}},
    {"Always On", "常亮", {0xA1, 0x03, 0x02, 0x02}},
};
constexpr SettingOption kIlluminationModeOptions[] = {
    {"During Scan", "扫描时开启", {0xA1, 0x04, 0x01, 0x01}},
    {"Always On", "常亮", {0xA1, 0x04, 0x02, 0x02}},
    {"Fade Up", "Fade Up", {0xA1, 0x04, 0x03, 0x03}},
    {"Off", "关闭", {0xA1, 0x04, 0x00, 0x00}},
};
constexpr SettingOption kIlluminationLevelOptions[] = {
    {"Low", "低亮度", {0xA1, 0x04, 0x11, 0x01}},
    {"Medium", "中等亮度", {0xA1, 0x04, 0x12, 0x02}},
    {"High", "高亮度", {0xA1, 0x04, 0x13, 0x03}},
    {"Blue LED", "蓝色光源", {0xA1, 0x04, 0x23, 0x03}},
};
constexpr SettingOption kIlluminationLEDsOptions[] = {
    {"Whole Area", "全区域", {0xA1, 0x04, 0x20, 0x07}},
    {"Central LEDs", "中央光源", {0xA1, 0x04, 0x22, 0x02}},
    {"Top LEDs", "上部光源", {0xA1, 0x04, 0x21, 0x01}},
    {"Bottom LEDs", "下部光源", {0xA1, 0x04, 0x24, 0x04}},
    {"Top + Bottom LEDs", "上+下 光源", {0xA1, 0x04, 0x25, 0x05}},
    {"Top + Central LEDs", "上+中 光源", {0xA1, 0x04, 0x23, 0x03}},
    {"Bottom + Central LEDs", "下+中 光源", {0xA1, 0x04, 0x26, 0x06}},
};
constexpr SettingGroup kScanSettingsGroups[] = {
    {"Scan Mode", "扫描模式", kScanModeOptions, 55},
    {"Sense Mode Sensitivity", "自动感应灵敏度", kSenseModeSensitivityOptions, 138},
    {"Power On Beep", "开机提示声", kPowerOnBeepOptions, 65},
    {"Good Read Beep", "解码成功提示声", kGoodReadBeepOptions, 66},
    {"Good Read Frequency", "解码成功声音频率", kGoodReadFrequencyOptions, 68},
    {"Aiming LED", "瞄准指示", kAimingLEDOptions, 62},
    {"Illumination Mode", "照明模式", kIlluminationModeOptions, 63},
    {"Illumination Level", "照明强度", kIlluminationLevelOptions, 64},
    {"Illumination LEDs", "照明区域", kIlluminationLEDsOptions, 61},
    {"", "", {}, 0},
};

// Decode Settings
constexpr SettingOption kDecodeAreaOptions[] = {
    {"Whole Area", "全区", {0xA1, 0x03, 0x10, 0x00}},
    {"75%", "75%", {0xA1, 0x03, 0x14, 0x03}},
    {"50%", "50%", {0xA1, 0x03, 0x13, 0x02}},
    {"25%", "25%", {0xA1, 0x03, 0x12, 0x01}},
    {"Aiming Bar Code", "瞄准点", {0xA1, 0x03, 0x11, 0xFF}},
};
constexpr SettingOption kDecodeRedundancyOptions[] = {
    {"Disable", "关闭", {0xA1, 0x0B, 0x01, 0x01}},
    {"Read 2 times", "读取两次", {0xA1, 0x0B, 0x02, 0x02}},
    {"Read 3 times", "读取三次", {0xA1, 0x0B, 0x03, 0x03}},
};
constexpr SettingOption kSameBarcodeReadingModeOptions[] = {
    {"Interval Timeout", "间隔时间內不读取相同条码", {0xA1, 0x08, 0xD1, 0x01}},
    {"Ignore Last Barcode", "不读取前一个相同条码", {0xA1, 0x08, 0xD3, 0x03}},
    {"Ignore Last 2 Barcodes", "不读取前二个相同条码", {0xA1, 0x08, 0xD4, 0x04}},
};
constexpr SettingOption kSameBarcodeIntervalTimeOptions[] = {
    {"Disable", "关闭", {0xA1, 0x08, 0x00, 0x00}},         {"100 ms", "100 毫秒", {0xA1, 0x08, 0x02, 0x02}},
    {"200 ms", "200 毫秒", {0xA1, 0x08, 0x03, 0x03}},      {"300 ms", "300 毫秒", {0xA1, 0x08, 0x04, 0x04}},
    {"500 ms", "500 毫秒", {0xA1, 0x08, 0x05, 0x05}},      {"1 sec", "1 秒后允许读取", {0xA1, 0x08, 0x06, 0x06}},
    {"2 sec", "2 秒后允许读取", {0xA1, 0x08, 0x07, 0x07}}, {"3 sec", "3 秒后允许读取", {0xA1, 0x08, 0x08, 0x08}},
    {"4 sec", "4 秒后允许读取", {0xA1, 0x08, 0x09, 0x09}}, {"5 sec", "5 秒后允许读取", {0xA1, 0x08, 0x0A, 0x0A}},
};
constexpr SettingGroup kDecodeSettingsGroups[] = {
    {"Decode Area", "扫描区域", kDecodeAreaOptions, 140},
    {"Decode Redundancy", "Decode Redundancy", kDecodeRedundancyOptions, 143},
    {"Same Barcode Reading Mode", "相同码读取模式", kSameBarcodeReadingModeOptions, 88},
    {"Same Barcode Interval Time", "相同码读取间隔时间", kSameBarcodeIntervalTimeOptions, 84},
    {"", "", {}, 0},
};

// Symbologies
constexpr SettingOption kReadableSymbologiesOptions[] = {
    {"Data Matrix", "Data Matrix", {0xDA, 0x01, 0x0E, 0x19}},
    {"QR", "QR", {0xDB, 0x01, 0x0E, 0x1A}},
    {"Micro QR", "Micro QR", {0xDC, 0x01, 0x0E, 0x1B}},
    {"EAN-13", "EAN-13", {0xB4, 0x01, 0x0E, 0x03}},
    {"EAN-8", "EAN-8", {0xB3, 0x01, 0x0E, 0x02}},
    {"UPC-A", "UPC-A", {0xB1, 0x01, 0x0E, 0x00}},
    {"UPC-E", "UPC-E", {0xB2, 0x01, 0x0E, 0x01}},
    {"Code 128", "Code 128", {0xB5, 0x01, 0x0E, 0x04}},
    {"Code 39", "Code 39", {0xB6, 0x01, 0x0E, 0x05}},
    {"Code 32", "Code 32", {0xB8, 0x01, 0x0E, 0x07}},
    {"Code 93", "Code 93", {0xB7, 0x01, 0x0E, 0x06}},
    {"Codabar", "Codabar", {0xBA, 0x01, 0x0E, 0x09}},
    {"Plessey", "Plessey", {0xBB, 0x01, 0x0E, 0x0A}},
    {"MSI-Plessey", "MSI-Plessey", {0xBC, 0x01, 0x0E, 0x0B}},
    {"Interleaved 2 of 5", "Interleaved 2 of 5", {0xBD, 0x01, 0x0E, 0x0C}},
    {"Code 11", "Code 11", {0xB9, 0x01, 0x0E, 0x08}},
    {"Pharmacode", "Pharmacode", {0xD1, 0x01, 0x0E, 0x10}},
    {"GS1 DataBar 14", "GS1 DataBar 14", {0xD2, 0x01, 0x0E, 0x11}},
    {"GS1 DataBar Expanded", "GS1 DataBar Expanded", {0xD3, 0x01, 0x0E, 0x12}},
    {"GS1 DataBar Limited", "GS1 DataBar Limited", {0xD4, 0x01, 0x0E, 0x13}},
    {"PDF417", "PDF417", {0xD8, 0x01, 0x0E, 0x17}},
    {"Micro PDF417", "Micro PDF417", {0xD9, 0x01, 0x0E, 0x18}},
    {"Aztec", "Aztec", {0xDD, 0x01, 0x0E, 0x1C}},
    {"MaxiCode", "MaxiCode", {0xDE, 0x01, 0x0E, 0x1D}},
    {"DotCode", "DotCode", {0xDF, 0x01, 0x0E, 0x1E}},
};
constexpr SettingOption kDataMatrixOptions[] = {
    {"Decode Mirrored Data Matrix", "镜像解码", {0xDA, 0x02, 0x0E, 0x00}},
};
constexpr SettingOption kQROptions[] = {
    {"Decode Mirrored QR", "镜像解码", {0xDB, 0x02, 0x0E, 0x00}},
};
constexpr SettingOption kEAN13Options[] = {
    {"Transmit Check Digit", "传输校验位", {0xB4, 0x02, 0x0E, 0x00}},
    {"Enable Bookland (ISBN)", "转换为 ISBN 码", {0xB4, 0x03, 0x0E, 0x00}},
    {"Enable ISSN EAN", "转换为 ISSN 码", {0xB4, 0x04, 0x0E, 0x00}},
    {"2/5 Digit Add-On Code", "读取2或5位附加码", {0xB4, 0x05, 0x0E, 0x00}},
    {"Add-On Code Required", "只读取条码含2或5位附加码", {0xB4, 0x06, 0x0E, 0x00}},
};
constexpr SettingOption kEAN8Options[] = {
    {"Transmit Check Digit", "传输校验位", {0xB3, 0x02, 0x0E, 0x00}},
    {"Convert EAN-8 to EAN-13", "转换为 EAN-13 码", {0xB3, 0x03, 0x0E, 0x00}},
    {"2/5 Digit Add-On Code", "读取2或5位附加码", {0xB3, 0x04, 0x0E, 0x00}},
    {"Add-On Code Required", "只读取条码含2或5位附加码", {0xB3, 0x05, 0x0E, 0x00}},
};
constexpr SettingOption kUPCAOptions[] = {
    {"Enable Preamble", "传输首位", {0xB1, 0x02, 0x0E, 0x00}},
    {"Transmit Check Digit", "传输校验位", {0xB1, 0x03, 0x0E, 0x00}},
    {"Convert UPC-A to EAN-13", "转换为 EAN-13 码", {0xB1, 0x04, 0x0E, 0x00}},
    {"2/5 Digit Add-On Code", "读取2或5位附加码", {0xB1, 0x05, 0x0E, 0x00}},
    {"Add-On Code Required", "只读取条码含2或5位附加码", {0xB1, 0x06, 0x0E, 0x00}},
};
constexpr SettingOption kUPCEOptions[] = {
    {"Enable Preamble", "传输首位", {0xB2, 0x02, 0x0E, 0x00}},
    {"Transmit Check Digit", "传输校验位", {0xB2, 0x03, 0x0E, 0x00}},
    {"Convert UPC-E to UPC-A", "转换为 UPC-A 码", {0xB2, 0x04, 0x0E, 0x00}},
    {"2/5 Digit Add-On Code", "读取2或5位附加码", {0xB2, 0x05, 0x0E, 0x00}},
    {"Add-On Code Required", "只读取条码含2或5位附加码", {0xB2, 0x06, 0x0E, 0x00}},
};
constexpr SettingOption kCode39Options[] = {
    {"Full ASCII Conversion", "使能 Full ASCII", {0xB6, 0x02, 0x0E, 0x00}},
    {"Transmit Check Digit", "传送校验字符", {0xB6, 0x03, 0x0E, 0x00}},
    {"Convert Code 39 to Code 32", "使能 Code 32", {0xB8, 0x01, 0x0E, 0x00}},
};
constexpr SettingOption kCodabarOptions[] = {
    {"Disable Check Digit Verification", "关闭校验", {0xBA, 0x02, 0x01, 0x00}},
    {"Transmit Check Digit", "校验并传输", {0xBA, 0x02, 0x02, 0x00}},
    {"Do Not Transmit Check Digit", "校验不传输", {0xBA, 0x02, 0x03, 0x00}},
    {"Transmit Start/Stop Character", "传输起始符/终止符", {0xBA, 0x03, 0x0E, 0x00}},
};
constexpr SettingOption kMSIOptions[] = {
    {"Disable Check Digit Algorithm", "关闭校验", {0xBC, 0x02, 0x01, 0x00}},
    {"MOD10", "MOD10 校验", {0xBC, 0x02, 0x02, 0x00}},
    {"MOD10/MOD10", "MOD10/MOD10 校验", {0xBC, 0x02, 0x03, 0x00}},
    {"MOD10/MOD11", "MOD10/MOD11 校验", {0xBC, 0x02, 0x04, 0x00}},
    {"Transmit Check Digits", "传输校验位", {0xBC, 0x03, 0x0E, 0x00}},
};
constexpr SettingOption kInterleaved2of5Options[] = {
    {"Disable Check Digit Verification", "关闭校验", {0xBD, 0x02, 0x01, 0x00}},
    {"Transmit Check Digit", "校验并传输校验字符", {0xBD, 0x02, 0x02, 0x00}},
    {"Do Not Transmit Check Digit", "校验不输校验字符", {0xBD, 0x02, 0x03, 0x00}},
};
constexpr SettingOption kCode11Options[] = {
    {"Disable Checksum Checking", "关闭校验 ", {0xB9, 0x02, 0x01, 0x00}},
    {"1 Digit Checksum Checking", "1 位元校验", {0xB9, 0x02, 0x02, 0x00}},
    {"2 Digits Checksum Checking", "2 位元校验", {0xB9, 0x02, 0x03, 0x00}},
    {"Transmit Check Digit", "传输校验字符", {0xB9, 0x03, 0x0E, 0x00}},
};
constexpr SettingOption kGS1DataBar14Options[] = {
    {"GS1 DataBar 14 Stacked", "GS1 DataBar 14 Stacked", {0xD2, 0x02, 0x0E, 0x00}},
    {"Transmit AI（01）Digit", "传输 AI（01）", {0xD2, 0x03, 0x0E, 0x00}},
};
constexpr SettingOption kGS1DataBarExpandedOptions[] = {
    {"GS1 DataBar Expanded Stacked", "GS1 DataBar Expanded Stacked", {0xD3, 0x02, 0x0E, 0x00}},
    {"Transmit AI（01）Digit", "传输 AI（01）", {0xD3, 0x03, 0x0E, 0x00}},
};
constexpr SettingOption kGS1DataBarLimitedOptions[] = {
    {"Transmit AI（01）Digit", "传输 AI（01）", {0xD4, 0x02, 0x0E, 0x00}},
};
constexpr SettingGroup kSymbologiesGroups[] = {
    {"Readable Symbologies", "使能条码", kReadableSymbologiesOptions, 20},
    {"Data Matrix", "Data Matrix", kDataMatrixOptions, 36},
    {"QR", "QR", kQROptions, 37},
    {"EAN-13", "EAN-13", kEAN13Options, 27},
    {"EAN-8", "EAN-8", kEAN8Options, 26},
    {"UPC-A", "UPC-A", kUPCAOptions, 24},
    {"UPC-E", "UPC-E", kUPCEOptions, 25},
    {"Code 39", "Code 39", kCode39Options, 28},
    {"Codabar", "Codabar", kCodabarOptions, 29},
    {"MSI", "MSI", kMSIOptions, 31},
    {"Interleaved 2 of 5", "Interleaved 2 of 5", kInterleaved2of5Options, 30},
    {"Code 11", "Code 11", kCode11Options, 32},
    {"GS1 DataBar 14", "GS1 DataBar 14", kGS1DataBar14Options, 33},
    {"GS1 DataBar Expanded", "GS1 DataBar Expanded", kGS1DataBarExpandedOptions, 34},
    {"GS1 DataBar Limited", "GS1 DataBar Limited", kGS1DataBarLimitedOptions, 35},
    {"", "", {}, 0},
};

// Interface
constexpr SettingOption kOutputInterfaceOptions[] = {
    {"RS-232", "RS-232 串口", {0xA1, 0x49, 0x01, 0x01}},
    {"USB HID Keyboard", "USB 键盘口", {0xA1, 0x49, 0x02, 0x02}},
    {"USB CDC Port", "USB 虚拟串口", {0xA1, 0x49, 0x03, 0x03}},
};
constexpr SettingOption kUSBKeyboardOptions[] = {
    {"US", "美国", {0xA1, 0x4B, 0x00, 0x00}},
    {"UK", "英国", {0xA1, 0x4B, 0x02, 0x02}},
    {"Brazil", "巴西", {0xA1, 0x4B, 0x14, 0x14}},
    {"Belgium", "比利时", {0xA1, 0x4B, 0x01, 0x01}},
    {"Bulgaria", "保加利亚", {0xA1, 0x4B, 0x16, 0x16}},
    {"Croatia", "克罗地亚", {0xA1, 0x4B, 0x11, 0x11}},
    {"Czech", "捷克", {0xA1, 0x4B, 0x0E, 0x0E}},
    {"Czech QWERTY", "捷克 QWERTY", {0xA1, 0x4B, 0x19, 0x19}},
    {"Denmark", "丹麦", {0xA1, 0x4B, 0x03, 0x03}},
    {"France", "法国", {0xA1, 0x4B, 0x04, 0x04}},
    {"Germany", "德国", {0xA1, 0x4B, 0x05, 0x05}},
    {"Hungary", "匈牙利", {0xA1, 0x4B, 0x0D, 0x0D}},
    {"Italy", "意大利", {0xA1, 0x4B, 0x06, 0x06}},
    {"Japan", "日本", {0xA1, 0x4B, 0x0C, 0x0C}},
    {"Norway", "挪威", {0xA1, 0x4B, 0x07, 0x07}},
    {"Portugal", "葡萄牙", {0xA1, 0x4B, 0x08, 0x08}},
    {"Poland", "波兰", {0xA1, 0x4B, 0x12, 0x12}},
    {"Russia", "俄罗斯", {0xA1, 0x4B, 0x15, 0x15}},
    {"Romania", "罗马尼亚", {0xA1, 0x4B, 0x10, 0x10}},
    {"Spain", "西班牙", {0xA1, 0x4B, 0x09, 0x09}},
    {"Sweden", "瑞典", {0xA1, 0x4B, 0x0A, 0x0A}},
    {"Switzerland", "瑞士", {0xA1, 0x4B, 0x0B, 0x0B}},
    {"Slovak", "斯洛伐克", {0xA1, 0x4B, 0x0F, 0x0F}},
    {"Slovak QWERTY", "斯洛伐克 QWERTY", {0xA1, 0x4B, 0x1A, 0x1A}},
    {"Turkish Q", "土耳其 Q", {0xA1, 0x4B, 0x13, 0x13}},
    {"Turkish F", "土耳其 F", {0xA1, 0x4B, 0x18, 0x18}},
    {"Vietnam", "越南", {0xA1, 0x4B, 0x17, 0x17}},
};
constexpr SettingOption kRS232BaudRateOptions[] = {
    {"9600", "9600", {0xA1, 0x0C, 0x01, 0x00}},     {"19200", "19200", {0xA1, 0x0C, 0x02, 0x00}},
    {"38400", "38400", {0xA1, 0x0C, 0x03, 0x00}},   {"57600", "57600", {0xA1, 0x0C, 0x04, 0x00}},
    {"115200", "115200", {0xA1, 0x0C, 0x05, 0x00}}, {"230400", "230400", {0xA1, 0x0C, 0x06, 0x00}},
};
constexpr SettingGroup kInterfaceGroups[] = {
    {"Output Interface", "输出介面", kOutputInterfaceOptions, 43},
    {"USB Keyboard", "USB 国际键盘", kUSBKeyboardOptions, 52},
    {"RS232 Baud Rate", "串口波特率", kRS232BaudRateOptions, 44},
    {"", "", {}, 0},
};
constexpr SettingCategory kCategories[kCategoryCount] = {
    {"Scan Settings", kScanSettingsGroups},
    {"Decode Settings", kDecodeSettingsGroups},
    {"Symbologies", kSymbologiesGroups},
    {"Interface", kInterfaceGroups},
};

bool IsCode5Or6(uint8_t code) { return code == 5 || code == 6; }

size_t IndexOfTitle(const SettingCategory& cat, std::string_view title) {
  for (size_t i = 0; i < cat.groups.size(); ++i)
    if (title == cat.groups[i].english) return i;
  return 0;
}

// Values of the groups that keep a 32-bit number, option by option.
constexpr uint32_t kBeepFrequencies[] = {800, 1600, 2730, 4200};
constexpr uint32_t kIntervalTimes[] = {0, 100, 200, 300, 500, 1000, 2000, 3000, 4000, 5000};
constexpr uint32_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200, 230400};

enum class ValueRule { Equality, DecodeArea, Table32, SymbologyMask, BitOfByte, CheckDigit, Msi, Code11 };

struct RuleOf {
  ValueRule rule;
  std::span<const uint32_t> table;  // for Table32
};

RuleOf RuleFor(const EffectiveGroup& g) {
  const std::string_view t = g.Title();
  if (t == "Decode Area") return {ValueRule::DecodeArea, {}};
  if (t == "Good Read Frequency") return {ValueRule::Table32, kBeepFrequencies};
  if (t == "Same Barcode Interval Time") return {ValueRule::Table32, kIntervalTimes};
  if (t == "RS232 Baud Rate") return {ValueRule::Table32, kBaudRates};
  if (t == "Readable Symbologies") return {ValueRule::SymbologyMask, {}};
  if (t == "Codabar" || t == "Interleaved 2 of 5") return {ValueRule::CheckDigit, {}};
  if (t == "MSI") return {ValueRule::Msi, {}};
  if (t == "Code 11") return {ValueRule::Code11, {}};
  return {g.category == kSymbologies ? ValueRule::BitOfByte : ValueRule::Equality, {}};
}

bool Bit(uint32_t value, int bit) { return bit >= 0 && bit < 32 && (value >> bit & 1u) != 0; }

uint8_t WithBit(uint8_t b, int bit, bool set) {
  if (bit < 0 || bit > 7) return b;
  return set ? uint8_t(b | 1u << bit) : uint8_t(b & ~(1u << bit));
}

}  // namespace

const SettingCategory* Category(int category) {
  if (category < 0 || category >= kCategoryCount) return nullptr;
  return &kCategories[category];
}

size_t CategoryStart(int category, uint8_t modelCode, std::string_view modelName) {
  if (category != kScanSettings || !IsCode5Or6(modelCode)) return 0;
  const SettingCategory& cat = kCategories[kScanSettings];
  return IndexOfTitle(cat, modelName == "HT-27-PM" ? "Good Read Beep" : "Power On Beep");
}

const SettingGroup* GetSettingGroup(int index, int category, const ParamBlock& pb, std::string* categoryName) {
  const SettingCategory* cat = Category(category);
  if (!cat) return nullptr;
  if (categoryName) *categoryName = cat->name;
  if (index < 0) return nullptr;
  const size_t pos = CategoryStart(category, pb.ModelCode(), pb.ModelName()) + size_t(index);
  // Past the end marker there is nothing; never read beyond the list.
  if (pos >= cat->groups.size()) return nullptr;
  return &cat->groups[pos];
}

int CategoryOf(const SettingGroup* group) {
  std::less<const SettingGroup*> before;
  for (int c = 0; c < kCategoryCount; ++c) {
    const auto groups = kCategories[c].groups;
    if (!before(group, groups.data()) && before(group, groups.data() + groups.size())) return c;
  }
  return -1;
}

EffectiveGroup PlainGroup(const SettingGroup* group) {
  EffectiveGroup g;
  if (!group) return g;
  g.group = group;
  g.category = CategoryOf(group);
  g.english = group->english;
  g.chinese = group->chinese;
  g.valueOffset = group->valueOffset;
  return g;
}

EffectiveOption PlainOption(const SettingGroup* group, int index) {
  EffectiveOption o;
  if (!group || index < 0 || size_t(index) >= group->options.size()) return o;
  o.option = &group->options[size_t(index)];
  o.index = index;
  o.english = o.option->english;
  o.chinese = o.option->chinese;
  o.code = o.option->code;
  return o;
}

OptionKind KindOfOption(const EffectiveGroup& group, int index) {
  if (group.category != kSymbologies) return OptionKind::WholeListChoice;
  const std::string_view t = group.Title();
  if ((t == "Codabar" || t == "Interleaved 2 of 5") && index <= 2) return OptionKind::SymbologyChoice;
  if (t == "MSI" && index <= 3) return OptionKind::SymbologyChoice;
  if (t == "Code 11" && index <= 2) return OptionKind::Code11Choice;
  return OptionKind::OnOff;
}

std::pair<int, int> ChoiceRows(const EffectiveGroup& group, int index) {
  switch (KindOfOption(group, index)) {
    case OptionKind::SymbologyChoice: return {0, group.Title() == "MSI" ? 3 : 2};
    case OptionKind::Code11Choice: return {0, 2};
    default: return {index, index};
  }
}

bool IsOptionInForce(const EffectiveGroup& group, const EffectiveOption& option, const ParamBlock& pb) {
  if (!group.group) return false;
  const size_t off = group.valueOffset;
  const int i = option.index;
  const RuleOf r = RuleFor(group);
  switch (r.rule) {
    case ValueRule::Equality: return pb.U8(off) == option.code.V;
    case ValueRule::DecodeArea:
      // The aiming flag wins over whatever the area byte holds.
      if (pb.U8(pb::AimingFlag) != 0) return option.code.V == 0xFF;
      return pb.U8(off) == option.code.V;
    case ValueRule::Table32: return i >= 0 && size_t(i) < r.table.size() && pb.U32(off) == r.table[size_t(i)];
    case ValueRule::SymbologyMask: return Bit(pb.U32(off), option.code.V);
    case ValueRule::BitOfByte: return i <= 7 && Bit(pb.U8(off), i);
    case ValueRule::CheckDigit: {
      const uint8_t b = pb.U8(off);
      switch (i) {
        case 0: return !Bit(b, 0);
        case 1: return Bit(b, 0) && !Bit(b, 1);
        case 2: return Bit(b, 0) && Bit(b, 1);
        default: return Bit(b, i - 1);  // Codabar option 3: bit 2
      }
    }
    case ValueRule::Msi: {
      // Each row reads its own bit; the rows are not made exclusive here.
      const uint8_t b = pb.U8(off);
      if (i == 0) return !Bit(b, 0);
      if (i <= 3) return Bit(b, i + 1);
      return Bit(b, 1);
    }
    case ValueRule::Code11: {
      const uint8_t b = pb.U8(off);
      if (i <= 2) return Bit(b, i);
      return !Bit(b, 3);  // the scanner keeps "transmit" inverted
    }
  }
  return false;
}

void RecordChoice(const EffectiveGroup& group, const EffectiveOption& option, bool on, ParamBlock& pb) {
  if (!group.group) return;
  const size_t off = group.valueOffset;
  const int i = option.index;
  const RuleOf r = RuleFor(group);
  switch (r.rule) {
    case ValueRule::Equality: pb.SetU8(off, option.code.V); return;
    case ValueRule::DecodeArea:
      if (option.code.V == 0xFF) {
        pb.SetU8(pb::AimingFlag, 1);
        pb.SetU8(off, 0);
      } else {
        pb.SetU8(pb::AimingFlag, 0);
        pb.SetU8(off, option.code.V);
      }
      return;
    case ValueRule::Table32:
      if (i >= 0 && size_t(i) < r.table.size()) pb.SetU32(off, r.table[size_t(i)]);
      return;
    case ValueRule::SymbologyMask:
      if (option.code.V < 32) {
        const uint32_t bit = 1u << option.code.V;
        pb.SetU32(off, on ? pb.U32(off) | bit : pb.U32(off) & ~bit);
      }
      return;
    case ValueRule::BitOfByte: pb.SetU8(off, WithBit(pb.U8(off), i, on)); return;
    case ValueRule::CheckDigit: {
      uint8_t b = pb.U8(off);
      switch (i) {
        case 0: b = WithBit(b, 0, false); break;
        case 1: b = WithBit(WithBit(b, 0, true), 1, false); break;
        case 2: b = WithBit(WithBit(b, 0, true), 1, true); break;
        default: b = WithBit(b, i - 1, on); break;
      }
      pb.SetU8(off, b);
      return;
    }
    case ValueRule::Msi: {
      uint8_t b = pb.U8(off);
      if (i == 0) {
        b = uint8_t(b & ~0x1Du);  // bits 0, 2, 3, 4
      } else if (i <= 3) {
        b = uint8_t((b & ~0x1Cu) | 0x01u | 1u << (i + 1));
      } else {
        b = WithBit(b, 1, on);
      }
      pb.SetU8(off, b);
      return;
    }
    case ValueRule::Code11: {
      uint8_t b = pb.U8(off);
      if (i <= 2) b = uint8_t((b & ~0x07u) | 1u << i);
      else b = WithBit(b, 3, !on);
      pb.SetU8(off, b);
      return;
    }
  }
}

ShortCommand OptionCommand(const EffectiveGroup& group, const EffectiveOption& option, bool on) {
  const OptionCode& c = option.code;
  if (KindOfOption(group, option.index) == OptionKind::OnOff) return {c.P1, c.P2, uint8_t(on ? 0x0E : 0x0D)};
  return {c.P1, c.P2, c.P3};
}

}  // namespace varnet
