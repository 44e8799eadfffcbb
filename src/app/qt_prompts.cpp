// SPDX-License-Identifier: Apache-2.0
#include "app/qt_prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace varnet {

QString MessageString(MessageId id) {
  if (MessageIsEnglishOnly(id)) return QString::fromUtf8(MessageText(id));
  return QCoreApplication::translate("Message", MessageText(id));
}

namespace {

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompts::Show(const Message& m) {
  QMessageBox box(BoxIcon(m.icon), QString::fromUtf8(CaptionText(m.caption)), MessageString(m.id), QMessageBox::Ok,
                  parent_);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (!m.detail.empty()) box.setInformativeText(QString::fromStdString(m.detail));
  box.exec();
}

bool QtPrompts::AskYesNo(MessageId id) {
  QMessageBox box(QMessageBox::Question, QString(), MessageString(id), QMessageBox::Yes | QMessageBox::No, parent_);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::Choose(const FileRequest& request, bool confirmOverwrite) {
  QStringList filters;
  for (const auto& [label, pattern] : request.filters)
    filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(label).section(QLatin1Char('('), 0, 0).trimmed(),
                                             QString::fromStdString(pattern));
  // A save-style dialog, as the import asks for its file the same way.
  QFileDialog dialog(nullptr, QString(), QString::fromStdString(request.defaultName));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  dialog.selectFile(QString::fromStdString(request.defaultName));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtPrompts::ChooseSaveFile(const FileRequest& request) { return Choose(request, true); }

std::optional<std::string> QtPrompts::ChooseOpenFile(const FileRequest& request) { return Choose(request, false); }

}  // namespace varnet
