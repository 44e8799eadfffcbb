// SPDX-License-Identifier: Apache-2.0
#include "transfer/qr_bitmap.h"

#include <qrencode.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/atomic_file.h"

namespace varnet {

namespace {

constexpr size_t kBmpHeaderSize = 54;
constexpr int kMaxQrWidth = 177;  // version 40

void PutU16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
  b[off] = uint8_t(v);
  b[off + 1] = uint8_t(v >> 8);
}

void PutU32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> QrBitmapFromModules(int width, const uint8_t* modules) {
  if (width <= 0 || width > kMaxQrWidth || modules == nullptr) return {};
  const size_t w = size_t(width);
  const size_t pixels = 2 * w;
  const size_t rowBytes = (3 * pixels + 3) / 4 * 4;
  const size_t imageBytes = rowBytes * pixels;

  // White everywhere, the fill bytes at the row ends included.
  std::vector<uint8_t> bmp(kBmpHeaderSize + imageBytes, 0xFF);
  std::fill(bmp.begin(), bmp.begin() + kBmpHeaderSize, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutU32(bmp, 2, uint32_t(bmp.size()));
  PutU32(bmp, 10, kBmpHeaderSize);
  PutU32(bmp, 14, 40);
  PutU32(bmp, 18, uint32_t(pixels));
  PutU32(bmp, 22, uint32_t(-int32_t(pixels)));  // negative height: top row first
  PutU16(bmp, 26, 1);
  PutU16(bmp, 28, 24);

  uint8_t* image = bmp.data() + kBmpHeaderSize;
  for (size_t y = 0; y < w; ++y) {
    for (size_t x = 0; x < w; ++x) {
      if (!(modules[y * w + x] & 1)) continue;
      for (size_t dy = 0; dy < 2; ++dy) {
        uint8_t* px = image + (2 * y + dy) * rowBytes + 2 * x * 3;
        std::fill(px, px + 6, 0);
      }
    }
  }
  return bmp;
}

std::optional<QrMatrix> EncodeQrSymbol(const uint8_t* data, size_t size, int* error) {
  auto fail = [error](int err) {
    if (error) *error = err;
    return std::nullopt;
  };
  if (data == nullptr || size == 0) return fail(EINVAL);
  if (size > size_t(INT_MAX)) return fail(ERANGE);
  errno = 0;
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeData(int(size), data, 0, QR_ECLEVEL_H),
                                                       &QRcode_free);
  // libqrencode says why in errno: ERANGE when the data do not fit.
  if (!code) return fail(errno ? errno : EINVAL);
  if (code->width <= 0 || code->width > kMaxQrWidth) return fail(EINVAL);
  QrMatrix matrix{code->width, {}};
  matrix.modules.assign(code->data, code->data + size_t(code->width) * size_t(code->width));
  return matrix;
}

ExportResult QrFailure(int error) {
  return ExportResult::Failed(error == ERANGE ? Reason::QrTooLarge : Reason::QrError, error);
}

std::optional<std::vector<uint8_t>> EncodeQrBitmap(const uint8_t* data, size_t size, int* error) {
  std::optional<QrMatrix> symbol = EncodeQrSymbol(data, size, error);
  if (!symbol) return std::nullopt;
  std::vector<uint8_t> bmp = QrBitmapFromModules(symbol->width, symbol->modules.data());
  if (bmp.empty()) {
    if (error) *error = EINVAL;
    return std::nullopt;
  }
  return bmp;
}

ExportResult WriteQrBitmap(const std::string& path, const uint8_t* data, size_t size) {
  int error = 0;
  std::optional<std::vector<uint8_t>> bmp = EncodeQrBitmap(data, size, &error);
  if (!bmp) return QrFailure(error);
  if (!platform::WriteFileAtomically(path, bmp->data(), bmp->size(), &error)) return FileFailure(error);
  return ExportResult::Done();
}

std::string SettingsBitmapName(const std::string& chosen, int symbol) {
  const char* suffix = symbol == 1 ? "_S1.bmp" : "_S2.bmp";
  size_t slash = chosen.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t ext = chosen.find(".bmp", nameStart);
  std::string out = ext == std::string::npos ? chosen : chosen.substr(0, ext);
  return out + suffix;
}

}  // namespace varnet
