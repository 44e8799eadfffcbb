// SPDX-License-Identifier: Apache-2.0
#include "transfer/settings_sheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

#include "link/control_names.h"
#include "platform/atomic_file.h"

namespace varnet {

namespace {

constexpr char kContext[] = "varnet::SettingsSheet";
constexpr double kMarginMm = 15;
constexpr double kColumnGapMm = 14;  // between the symbols, room for the arrow
constexpr int kResolution = 1200;    // device units per inch

QString Tr(const char* text, bool chinese) {
  return chinese ? QCoreApplication::translate(kContext, text) : QString::fromUtf8(text);
}

// Control characters in prefixes and commands would break the line or
// print as boxes; they show by name, as the scanned data list shows them.
QString Visible(const std::string& utf8) {
  QString out;
  for (QChar c : QString::fromStdString(utf8)) {
    if (c.unicode() < 0x20) out += QStringLiteral("[%1]").arg(QLatin1String(ControlName(uint8_t(c.unicode()))));
    else out += c;
  }
  return out;
}

QString Trimmed(const std::string& utf8) { return QString::fromStdString(utf8).trimmed(); }

QFont Font(double points, bool bold, bool chinese) {
  QFont f;
  // The CJK faces carry Latin letters too; the first one present wins.
  f.setFamilies(chinese ? QStringList{"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC", "Source Han Sans SC",
                                      "DejaVu Sans"}
                        : QStringList{"DejaVu Sans", "Liberation Sans", "Noto Sans"});
  // Without shaping Latin text has no ligatures, so "fi" stays two letters
  // for anyone who searches the document.
  f.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

// A paragraph broken into lines for one width (anywhere when a word is
// longer than the width), measured in device units and drawn later.
class Paragraph {
 public:
  Paragraph(const QString& text, const QFont& font, QPaintDevice* device, double width)
      : layout_(std::make_unique<QTextLayout>(text, font, device)) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout_->setTextOption(option);
    layout_->beginLayout();
    for (QTextLine line = layout_->createLine(); line.isValid(); line = layout_->createLine()) {
      line.setLineWidth(width);
      line.setPosition(QPointF(0, height_));
      height_ += line.height();
      width_ = std::max(width_, line.naturalTextWidth());
    }
    layout_->endLayout();
  }
  double height() const { return height_; }
  double width() const { return width_; }
  void Draw(QPainter& p, double x, double y) const { layout_->draw(&p, QPointF(x, y)); }

 private:
  std::unique_ptr<QTextLayout> layout_;
  double height_ = 0;
  double width_ = 0;
};

// One line of the settings list: a category's name, or a group with what is
// in force. An entry is never split across pages.
struct Entry {
  bool heading = false;
  QString label, value;
  int category = 0;
};

std::vector<Entry> ListEntries(const std::vector<CategoryState>& categories, bool chinese) {
  std::vector<Entry> entries;
  for (size_t c = 0; c < categories.size(); ++c) {
    const CategoryState& category = categories[c];
    entries.push_back({true, Tr(category.name.c_str(), chinese), {}, int(c)});
    for (const GroupState& g : category.groups) {
      QString label = Trimmed(g.label);
      if (chinese && !g.chinese.empty()) label = Trimmed(g.chinese);
      else if (chinese && g.symbology.empty()) label = Tr(g.title.c_str(), chinese);
      else if (chinese) label = QString::fromStdString(g.symbology) + ' ' + Tr(FieldName(g).c_str(), chinese);
      const std::string inForce = InForceText(g, chinese);
      entries.push_back({false, label, inForce.empty() ? Tr("(none)", chinese) : Visible(inForce), int(c)});
    }
  }
  return entries;
}

// The category and field names the sheet translates (the catalogue has its
// own Chinese labels).
[[maybe_unused]] constexpr const char* kTranslatedNames[] = {
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Scan Settings"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Decode Settings"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Symbologies"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Interface"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Output Settings"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Trigger Settings"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Country Code Page"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Case Conversion"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Code ID"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Ending Character"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Truncate Leading Data"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Truncate Ending Data"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Prefix"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Suffix"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Pulse Trigger"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Start Scan CMD"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Stop Scan CMD"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Transmit Bad Read Message"),
    QT_TRANSLATE_NOOP("varnet::SettingsSheet", "Bad Read Message"),
};

// One symbol as filled squares, merged along each row and filled as one
// path, so that no seam shows between neighbouring modules.
void DrawSymbol(QPainter& p, const QrMatrix& m, QPointF origin, double module) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  for (int y = 0; y < m.width; ++y)
    for (int x = 0; x < m.width;) {
      if (!m.Dark(x, y)) {
        ++x;
        continue;
      }
      int end = x;
      while (end < m.width && m.Dark(end, y)) ++end;
      path.addRect(QRectF(origin.x() + x * module, origin.y() + y * module, (end - x) * module, module));
      x = end;
    }
  p.fillPath(path, Qt::black);
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, double head) {
  p.save();
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), head / 4, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(from, QPointF(to.x() - head, to.y()));
  QPainterPath tip;
  tip.moveTo(to);
  tip.lineTo(to.x() - head, to.y() - head / 2);
  tip.lineTo(to.x() - head, to.y() + head / 2);
  tip.closeSubpath();
  p.fillPath(tip, QColor(0x60, 0x60, 0x60));
  p.restore();
}

