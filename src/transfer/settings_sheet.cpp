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
#include "transfer/atomic_file.h"

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
  const double textWidth = page.width() - 2 * left;
  const double bottom = page.height() - kMarginMm * mm;  // the footer sits below this

  QPainter p;
  if (!p.begin(&writer)) return {};
  p.setPen(Qt::black);

  // ---- heading ----
  double y = top;
  Paragraph title(Tr("Settings Barcodes", zh), Font(18, true, zh), &writer, textWidth);
  title.Draw(p, left, y);
  y += title.height() + 2 * mm;

  const QString model = QString::fromLatin1(content.modelName.c_str());
  const std::pair<QString, QString> facts[] = {
      {Tr("Model", zh), Tr("%1 (model code %2)", zh).arg(model).arg(content.modelCode)},
      {Tr("Firmware", zh), QString::fromLatin1(content.firmware.c_str())},
      {Tr("Serial number", zh), QString::fromLatin1(content.serial.c_str())},
      {Tr("Date", zh), content.date.toString(Qt::ISODate)},
  };
  const QFont factLabel = Font(9, false, zh), factValue = Font(10, true, zh);
  const double factColumn = textWidth / 2;
  for (size_t i = 0; i < std::size(facts); i += 2) {
    double rowHeight = 0;
    for (size_t j = i; j < i + 2 && j < std::size(facts); ++j) {
      const double x = left + double(j - i) * factColumn;
      p.setPen(QColor(0x55, 0x55, 0x55));
      Paragraph label(facts[j].first, factLabel, &writer, factColumn * 0.35);
      label.Draw(p, x, y);
      p.setPen(Qt::black);
      Paragraph value(facts[j].second, factValue, &writer, factColumn * 0.63);
      value.Draw(p, x + factColumn * 0.35, y);
      rowHeight = std::max({rowHeight, label.height(), value.height()});
    }
    y += rowHeight + 0.8 * mm;
  }
  y += 2 * mm;
  Paragraph order(Tr("Scan in this order: first 1 of 2, then 2 of 2.", zh), Font(11, true, zh), &writer, textWidth);
  order.Draw(p, left, y);
  y += order.height() + 4 * mm;

  // ---- the symbols ----
  const int widest = std::max(content.symbols[0].width, content.symbols[1].width) + 2 * kQuietZoneModules;
  const double column = (textWidth - kColumnGapMm * mm) / 2;
  const QFont captionFont = Font(14, true, zh), noteFont = Font(8.5, false, zh);
  const QString captions[2] = {Tr("1 of 2", zh), Tr("2 of 2", zh)};
  const QString notes[2] = {Tr("Device configuration (parameter block)", zh),
                            Tr("Output data format (format block)", zh)};
  const double captionHeight = QFontMetricsF(captionFont, &writer).height() + 1.5 * mm;
  const double noteHeight = QFontMetricsF(noteFont, &writer).height() * 2 + 1 * mm;
  double module = options.moduleMm;
  bool sideBySide = widest * module * mm <= column;
  if (options.moduleMm <= 0) {
    module = std::min(kMaxModuleMm, column / mm / widest);
    sideBySide = module >= kMinModuleMm;
    if (!sideBySide) {
      // One above the other, as large as both fit on the first page.
      const double room = (bottom - y) / 2 - captionHeight - noteHeight;
      module = std::max(kMinModuleMm, std::min({kMaxModuleMm, textWidth / mm / widest, room / mm / widest}));
    }
  }
  const double box = widest * module * mm;  // the larger symbol with its quiet zone
  for (int i = 0; i < 2; ++i) {
    const QrMatrix& symbol = content.symbols[size_t(i)];
    const double own = (symbol.width + 2 * kQuietZoneModules) * module * mm;
    const double columnLeft = sideBySide ? left + i * (column + kColumnGapMm * mm) : left;
    const double columnWidth = sideBySide ? column : textWidth;
    const double symbolTop = sideBySide ? y : y + i * (captionHeight + box + noteHeight);
    Paragraph caption(captions[i], captionFont, &writer, columnWidth);
    caption.Draw(p, columnLeft + (columnWidth - caption.width()) / 2, symbolTop);
    // Symbols of unequal size share their top edge under the captions.
    const double boxLeft = columnLeft + (columnWidth - own) / 2, boxTop = symbolTop + captionHeight;
    DrawSymbol(p, symbol, QPointF(boxLeft + kQuietZoneModules * module * mm, boxTop + kQuietZoneModules * module * mm),
               module * mm);
    p.setPen(QColor(0x55, 0x55, 0x55));
    Paragraph note(notes[i], noteFont, &writer, columnWidth);
    note.Draw(p, columnLeft + (columnWidth - note.width()) / 2, boxTop + own + 0.5 * mm);
    p.setPen(Qt::black);
  }
  if (sideBySide) {
    const double midY = y + captionHeight + box / 2;
    DrawArrow(p, QPointF(left + column + 3 * mm, midY), QPointF(left + column + kColumnGapMm * mm - 3 * mm, midY),
              3 * mm);
    y += captionHeight + box + noteHeight;
  } else {
    y += 2 * (captionHeight + box + noteHeight);
  }
  y += 4 * mm;

  // ---- the settings they carry ----
  const QFont listHeading = Font(12, true, zh), categoryFont = Font(10, true, zh), itemFont = Font(9, false, zh);
  const std::vector<Entry> entries = ListEntries(content.categories, zh);
  double labelWidth = 0;
  for (const Entry& e : entries)
    if (!e.heading) labelWidth = std::max(labelWidth, Paragraph(e.label, itemFont, &writer, textWidth).width());
  labelWidth = std::min(labelWidth, textWidth * 0.45);
  const double indent = 3 * mm, valueLeft = indent + labelWidth + 4 * mm, valueWidth = textWidth - valueLeft;

  const double headingGap = 1.5 * mm;
  // Every page but the first starts with its category's name again.
  auto categoryParagraph = [&](const Entry& e, bool continued) {
    QString name = Tr(content.categories[size_t(e.category)].name.c_str(), zh);
    if (continued) name = Tr("%1 (continued)", zh).arg(name);
    return Paragraph(name, categoryFont, &writer, textWidth);
  };
  // Where each page's entries go, laid out before anything of the list is
  // drawn, so the footers can say how many pages there are.
  struct Placed {
    size_t entry;
    bool continued;
    int page;
    double y;
  };
  std::vector<Placed> placed;
  int pageCount = 1;
  const Paragraph listTitle(Tr("Settings these barcodes carry", zh), listHeading, &writer, textWidth);
  int titlePage = 1;
  double titleY = y;
  {
    auto height = [&](size_t i) {
      const Entry& e = entries[i];
      if (e.heading) return headingGap + categoryParagraph(e, false).height() + 1.5 * mm;
      return std::max(Paragraph(e.label, itemFont, &writer, labelWidth).height(),
                      Paragraph(e.value, itemFont, &writer, valueWidth).height()) +
             0.6 * mm;
    };
    // The list's title stays with its first lines: after large symbols it
    // starts the second page.
    double at = y;
    double first = listTitle.height() + 2 * mm;
    for (size_t i = 0; i < entries.size() && i < 2; ++i) first += height(i);
    if (at + first > bottom) {
      ++pageCount;
      at = titleY = top;
      titlePage = pageCount;
    }
    at += listTitle.height() + 2 * mm;
    for (size_t i = 0; i < entries.size(); ++i) {
      double h = height(i);
      // A category's name stays with its first group.
      const double keep = entries[i].heading && i + 1 < entries.size() && !entries[i + 1].heading ? height(i + 1) : 0;
      if (at + h + keep > bottom) {
        ++pageCount;
        at = top;
        if (!entries[i].heading) {
          const double again = categoryParagraph(entries[i], true).height() + 1.5 * mm;
          placed.push_back({i, true, pageCount, at});
          at += again;
        }
      }
      placed.push_back({i, false, pageCount, at});
      at += h;
    }
  }

  const QFont footerFont = Font(7.5, false, zh);
  auto footer = [&](int number) {
    p.save();
    p.setPen(QColor(0x77, 0x77, 0x77));
    const QString text = Tr("Varnet settings sheet: %1, serial number %2. Page %3 of %4", zh)
                             .arg(model, QString::fromLatin1(content.serial.c_str()))
                             .arg(number)
                             .arg(pageCount);
    Paragraph line(text, footerFont, &writer, textWidth);
    line.Draw(p, left, bottom + 5 * mm);
    p.restore();
  };

  int current = 1;
  auto turnTo = [&](int page) {
    for (; current < page; ++current) {
      footer(current);
      writer.newPage();
      if (current + 1 == titlePage) listTitle.Draw(p, left, titleY);
    }
  };
  if (titlePage == 1) listTitle.Draw(p, left, titleY);
  for (const Placed& at : placed) {
    turnTo(at.page);
    const Entry& e = entries[at.entry];
    if (e.heading || at.continued) {
      categoryParagraph(e, at.continued).Draw(p, left, at.y + (at.continued ? 0 : headingGap));
      continue;
    }
    p.setPen(QColor(0x33, 0x33, 0x33));
    Paragraph(e.label, itemFont, &writer, labelWidth).Draw(p, left + indent, at.y);
    p.setPen(Qt::black);
    Paragraph(e.value, itemFont, &writer, valueWidth).Draw(p, left + valueLeft, at.y);
  }
  turnTo(pageCount);
  footer(current);
  if (!p.end()) return {};
  if (layoutOut) *layoutOut = {pageCount, module, sideBySide};
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
  if (!WriteFileAtomically(path, reinterpret_cast<const uint8_t*>(pdf.constData()), size_t(pdf.size()), &error))
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
