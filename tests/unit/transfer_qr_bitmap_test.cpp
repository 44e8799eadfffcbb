// SPDX-License-Identifier: Apache-2.0
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "transfer/qr_bitmap.h"

namespace varnet {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t off) {
  return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 | uint32_t(b[off + 3]) << 24;
}

// Reads a bitmap of ours back as grey pixels with a white border of
// `margin` pixels, in top-down order as the header promises.
std::vector<uint8_t> Grey(const std::vector<uint8_t>& bmp, int margin, int* side) {
  int w = int(U32(bmp, 18));
  int h = -int32_t(U32(bmp, 22));
  size_t row = (size_t(w) * 3 + 3) / 4 * 4;
  int s = w + 2 * margin;
  std::vector<uint8_t> out(size_t(s) * size_t(h + 2 * margin), 0xFF);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out[size_t(y + margin) * size_t(s) + size_t(x + margin)] = bmp[54 + y * row + x * 3];
  *side = s;
  return out;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& bmp) {
  int side = 0;
  std::vector<uint8_t> grey = Grey(bmp, 8, &side);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  ZXing::Result r = ZXing::ReadBarcode({grey.data(), side, side, ZXing::ImageFormat::Lum}, hints);
  if (!r.isValid()) return {};
  return {r.bytes().begin(), r.bytes().end()};
}

TEST(QrBitmap, LayoutFollowsTheModuleMatrix) {
  // Only bit 0 makes a module dark; libqrencode uses the other bits for itself.
  std::vector<uint8_t> modules(21 * 21, 0xC0);
  modules[0] = 0x01;            // top-left
  modules[3 * 21 + 20] = 0x81;  // row 3, last column
  modules[20 * 21 + 5] = 0xFE;  // light despite its other bits
  std::vector<uint8_t> bmp = QrBitmapFromModules(21, modules.data());

  // File header, then a 40-byte info header: 42 x 42, top-down (negative
  // height), one plane, 24 bits, no compression, rows padded to 128 bytes.
  ASSERT_EQ(bmp.size(), 5430u);
  EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + 2), "BM");
  const std::pair<size_t, uint32_t> fields[] = {
      {2, 5430}, {6, 0},  {10, 54}, {14, 40}, {18, 42}, {22, uint32_t(-42)}, {26, 1 | 24 << 16}, {30, 0},
      {34, 0},   {38, 0}, {42, 0},  {46, 0},  {50, 0}};
  for (auto [off, value] : fields) EXPECT_EQ(U32(bmp, off), value) << off;
  const size_t row = 128;
  auto pixel = [&](size_t x, size_t y) { return bmp.begin() + 54 + y * row + x * 3; };
  auto black = [&](size_t x, size_t y) {
    return std::all_of(pixel(x, y), pixel(x, y) + 3, [](uint8_t v) { return v == 0; });
  };
  // The first stored row is the top of the symbol.
  for (size_t d : {0u, 1u, 2u, 3u}) EXPECT_TRUE(black(d % 2, d / 2) && black(40 + d % 2, 6 + d / 2)) << d;
  EXPECT_FALSE(black(2, 0) || black(0, 2) || black(0, 41) || black(10, 40));
  // Exactly those 8 pixels are black; everything else, row fill included, is white.
  size_t zeros = std::count(bmp.begin() + 54, bmp.end(), 0);
  size_t ffs = std::count(bmp.begin() + 54, bmp.end(), 0xFF);
  EXPECT_EQ(zeros, 8u * 3);
  EXPECT_EQ(ffs, 5376u - zeros);

  EXPECT_TRUE(QrBitmapFromModules(0, modules.data()).empty());
  EXPECT_TRUE(QrBitmapFromModules(178, std::vector<uint8_t>(178 * 178).data()).empty());
}

TEST(QrBitmap, EncodedSymbolDecodesToTheExactBytes) {
  // A settings symbol: tag and a 192-byte payload with every kind of byte.
  std::vector<uint8_t> content = {'%', 'I', 'C', 'F', '%'};
  for (int i = 0; i < 192; ++i) content.push_back(uint8_t(i * 37 + (i >> 3)));
  content[6] = 0x00;
  content[7] = 0xFF;
  ASSERT_EQ(content.size(), 197u);

  std::optional<std::vector<uint8_t>> bmp = EncodeQrBitmap(content.data(), content.size());
  ASSERT_TRUE(bmp);
  int side = int(U32(*bmp, 18));
  EXPECT_EQ(side % 2, 0);
  EXPECT_EQ((side / 2 - 17) % 4, 0);  // a regular QR symbol, no quiet zone
  EXPECT_EQ(bmp->size(), 54u + size_t((3 * side + 3) / 4 * 4) * size_t(side));
  EXPECT_EQ(Decode(*bmp), content);
}

TEST(QrBitmap, FailuresAreReportedNotFatal) {
  std::vector<uint8_t> tooLong(4000, 0x41);  // beyond version 40 at level H
  EXPECT_FALSE(EncodeQrBitmap(tooLong.data(), tooLong.size()));
  EXPECT_FALSE(EncodeQrBitmap(tooLong.data(), 0));

  // Missing folders and symbols too large are checked through whole exports.
  test::TempDir dir;
  std::vector<uint8_t> data = {'%', 'I', 'C', 'F', '%', 1, 2, 3};
  test::WriteWholeFile(dir.File("a_S1.bmp"), {9, 9, 9});  // a written bitmap replaces an older file
  ASSERT_TRUE(WriteQrBitmap(dir.File("a_S1.bmp"), data.data(), data.size()).ok);
  EXPECT_EQ(test::ReadWholeFile(dir.File("a_S1.bmp")), *EncodeQrBitmap(data.data(), data.size()));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a_S1.bmp"}));
}

TEST(QrBitmap, SettingsBitmapNamesComeFromTheFileName) {
  const std::pair<const char*, const char*> rows[] = {
      {"/home/u/SetScanner.bmp", "/home/u/SetScanner_S1.bmp"},
      {"/data/x.bmp/y.bmp", "/data/x.bmp/y_S1.bmp"},
      {"/data/x.bmp/y", "/data/x.bmp/y_S1.bmp"},
      {"/d/a.bmp.bmp", "/d/a_S1.bmp"},
      {"/d/a.bmpx.png", "/d/a_S1.bmp"},
      {"/d/NAME.BMP", "/d/NAME.BMP_S1.bmp"},
      {"rel.bmp", "rel_S1.bmp"},
      {"plain", "plain_S1.bmp"},
  };
  for (const auto& [chosen, s1] : rows) EXPECT_EQ(SettingsBitmapName(chosen, 1), s1) << chosen;
  EXPECT_EQ(SettingsBitmapName("/d/a.bmpx.png", 2), "/d/a_S2.bmp");
}

}  // namespace
}  // namespace varnet