// What every part of the sheet draws with: the content, the writer and its
// painter, and the page's measures in device units.
struct Sheet {
  const SheetContent& content;
  QPdfWriter& writer;
  QPainter& p;
  bool zh;
  double mm;  // device units per millimetre
  double left, top, textWidth;
  double bottom;  // the footer sits below this
};

// The model, firmware, serial number and date, two to a row.
double DrawFacts(const Sheet& s, double y) {
  const SheetContent& content = s.content;
  const bool zh = s.zh;
  const QString model = QString::fromLatin1(content.modelName.c_str());
  const std::pair<QString, QString> facts[] = {
      {Tr("Model", zh), Tr("%1 (model code %2)", zh).arg(model).arg(content.modelCode)},
      {Tr("Firmware", zh), QString::fromLatin1(content.firmware.c_str())},
      {Tr("Serial number", zh), QString::fromLatin1(content.serial.c_str())},
      {Tr("Date", zh), content.date.toString(Qt::ISODate)},
  };
  const QFont factLabel = Font(9, false, zh), factValue = Font(10, true, zh);
  const double factColumn = s.textWidth / 2;
  for (size_t i = 0; i < std::size(facts); i += 2) {
    double rowHeight = 0;
    for (size_t j = i; j < i + 2 && j < std::size(facts); ++j) {
      const double x = s.left + double(j - i) * factColumn;
      s.p.setPen(QColor(0x55, 0x55, 0x55));
      Paragraph label(facts[j].first, factLabel, &s.writer, factColumn * 0.35);
      label.Draw(s.p, x, y);
      s.p.setPen(Qt::black);
      Paragraph value(facts[j].second, factValue, &s.writer, factColumn * 0.63);
      value.Draw(s.p, x + factColumn * 0.35, y);
      rowHeight = std::max({rowHeight, label.height(), value.height()});
    }
    y += rowHeight + 0.8 * s.mm;
  }
  return y;
}

// The title, the facts and the order to scan in; returns where the symbols
// start.
double DrawHeading(const Sheet& s, double y) {
  Paragraph title(Tr("Settings Barcodes", s.zh), Font(18, true, s.zh), &s.writer, s.textWidth);
  title.Draw(s.p, s.left, y);
  y += title.height() + 2 * s.mm;
  y = DrawFacts(s, y);
  y += 2 * s.mm;
  Paragraph order(Tr("Scan in this order: first 1 of 2, then 2 of 2.", s.zh), Font(11, true, s.zh), &s.writer,
                  s.textWidth);
  order.Draw(s.p, s.left, y);
  y += order.height() + 4 * s.mm;
  return y;
}

// The symbols' size and arrangement, with what their captions and notes take.
struct SymbolLayout {
  QFont captionFont, noteFont;
  double captionHeight = 0, noteHeight = 0;
  int widest = 0;     // modules of the larger symbol with its quiet zone
  double column = 0;  // the width of each column side by side
  double module = 0;  // millimetres
  bool sideBySide = false;
};

