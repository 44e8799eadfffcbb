// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transfer/export_result.h"

namespace varnet {

// A 24-bit top-down BMP of a QR module matrix (libqrencode's layout: width x
// width bytes, rows from the top, bit 0 set for a dark module). Each module
// is 2 x 2 pixels; there is no quiet zone. Empty for a width outside 1..177.
std::vector<uint8_t> QrBitmapFromModules(int width, const uint8_t* modules);

// A settings barcode's module matrix, in libqrencode's layout.
struct QrMatrix {
  int width = 0;                 // modules per side
  std::vector<uint8_t> modules;  // width x width, rows from the top; bit 0 set for a dark module

  bool Dark(int x, int y) const { return modules[size_t(y) * size_t(width) + size_t(x)] & 1; }
};

// Encodes the bytes as every settings barcode is encoded: byte mode, the
// smallest version that holds them, level H. None when they do not fit a
// symbol (*error ERANGE) or the encoder fails (its errno).
std::optional<QrMatrix> EncodeQrSymbol(const uint8_t* data, size_t size, int* error = nullptr);

// Why an encoding failed, by its error.
ExportResult QrFailure(int error);

// Encodes the bytes and renders them as a bitmap. None as EncodeQrSymbol.
std::optional<std::vector<uint8_t>> EncodeQrBitmap(const uint8_t* data, size_t size, int* error = nullptr);

// Encodes and writes the bitmap file, atomically.
ExportResult WriteQrBitmap(const std::string& path, const uint8_t* data, size_t size);

// File name of settings barcode `symbol` (1 or 2) for the chosen path: in
// its file-name part the first ".bmp" becomes "_S1.bmp" (or "_S2.bmp") and
// the rest is cut; a name without ".bmp" gets the suffix appended.
std::string SettingsBitmapName(const std::string& chosen, int symbol);

}  // namespace varnet
