// SPDX-License-Identifier: Apache-2.0
// export-sheet against the simulated scanner, read back with poppler and zbar:
// the symbols carry the QR export's bytes, the text names the scanner and its
// settings, long lists go on, failures leave nothing half written.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

#include "pages/output_format.h"
#include "settings/settings_summary.h"
#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/pdf_tools.h"
#include "support/temp_dir.h"
#include "support/transfer_blocks.h"
#include "support/wire.h"
#include "transfer/settings_sheet.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

// A bitmap of the QR export with a white border, as zbar wants one.
std::string WithQuietZone(const std::string& bmp) {
  const QImage symbol(QString::fromStdString(bmp));
  QImage framed(symbol.width() + 32, symbol.height() + 32, QImage::Format_RGB888);
  framed.fill(Qt::white);
  QPainter(&framed).drawImage(16, 16, symbol);
  framed.save(QString::fromStdString(bmp + ".png"));
  return bmp + ".png";
}

// A text as a pattern that matches it with any run of blanks between words.
std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string Pattern(const std::string& text) {
  std::string escaped = std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
  return std::regex_replace(escaped, std::regex(" +"), "\\s+");
}

// Nothing runs into the bottom margin but the footer (15 mm and 10 mm up).
void ExpectBottomMarginClear(const std::string& pdf) {
  for (const PdfWord& w : PdfWords(pdf))
    if (w.yMax > w.pageHeight - 15 / 25.4 * 72) {
      EXPECT_GT(w.yMin, w.pageHeight - 11 / 25.4 * 72) << w.text << " on page " << w.page;
    }
}

}  // namespace

TEST(CliSheet, SymbolsCarryTheQrExportsBytesAndTheTextNamesScannerAndSettings) {
  TempDir dir;
  sim::Profile tuned;
  tuned.paramBlock[pb::ScanMode] = 2;  // Sense Mode
  tuned.formatBlock[27 * 8] = 'X';     // QR prefix "XR:"
  sim::SimScanner sim(tuned);
  ASSERT_TRUE(sim.Start());

  // The program itself, with no display and no platform chosen for it.
  const std::string pdf = dir.File("sheet.pdf");
  int status = -1;
  const std::string out =
      Shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C " VARNET_CLI_BINARY " --port " +
                sim.SlavePath() + " export-sheet " + ShellQuoted(pdf) + " 2>" + ShellQuoted(dir.File("err")),
            &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(ReadWholeFile(dir.File("err")), Bytes{});  // nothing from Qt on standard error
  EXPECT_EQ(PdfInfo(pdf, "Page size"), "595 x 842 pts (A4)");

  // zbar reads the same bytes off the sheet at 150 dpi as off the QR export's bitmaps.
  ASSERT_EQ(RunCli({"--port", sim.SlavePath(), "export-qr", dir.File("codes.bmp")}).status, 0);
  const Bytes s1 = ZbarBytes(WithQuietZone(dir.File("codes_S1.bmp")));
  const Bytes s2 = ZbarBytes(WithQuietZone(dir.File("codes_S2.bmp")));
  EXPECT_EQ(s1, Concat({TextBytes("%ICF%"), sim.ParamBlock()}));
  EXPECT_EQ(s2, Concat({TextBytes("%IFF%"), *sim.FormatBlock()}));
  // 1 of 2 on the left, 2 of 2 on the right.
  EXPECT_EQ(ZbarBytes(RenderPage(pdf, 1, 150, -1)), s1);
  EXPECT_EQ(ZbarBytes(RenderPage(pdf, 1, 150, 1)), s2);

  const std::string text = PdfText(pdf);
  for (const char* part : {"HS-2D (model code 1)", "HS2D-V2.41.07", "SN2D00012345", "1 of 2", "2 of 2",
                           "Scan in this order", "Sense Mode", "XR:", "Readable Symbologies"})
    EXPECT_TRUE(Has(text, part)) << part;

  ASSERT_EQ(RunCli({"--port", sim.SlavePath(), "export-sheet", "--page-size", "letter", pdf}).status, 0);
  EXPECT_EQ(PdfInfo(pdf, "Page size"), "612 x 792 pts (letter)");
  EXPECT_EQ(PageSizeFor(QLocale(QLocale::English, QLocale::UnitedStates)), SheetPageSize::Letter);
  EXPECT_EQ(PageSizeFor(QLocale(QLocale::English, QLocale::UnitedKingdom)), SheetPageSize::A4);
}