// The module asked for, or the largest that fits side by side; below the
// smallest, one above the other.
SymbolLayout LayOutSymbols(const Sheet& s, const SheetOptions& options, double y) {
  const SheetContent& content = s.content;
  const double mm = s.mm;
  SymbolLayout l;
  l.widest = std::max(content.symbols[0].width, content.symbols[1].width) + 2 * kQuietZoneModules;
  l.column = (s.textWidth - kColumnGapMm * mm) / 2;
  l.captionFont = Font(14, true, s.zh);
  l.noteFont = Font(8.5, false, s.zh);
  l.captionHeight = QFontMetricsF(l.captionFont, &s.writer).height() + 1.5 * mm;
  l.noteHeight = QFontMetricsF(l.noteFont, &s.writer).height() * 2 + 1 * mm;
  l.module = options.moduleMm;
  l.sideBySide = l.widest * l.module * mm <= l.column;
  if (options.moduleMm <= 0) {
    l.module = std::min(kMaxModuleMm, l.column / mm / l.widest);
    l.sideBySide = l.module >= kMinModuleMm;
    if (!l.sideBySide) {
      // One above the other, as large as both fit on the first page.
      const double room = (s.bottom - y) / 2 - l.captionHeight - l.noteHeight;
      l.module = std::max(kMinModuleMm, std::min({kMaxModuleMm, s.textWidth / mm / l.widest, room / mm / l.widest}));
    }
  }
  return l;
}

// The two symbols with their captions and notes, the arrow between them
// when side by side; returns where the list starts.
double DrawSymbols(const Sheet& s, const SymbolLayout& l, double y) {
  const double mm = s.mm, module = l.module;
  const QString captions[2] = {Tr("1 of 2", s.zh), Tr("2 of 2", s.zh)};
  const QString notes[2] = {Tr("Device configuration (parameter block)", s.zh),
                            Tr("Output data format (format block)", s.zh)};
  const double box = l.widest * module * mm;  // the larger symbol with its quiet zone
  for (int i = 0; i < 2; ++i) {
    const QrMatrix& symbol = s.content.symbols[size_t(i)];
    const double own = (symbol.width + 2 * kQuietZoneModules) * module * mm;
    const double columnLeft = l.sideBySide ? s.left + i * (l.column + kColumnGapMm * mm) : s.left;
    const double columnWidth = l.sideBySide ? l.column : s.textWidth;
    const double symbolTop = l.sideBySide ? y : y + i * (l.captionHeight + box + l.noteHeight);
    Paragraph caption(captions[i], l.captionFont, &s.writer, columnWidth);
    caption.Draw(s.p, columnLeft + (columnWidth - caption.width()) / 2, symbolTop);
    // Symbols of unequal size share their top edge under the captions.
    const double boxLeft = columnLeft + (columnWidth - own) / 2, boxTop = symbolTop + l.captionHeight;
    DrawSymbol(s.p, symbol,
               QPointF(boxLeft + kQuietZoneModules * module * mm, boxTop + kQuietZoneModules * module * mm),
               module * mm);
    s.p.setPen(QColor(0x55, 0x55, 0x55));
    Paragraph note(notes[i], l.noteFont, &s.writer, columnWidth);
    note.Draw(s.p, columnLeft + (columnWidth - note.width()) / 2, boxTop + own + 0.5 * mm);
    s.p.setPen(Qt::black);
  }
  if (l.sideBySide) {
    const double midY = y + l.captionHeight + box / 2;
    DrawArrow(s.p, QPointF(s.left + l.column + 3 * mm, midY),
              QPointF(s.left + l.column + kColumnGapMm * mm - 3 * mm, midY), 3 * mm);
    y += l.captionHeight + box + l.noteHeight;
  } else {
    y += 2 * (l.captionHeight + box + l.noteHeight);
  }
  return y;
}

// Where an entry of the list goes.
struct Placed {
  size_t entry;
  bool continued;  // a category's name again at the top of a page
  int page;
  double y;
};

// The settings list, laid out before anything of it is drawn, so that the
// footers can say how many pages there are.
struct SettingsList {
  std::vector<Entry> entries;
  QFont categoryFont, itemFont;
  double indent = 0, labelWidth = 0, valueLeft = 0, valueWidth = 0;
  double headingGap = 0;
  std::vector<Placed> placed;
  int pageCount = 1;
  int titlePage = 1;
  double titleY = 0;
};

// Every page but the first starts with its category's name again.
Paragraph CategoryParagraph(const Sheet& s, const SettingsList& list, const Entry& e, bool continued) {
  QString name = Tr(s.content.categories[size_t(e.category)].name.c_str(), s.zh);
  if (continued) name = Tr("%1 (continued)", s.zh).arg(name);
  return Paragraph(name, list.categoryFont, &s.writer, s.textWidth);
}

double EntryHeight(const Sheet& s, const SettingsList& list, size_t i) {
  const Entry& e = list.entries[i];
  if (e.heading) return list.headingGap + CategoryParagraph(s, list, e, false).height() + 1.5 * s.mm;
  return std::max(Paragraph(e.label, list.itemFont, &s.writer, list.labelWidth).height(),
                  Paragraph(e.value, list.itemFont, &s.writer, list.valueWidth).height()) +
         0.6 * s.mm;
}

