// SPDX-License-Identifier: Apache-2.0
#include "pages/page_widgets.h"

#include <QFontMetrics>
#include <QPalette>

#include <algorithm>
#include <cmath>

#include "pages/page_text.h"

namespace varnet {

namespace {

constexpr char kUnitXProperty[] = "varnetDialogUnitX";

// Pixels per horizontal and vertical unit.
std::pair<double, double> UnitSize(const QWidget* page) {
  QFontMetrics fm(page->font());
  // The dialog template rule: the width of the 52 letters, halved twice with rounding.
  int baseX =
      (fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
  double x = std::max(baseX / 4.0, page->property(kUnitXProperty).toDouble());
  return {x, fm.height() / 8.0};
}

}  // namespace

QRect DialogUnits(const QWidget* page, int x, int y, int w, int h) {
  auto [ux, uy] = UnitSize(page);
  auto px = [](int units, double size) { return int(std::lround(units * size)); };
  return QRect(px(x, ux), px(y, uy), px(w, ux), px(h, uy));
}

void FitUnitsToLabels(QWidget* page, std::initializer_list<LabelRoom> labels) {
  QFontMetrics fm(page->font());
  double needed = 0;
  for (const LabelRoom& l : labels) needed = std::max(needed, (fm.horizontalAdvance(l.text) + 4.0) / l.units);
  page->setProperty(kUnitXProperty, needed);
}

void MakeWhitePage(QWidget* page) {
  page->setAutoFillBackground(true);
  QPalette pal = page->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Base, Qt::white);
  // Black text only where a control is enabled, so disabled ones still look it.
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::WindowText, Qt::black);
    pal.setColor(group, QPalette::Text, Qt::black);
  }
  page->setPalette(pal);
}

QLabel* AddLabel(QWidget* page, const QString& text, int x, int y, int w, int h, const QWidget* control) {
  auto* label = new QLabel(text, page);
  QRect r = DialogUnits(page, x, y, w, h);
  QSize hint = label->sizeHint();
  int height = std::max(r.height(), hint.height());
  label->setGeometry(r.x(), control->geometry().center().y() - height / 2, std::max(r.width(), hint.width()), height);
  return label;
}

QComboBox* AddList(QWidget* page, const char* name, int x, int y, int w, int h) {
  auto* list = new QComboBox(page);
  list->setObjectName(QLatin1String(name));
  QRect r = DialogUnits(page, x, y, w, h);
  list->setGeometry(r.x(), r.y(), r.width(), list->sizeHint().height());
  // The opened list is as tall as the classic one: about one row per 8 units
  // beneath the closed box.
  list->setMaxVisibleItems(std::max(3, (h - 14) / 8));
  return list;
}

void FitListsToRows(std::initializer_list<QComboBox*> lists) {
  int width = 0;
  for (QComboBox* list : lists) {
    // The size hint is cached from before the rows were added unless the
    // list is told to follow its contents.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    width = std::max({width, list->width(), list->sizeHint().width()});
  }
  for (QComboBox* list : lists) list->resize(width, list->height());
}

QLineEdit* AddTextEdit(QWidget* page, const char* name, int x, int y, int w, int h) {
  auto* edit = new QLineEdit(page);
  edit->setObjectName(QLatin1String(name));
  QRect r = DialogUnits(page, x, y, w, h);
  edit->setGeometry(r.x(), r.y(), r.width(), std::max(r.height(), edit->sizeHint().height()));
  edit->setMaxLength(int(kMaxTypedChars));
  edit->setValidator(new StorableTextValidator(edit));
  return edit;
}

QValidator::State StorableTextValidator::validate(QString& input, int&) const {
  for (QChar c : input)
    if (!IsStorableChar(c.unicode())) return Invalid;
  return Acceptable;
}

QString FromStored(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

std::string ToStored(const QString& text) { return text.toLatin1().toStdString(); }

void ShowStoredText(QLineEdit* edit, const std::string& text) {
  edit->setMaxLength(std::max(int(kMaxTypedChars), int(text.size())));
  edit->setText(FromStored(text));
}

}  // namespace varnet
