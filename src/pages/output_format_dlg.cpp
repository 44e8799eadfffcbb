// SPDX-License-Identifier: Apache-2.0
#include "pages/output_format_dlg.h"

#include <QSignalBlocker>

#include "pages/page_widgets.h"
#include "ui_common/prompts.h"

namespace varnet {

namespace {

void Fill(QComboBox* list, std::span<const OptionRow> rows) {
  for (const OptionRow& row : rows) list->addItem(QString::fromLatin1(row.name));
}

void Select(QComboBox* list, int row) {
  QSignalBlocker block(list);
  list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
}

}  // namespace

OutputFormatDlg::OutputFormatDlg(const PageContext& page, QWidget* parent) : QWidget(parent), page_(page) {
  setObjectName("OutputFormatDlg");
  MakeWhitePage(this);
  FitUnitsToLabels(this, {{tr("Country Code Page"), 68},
                          {tr("Case Conversion"), 68},
                          {tr("Code ID"), 68},
                          {tr("Ending Character"), 68},
                          {tr("Truncate Leading Data"), 78},
                          {tr("Truncate Ending Data"), 78},
                          {tr("Prefix Character(s)"), 78},
                          {tr("Suffix Character(s)"), 78}});

  codePage_ = AddList(this, "codePageList", 148, 8, 100, 76);
  AddLabel(this, tr("Country Code Page"), 78, 9, 64, 8, codePage_);
  caseConversion_ = AddList(this, "caseConversionList", 148, 30, 55, 76);
  AddLabel(this, tr("Case Conversion"), 78, 33, 55, 8, caseConversion_);
  codeId_ = AddList(this, "codeIdList", 148, 54, 55, 76);
  AddLabel(this, tr("Code ID"), 78, 56, 58, 8, codeId_);
  ending_ = AddList(this, "endingCharacterList", 148, 79, 55, 76);
  AddLabel(this, tr("Ending Character"), 78, 80, 56, 8, ending_);

  editing_ = new QGroupBox(tr("Barcode Editing"), this);
  editing_->setGeometry(DialogUnits(this, 77, 100, 177, 126));
  symbology_ = AddList(this, "symbologyList", 105, 119, 118, 128);
  leadingCut_ = AddList(this, "leadingCutList", 185, 139, 38, 76);
  AddLabel(this, tr("Truncate Leading Data"), 105, 141, 74, 8, leadingCut_);
  endingCut_ = AddList(this, "endingCutList", 185, 161, 39, 76);
  AddLabel(this, tr("Truncate Ending Data"), 105, 164, 70, 8, endingCut_);
  prefix_ = AddTextEdit(this, "prefixEdit", 185, 183, 45, 13);
  AddLabel(this, tr("Prefix Character(s)"), 105, 185, 65, 8, prefix_);
  suffix_ = AddTextEdit(this, "suffixEdit", 185, 203, 45, 13);
  AddLabel(this, tr("Suffix Character(s)"), 105, 206, 68, 8, suffix_);
  prefix_->setEnabled(false);
  suffix_->setEnabled(false);

  set_ = new QPushButton(tr("Set"), this);
  set_->setObjectName("setButton");
  set_->setGeometry(DialogUnits(this, 262, 193, 80, 31));

  Fill(codePage_, CodePageRows());
  Fill(caseConversion_, CaseConversionRows());
  Fill(codeId_, CodeIdRows());
  Fill(ending_, EndingCharacterRows());
  Fill(symbology_, SymbologyRows().first(SymbologyRowCount(page_.device.paramBlock.ModelCode())));
  for (int n = 0; n < kCutRows; ++n) {
    leadingCut_->addItem(QString::number(n));
    endingCut_->addItem(QString::number(n));
  }
  FitListsToRows({codePage_});
  FitListsToRows({caseConversion_, codeId_, ending_});
  FitListsToRows({symbology_});
  // Lists start without a selection, so a code no row has leaves them empty.
  for (QComboBox* list : {codePage_, caseConversion_, codeId_, ending_, leadingCut_, endingCut_}) Select(list, -1);
  Select(symbology_, 0);

  connect(symbology_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  connect(set_, &QPushButton::clicked, this, &OutputFormatDlg::OnSetClicked);
  Refresh();
}

OutputFormatValues OutputFormatDlg::Shown() const {
  OutputFormatValues v;
  v.codePageRow = codePage_->currentIndex();
  v.caseRow = caseConversion_->currentIndex();
  v.codeIdRow = codeId_->currentIndex();
  v.endingRow = ending_->currentIndex();
  v.symbologyRow = symbology_->currentIndex();
  v.leadingCutRow = leadingCut_->currentIndex();
  v.endingCutRow = endingCut_->currentIndex();
  v.prefix = ToStored(prefix_->text());
  v.suffix = ToStored(suffix_->text());
  return v;
}

void OutputFormatDlg::Refresh() {
  Show(RefreshOutputFormat(Shown(), page_.device.paramBlock, page_.device.formatBlock));
}

void OutputFormatDlg::Show(const OutputFormatView& view) {
  const OutputFormatValues& v = view.values;
  Select(codePage_, v.codePageRow);
  Select(caseConversion_, v.caseRow);
  Select(codeId_, v.codeIdRow);
  Select(ending_, v.endingRow);
  if (view.enabled) {
    Select(symbology_, v.symbologyRow);
    Select(leadingCut_, v.leadingCutRow);
    Select(endingCut_, v.endingCutRow);
    ShowStoredText(prefix_, v.prefix);
    ShowStoredText(suffix_, v.suffix);
  }
  EnableControls(view.enabled, view.fields);
}

void OutputFormatDlg::EnableControls(bool enable, const EditingFields& fields) {
  for (QWidget* w : std::initializer_list<QWidget*>{codePage_, caseConversion_, codeId_, ending_, symbology_, set_})
    w->setEnabled(enable);
  leadingCut_->setEnabled(enable && fields.leadingCut);
  endingCut_->setEnabled(enable && fields.endingCut);
  prefix_->setEnabled(enable && fields.prefix);
  suffix_->setEnabled(enable && fields.suffix);
}

void OutputFormatDlg::OnSetClicked() {
  OutputFormatValues v = Shown();
  EnableControls(false, {});
  switch (SetOutputFormat(page_.link, page_.device, v)) {
    case SetOutcome::Acknowledged: page_.prompts.Info(MessageId::SetSuccessfully); break;
    case SetOutcome::NotAcknowledged:
      page_.prompts.Error(MessageId::SetFailed);
      Refresh();
      break;
    case SetOutcome::NotSent: break;
  }
  EnableControls(page_.device.HasFormatBlock(), FieldsInBlock(page_.device.formatBlock, symbology_->currentIndex()));
}

}  // namespace varnet
