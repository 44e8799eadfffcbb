// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <QValidator>

#include <string>

namespace varnet {

// Places a control given in dialog units. A unit is a quarter of the
// average character width and an eighth of the line height of the page's
// font, as dialog templates measure it, so the arrangement keeps its
// proportions with whatever font the desktop uses (the classic 8-point
// dialog font gives 1.5 x 1.625 pixels).
QRect DialogUnits(const QWidget* page, int x, int y, int w, int h);

// A label and the room it has before the next control, in dialog units.
struct LabelRoom {
  QString text;
  int units;
};
// Widens the page's horizontal unit where the font's letters are wider
// than the classic font's, so that no label runs into its control. Call
// before any control is placed.
void FitUnitsToLabels(QWidget* page, std::initializer_list<LabelRoom> labels);

// White page, black text (the drop-down lists keep their own colours).
void MakeWhitePage(QWidget* page);

// A label whose box grows to its text (another font may be wider than the
// classic one), centred on the line of the control it names, whose height
// may differ from the classic one.
QLabel* AddLabel(QWidget* page, const QString& text, int x, int y, int w, int h, const QWidget* control);
// A drop-down list; h is the height of the opened list in dialog units.
QComboBox* AddList(QWidget* page, const char* name, int x, int y, int w, int h);
// Widens filled lists so that no row is cut; lists given together keep one
// width, as they stand in one column.
void FitListsToRows(std::initializer_list<QComboBox*> lists);
// A text field for an 8-bit text of up to 8 characters.
QLineEdit* AddTextEdit(QWidget* page, const char* name, int x, int y, int w, int h);

// Refuses any character the scanner cannot store (see IsStorableChar).
class StorableTextValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

// Stored 8-bit texts in and out of the widgets (ISO-8859-1).
QString FromStored(const std::string& text);
std::string ToStored(const QString& text);

// Shows a stored text whole even when it is longer than what may be typed.
void ShowStoredText(QLineEdit* edit, const std::string& text);

}  // namespace varnet