TEST(CliSheet, LongListsGoOnToFurtherPagesWithoutCuttingALine) {
  // Every symbology with a prefix, a suffix and both cuts.
  sim::Profile full;
  full.formatBlock.resize(640, 0);
  for (size_t slot = 0; slot < fb::kSlots; ++slot) {
    char text[8];
    std::snprintf(text, sizeof text, "P%02zu", slot);
    std::copy_n(text, 3, &full.formatBlock[fb::Prefix + slot * fb::kTextWidth]);
    text[0] = 'S';
    std::copy_n(text, 3, &full.formatBlock[fb::Suffix + slot * fb::kTextWidth]);
    full.formatBlock[fb::LeadingCut + slot] = uint8_t(1 + slot % 20);
    full.formatBlock[fb::EndingCut + slot] = 2;
  }
  sim::SimScanner sim(full);
  ASSERT_TRUE(sim.Start());
  TempDir dir;
  const std::string pdf = dir.File("long.pdf");
  ASSERT_EQ(RunCli({"--port", sim.SlavePath(), "export-sheet", "--page-size", "a4", pdf}).status, 0);
  const int pages = std::stoi(PdfInfo(pdf, "Pages"));
  ASSERT_GE(pages, 3);

  // Each group's line, label and value, is whole on exactly one page.
  DeviceInfo info;
  std::copy_n(sim.ParamBlock().begin(), ParamBlock::kSize, info.paramBlock.bytes.begin());
  info.formatBlock = *sim.FormatBlock();
  std::vector<std::string> pageText;
  for (int p = 1; p <= pages; ++p) pageText.push_back(PdfText(pdf, p, true));
  int checked = 0;
  for (const CategoryState& c : AllCategories(info, ScannerModel::From(info.paramBlock, "HS2D-V2.41.07")))
    for (const GroupState& g : c.groups) {
      const std::string value = InForceText(g);
      if (value.size() > 40) continue;  // wraps within its column
      const std::regex line("\\n\\s*" + Pattern(Trimmed(g.label)) + "\\s+" + Pattern(value.empty() ? "(none)" : value) +
                            "\\s*\\n");
      int found = 0;
      for (const std::string& t : pageText)
        found += int(std::distance(std::sregex_iterator(t.begin(), t.end(), line), std::sregex_iterator()));
      EXPECT_EQ(found, 1) << g.label;
      ++checked;
    }
  EXPECT_GT(checked, 100);
  ExpectBottomMarginClear(pdf);
  for (int p = 1; p <= pages; ++p)
    EXPECT_TRUE(Has(pageText[size_t(p - 1)], "Page " + std::to_string(p) + " of " + std::to_string(pages)));
}

TEST(CliSheet, SymbolsTooLargeToStandSideBySideGoOneAboveTheOther) {
  ASSERT_TRUE(EnsureGuiApplication());
  TempDir dir;
  Bytes a(1200), b(1200);
  for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i * 7), b[i] = uint8_t(i * 11 + 1);
  SheetContent content;
  content.symbols = {*EncodeQrSymbol(a.data(), a.size()), *EncodeQrSymbol(b.data(), b.size())};
  for (SheetPageSize size : {SheetPageSize::A4, SheetPageSize::Letter}) {
    SheetLayout layout;
    const QByteArray pdf = RenderSettingsSheet(content, {size, false}, &layout);
    EXPECT_FALSE(layout.sideBySide);
    EXPECT_GE(layout.moduleMm, kMinModuleMm);
    const std::string file = dir.File("big.pdf");
    WriteWholeFile(file, Bytes(pdf.begin(), pdf.end()));
    const Bytes read = ZbarBytes(RenderPage(file, 1, 150));
    EXPECT_TRUE(read == Concat({a, b}) || read == Concat({b, a})) << read.size() << " bytes";
    ExpectBottomMarginClear(file);
  }
}