// The labels take the width of the longest (at most 45 % of the text), the
// values the rest.
SettingsList MeasureList(const Sheet& s) {
  const double mm = s.mm;
  SettingsList list;
  list.categoryFont = Font(10, true, s.zh);
  list.itemFont = Font(9, false, s.zh);
  list.entries = ListEntries(s.content.categories, s.zh);
  double labelWidth = 0;
  for (const Entry& e : list.entries)
    if (!e.heading)
      labelWidth = std::max(labelWidth, Paragraph(e.label, list.itemFont, &s.writer, s.textWidth).width());
  list.labelWidth = std::min(labelWidth, s.textWidth * 0.45);
  list.indent = 3 * mm;
  list.valueLeft = list.indent + list.labelWidth + 4 * mm;
  list.valueWidth = s.textWidth - list.valueLeft;
  list.headingGap = 1.5 * mm;
  return list;
}

// Each entry's page and place, from `y` on the page of the symbols.
void PlaceEntries(const Sheet& s, const Paragraph& listTitle, SettingsList& list, double y) {
  const std::vector<Entry>& entries = list.entries;
  list.titleY = y;
  // The list's title stays with its first lines: after large symbols it
  // starts the second page.
  double at = y;
  double first = listTitle.height() + 2 * s.mm;
  for (size_t i = 0; i < entries.size() && i < 2; ++i) first += EntryHeight(s, list, i);
  if (at + first > s.bottom) {
    ++list.pageCount;
    at = list.titleY = s.top;
    list.titlePage = list.pageCount;
  }
  at += listTitle.height() + 2 * s.mm;
  for (size_t i = 0; i < entries.size(); ++i) {
    double h = EntryHeight(s, list, i);
    // A category's name stays with its first group.
    const double keep =
        entries[i].heading && i + 1 < entries.size() && !entries[i + 1].heading ? EntryHeight(s, list, i + 1) : 0;
    if (at + h + keep > s.bottom) {
      ++list.pageCount;
      at = s.top;
      if (!entries[i].heading) {
        const double again = CategoryParagraph(s, list, entries[i], true).height() + 1.5 * s.mm;
        list.placed.push_back({i, true, list.pageCount, at});
        at += again;
      }
    }
    list.placed.push_back({i, false, list.pageCount, at});
    at += h;
  }
}

void DrawFooter(const Sheet& s, int number, int pageCount) {
  s.p.save();
  s.p.setPen(QColor(0x77, 0x77, 0x77));
  const QString text =
      Tr("Varnet settings sheet: %1, serial number %2. Page %3 of %4", s.zh)
          .arg(QString::fromLatin1(s.content.modelName.c_str()), QString::fromLatin1(s.content.serial.c_str()))
          .arg(number)
          .arg(pageCount);
  Paragraph line(text, Font(7.5, false, s.zh), &s.writer, s.textWidth);
  line.Draw(s.p, s.left, s.bottom + 5 * s.mm);
  s.p.restore();
}

// The list as placed, a footer on every page.
void DrawList(const Sheet& s, const Paragraph& listTitle, const SettingsList& list) {
  int current = 1;
  auto turnTo = [&](int page) {
    for (; current < page; ++current) {
      DrawFooter(s, current, list.pageCount);
      s.writer.newPage();
      if (current + 1 == list.titlePage) listTitle.Draw(s.p, s.left, list.titleY);
    }
  };
  if (list.titlePage == 1) listTitle.Draw(s.p, s.left, list.titleY);
  for (const Placed& at : list.placed) {
    turnTo(at.page);
    const Entry& e = list.entries[at.entry];
    if (e.heading || at.continued) {
      CategoryParagraph(s, list, e, at.continued).Draw(s.p, s.left, at.y + (at.continued ? 0 : list.headingGap));
      continue;
    }
    s.p.setPen(QColor(0x33, 0x33, 0x33));
    Paragraph(e.label, list.itemFont, &s.writer, list.labelWidth).Draw(s.p, s.left + list.indent, at.y);
    s.p.setPen(Qt::black);
    Paragraph(e.value, list.itemFont, &s.writer, list.valueWidth).Draw(s.p, s.left + list.valueLeft, at.y);
  }
  turnTo(list.pageCount);
  DrawFooter(s, current, list.pageCount);
}

// Serialises drawing: the font machinery is shared by every thread.
std::mutex g_renderMutex;

}  // namespace

