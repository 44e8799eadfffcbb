// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <array>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"
#include "settings/settings_summary.h"
#include "transfer/export_result.h"
#include "transfer/export_settings.h"
#include "transfer/qr_bitmap.h"

namespace varnet {

// The printable configuration sheet: the two settings barcodes, in order and
// large enough to scan off an office printer, with what they set. Drawn with
// Qt Gui only, so the command line can make it without a display.

enum class SheetPageSize { A4, Letter };

// Letter where the locale measures in US units, A4 everywhere else.
SheetPageSize PageSizeFor(const QLocale& locale);

// A module never prints smaller than this, and the symbols get four modules
// of white around them.
constexpr double kMinModuleMm = 0.5;
constexpr double kMaxModuleMm = 0.8;
constexpr int kQuietZoneModules = 4;

// Everything a sheet shows.
struct SheetContent {
  std::string modelName;  // 8-bit texts as the scanner holds them
  int modelCode = 0;
  std::string firmware = kUnknownText;
  std::string serial = kUnknownText;
  QDate date;
  std::array<QrMatrix, 2> symbols;  // 1: the parameter block, 2: the format block
  std::vector<CategoryState> categories;
};

struct SheetOptions {
  SheetPageSize pageSize = SheetPageSize::A4;
  bool chinese = false;  // Chinese headings and labels (with the program's translations loaded)
  // Module size in millimetres; 0: as large as the page allows, from
  // kMinModuleMm to kMaxModuleMm. Other sizes are for measurements.
  double moduleMm = 0;
};

// How a sheet came out.
struct SheetLayout {
  int pages = 0;
  double moduleMm = 0;
  bool sideBySide = true;  // else one symbol above the other
};

// The sheet as a PDF document. Empty when it cannot be drawn (no Qt Gui
// application, see EnsureGuiApplication).
QByteArray RenderSettingsSheet(const SheetContent& content, const SheetOptions& options, SheetLayout* layout = nullptr);

// What a sheet shows for the blocks an export received: their symbols, and
// the settings they carry read with the model rules for this scanner.
SheetContent SheetContentFor(const QrSymbolsSink& received, const DeviceInfo& held, const ScannerTexts& texts,
                             QDate date);

// Receives both blocks as the QR export does and writes the sheet to `path`,
// whole or not at all (an existing file stays as it was on failure). A
// destination that cannot take a file fails before anything is sent.
ExportResult ExportSettingsSheet(ScannerLink& link, const DeviceInfo& held, const ScannerTexts& texts,
                                 const std::string& path, const SheetOptions& options);

// For programs that have no application object (the command line): a Qt Gui
// application on the offscreen platform, so fonts work without a display.
// Call it on the main thread. False when another kind of application runs.
bool EnsureGuiApplication();

}  // namespace varnet