TEST(CliSheet, ACategorysNameNeverEndsAPage) {
  ASSERT_TRUE(EnsureGuiApplication());
  TempDir dir;
  // Alpha's n groups, then Bravo's name and its two groups: the page each word lands on.
  auto pages = [&](int n) {
    SheetContent content;
    content.categories = {{"Alpha", {}}, {"Bravo", {}}};
    for (int i = 1; i <= n + 2; ++i)
      content.categories[i <= n ? 0 : 1].groups.push_back(
          {"", (i <= n ? "A" : "B") + std::to_string(i <= n ? i : i - n), "", "", {{"on", "", true}}});
    const QByteArray pdf = RenderSettingsSheet(content, {SheetPageSize::A4, false});
    WriteWholeFile(dir.File("list.pdf"), Bytes(pdf.begin(), pdf.end()));
    std::map<std::string, int> page;
    for (const PdfWord& w : PdfWords(dir.File("list.pdf"))) page.emplace(w.text, w.page);
    return page;
  };
  // How many of Alpha's lines the first page holds; from a few lines fewer on,
  // Bravo's name moves down until it starts the second page, always with its first group.
  auto full = pages(150);
  int first = 0;
  while (full.count("A" + std::to_string(first + 1)) && full["A" + std::to_string(first + 1)] == 1) ++first;
  ASSERT_GT(first, 10);
  for (int n = first - 5;; ++n) {
    auto page = pages(n);
    ASSERT_TRUE(page.count("Bravo") && page.count("B1")) << n;
    EXPECT_EQ(page["Bravo"], page["B1"]) << n << " of Alpha's groups";
    if (page["Bravo"] == 2 || n > first + 2) break;
  }
}

TEST(CliSheet, SeveralPortsAndFailuresThatLeaveNothingHalfWritten) {
  TempDir dir;
  sim::SimScanner normal, legacy(sim::ProfileNamed("legacy"));
  ASSERT_TRUE(normal.Start() && legacy.Start());

  // One sheet per port, named as the other exports name them; no sheet
  // without a format block.
  auto r = RunCli(
      {"--port", normal.SlavePath(), "--port", legacy.SlavePath(), "--json", "export-sheet", dir.File("fleet.pdf")});
  EXPECT_EQ(r.status, 1);
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  const std::string named = dir.File("fleet_pts-" + normal.SlavePath().substr(9) + ".pdf");
  EXPECT_EQ(lines[0]["files"], nlohmann::json::array({named}));
  EXPECT_FALSE(lines[1]["ok"]);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{named.substr(dir.path().size() + 1)});

  // A format block that never comes: the existing file stays, no temporary file is left.
  const std::string kept = dir.File("fleet.pdf");
  WriteWholeFile(kept, TextBytes("older"));
  Refuse(normal.faults(), kReadFormatBlock);
  r = RunCli({"--port", normal.SlavePath(), "export-sheet", kept});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Export Failed") && Has(r.err, "format block")) << r.err;
  EXPECT_EQ(ReadWholeFile(kept), TextBytes("older"));
  EXPECT_EQ(dir.Entries().size(), 2u);

  // A folder that is not there fails before the scanner is asked.
  normal.ClearReceived();
  r = RunCli({"--port", normal.SlavePath(), "export-sheet", dir.File("missing/sheet.pdf")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "The folder does not exist")) << r.err;
  EXPECT_TRUE(normal.Received().empty());
  EXPECT_EQ(RunCli({"--port", normal.SlavePath(), "export-sheet", "--page-size", "a5", kept}).status, 2);
}