SheetPageSize PageSizeFor(const QLocale& locale) {
  return locale.measurementSystem() == QLocale::ImperialUSSystem ? SheetPageSize::Letter : SheetPageSize::A4;
}

QByteArray RenderSettingsSheet(const SheetContent& content, const SheetOptions& options, SheetLayout* layoutOut) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
  std::lock_guard<std::mutex> lock(g_renderMutex);
  const bool zh = options.chinese;

  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kResolution);
  writer.setPageSize(QPageSize(options.pageSize == SheetPageSize::Letter ? QPageSize::Letter : QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setCreator(QStringLiteral("Varnet"));
  writer.setTitle(Tr("Settings Barcodes", zh) + " - " + QString::fromLatin1(content.modelName.c_str()) + " " +
                  QString::fromLatin1(content.serial.c_str()));

  const double mm = kResolution / 25.4;
  const QSizeF page = QPageSize(writer.pageLayout().pageSize()).size(QPageSize::Millimeter) * mm;
  const double left = kMarginMm * mm, top = kMarginMm * mm;
  QPainter p;
  const Sheet sheet{content, writer, p, zh, mm, left, top, page.width() - 2 * left, page.height() - kMarginMm * mm};
  if (!p.begin(&writer)) return {};
  p.setPen(Qt::black);

  double y = DrawHeading(sheet, top);
  const SymbolLayout symbols = LayOutSymbols(sheet, options, y);
  y = DrawSymbols(sheet, symbols, y);
  y += 4 * mm;
  SettingsList list = MeasureList(sheet);
  const Paragraph listTitle(Tr("Settings these barcodes carry", zh), Font(12, true, zh), &writer, sheet.textWidth);
  PlaceEntries(sheet, listTitle, list, y);
  DrawList(sheet, listTitle, list);
  if (!p.end()) return {};
  if (layoutOut) *layoutOut = {list.pageCount, symbols.module, symbols.sideBySide};
  return pdf;
}

SheetContent SheetContentFor(const QrSymbolsSink& received, const DeviceInfo& held, const ScannerTexts& texts,
                             QDate date) {
  SheetContent content;
  // The list shows what the symbols carry, not what was held before.
  DeviceInfo listed = held;
  if (!received.symbols.empty()) {
    const std::vector<uint8_t>& param = received.symbols[0].block.payload;
    std::copy_n(param.begin(), std::min(param.size(), ParamBlock::kSize), listed.paramBlock.bytes.begin());
  }
  if (received.symbols.size() > 1) listed.formatBlock = received.symbols[1].block.payload;
  for (size_t i = 0; i < received.symbols.size() && i < content.symbols.size(); ++i)
    content.symbols[i] = received.symbols[i].matrix;
  content.modelName = listed.paramBlock.ModelName();
  content.modelCode = listed.paramBlock.ModelCode();
  content.firmware = texts.firmware;
  content.serial = texts.serial;
  content.date = date;
  content.categories = AllCategories(listed, ScannerModel::From(listed.paramBlock, texts.firmware));
  return content;
}

ExportResult ExportSettingsSheet(ScannerLink& link, const DeviceInfo& held, const ScannerTexts& texts,
                                 const std::string& path, const SheetOptions& options) {
  if (const ExportResult checked = CheckExportDestination(path); !checked.ok) return checked;
  QrSymbolsSink received;
  if (const ExportResult result = RunExport(link, received); !result.ok) return result;
  if (received.symbols.size() != 2) return ExportResult::Failed(Reason::UnexpectedData);
  const QByteArray pdf = RenderSettingsSheet(SheetContentFor(received, held, texts, QDate::currentDate()), options);
  if (pdf.isEmpty()) return ExportResult::Failed(Reason::FileError, EIO);
  int error = 0;
  if (!platform::WriteFileAtomically(path, reinterpret_cast<const uint8_t*>(pdf.constData()), size_t(pdf.size()),
                                     &error))
    return FileFailure(error);
  return ExportResult::Done();
}

bool EnsureGuiApplication() {
  if (QCoreApplication* app = QCoreApplication::instance()) return qobject_cast<QGuiApplication*>(app) != nullptr;
  // Qt's own notes (no XDG_RUNTIME_DIR, font configuration) would only
  // clutter standard error, which scripts read; its errors still go there.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
  });
  // Kept for the rest of the process, as an application object is.
  static int argc = 3;
  static char name[] = "varnet", platform[] = "-platform", offscreen[] = "offscreen";
  static char* argv[] = {name, platform, offscreen, nullptr};
  new QGuiApplication(argc, argv);
  return true;
}

}  // namespace varnet
