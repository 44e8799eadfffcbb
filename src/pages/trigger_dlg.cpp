// SPDX-License-Identifier: Apache-2.0
#include "pages/trigger_dlg.h"

#include "pages/page_widgets.h"
#include "ui_common/prompts.h"

namespace varnet {

TriggerDlg::TriggerDlg(const PageContext& page, QWidget* parent) : QWidget(parent), page_(page) {
  setObjectName("TriggerDlg");
  MakeWhitePage(this);
  FitUnitsToLabels(this, {{tr("Pulse Trigger :"), 66},
                          {tr("Start Scan CMD :"), 66},
                          {tr("Stop Scan CMD :"), 66},
                          {tr("Bad Read Message :"), 66}});

  polarity_ = AddList(this, "pulseTriggerList", 174, 28, 58, 75);
  AddLabel(this, tr("Pulse Trigger :"), 106, 31, 53, 8, polarity_);
  start_ = AddTextEdit(this, "startEdit", 174, 61, 57, 14);
  AddLabel(this, tr("Start Scan CMD :"), 106, 63, 58, 8, start_);
  stop_ = AddTextEdit(this, "stopEdit", 174, 94, 57, 14);
  AddLabel(this, tr("Stop Scan CMD :"), 106, 96, 57, 8, stop_);
  transmitBadRead_ = new QCheckBox(tr(" Transmit Bad Read Message"), this);
  transmitBadRead_->setObjectName("transmitBadReadCheck");
  QRect box = DialogUnits(this, 105, 125, 127, 10);
  transmitBadRead_->setGeometry(box.x(), box.center().y() - transmitBadRead_->sizeHint().height() / 2,
                                std::max(box.width(), transmitBadRead_->sizeHint().width()),
                                transmitBadRead_->sizeHint().height());
  badRead_ = AddTextEdit(this, "badReadEdit", 174, 150, 57, 14);
  AddLabel(this, tr("Bad Read Message :"), 106, 152, 66, 8, badRead_);

  set_ = new QPushButton(tr("Set"), this);
  set_->setObjectName("setButton");
  set_->setGeometry(DialogUnits(this, 100, 176, 142, 41));

  polarity_->addItems({QStringLiteral("NPN"), QStringLiteral("PNP")});
  polarity_->setCurrentIndex(0);
  connect(set_, &QPushButton::clicked, this, &TriggerDlg::OnSetClicked);
  Refresh();
}

TriggerValues TriggerDlg::Shown() const {
  TriggerValues v;
  v.polarityRow = polarity_->currentIndex();
  v.startCommand = ToStored(start_->text());
  v.stopCommand = ToStored(stop_->text());
  v.transmitBadRead = transmitBadRead_->isChecked();
  v.badReadMessage = ToStored(badRead_->text());
  return v;
}

void TriggerDlg::Refresh() {
  // Without the format block the firmware has no trigger settings; the
  // check box is the one control left alone.
  bool enable = page_.device.HasFormatBlock();
  for (QWidget* w : std::initializer_list<QWidget*>{polarity_, start_, stop_, badRead_, set_}) w->setEnabled(enable);
  if (!enable) return;
  TriggerValues v = TriggerValuesFrom(page_.device.paramBlock);
  polarity_->setCurrentIndex(v.polarityRow);
  ShowStoredText(start_, v.startCommand);
  ShowStoredText(stop_, v.stopCommand);
  transmitBadRead_->setChecked(v.transmitBadRead);
  ShowStoredText(badRead_, v.badReadMessage);
}

void TriggerDlg::OnSetClicked() {
  TriggerValues v = Shown();
  switch (SetTrigger(page_.link, page_.device, v)) {
    case SetOutcome::Acknowledged: page_.prompts.Info(MessageId::SetSuccessfully); break;
    case SetOutcome::NotAcknowledged: page_.prompts.Error(MessageId::SetFailed); break;
    case SetOutcome::NotSent: break;
  }
}

}  // namespace varnet
