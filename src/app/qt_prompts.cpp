// SPDX-License-Identifier: Apache-2.0
#include "app/qt_prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstring>

#include "platform/desktop.h"

namespace varnet {

QString MessageString(MessageId id) {
  if (MessageIsEnglishOnly(id)) return QString::fromUtf8(MessageText(id));
  return QCoreApplication::translate("Message", MessageText(id));
}

QString ReasonString(Reason reason, int error) {
  const char* text = nullptr;
  switch (reason) {
    case Reason::None: return QString();
    case Reason::PortGone:
      text = QT_TRANSLATE_NOOP("Reason", "The port does not exist (the scanner may have been unplugged).");
      break;
    case Reason::PortPermission:
      text = QT_TRANSLATE_NOOP(
          "Reason", "Permission denied: add your user to the dialout group, or install the udev rule for the scanner.");
      break;
    case Reason::PortBusy:
      text = QT_TRANSLATE_NOOP("Reason",
                               "The port is in use by another program (for example ModemManager or another Varnet).");
      break;
    case Reason::NotASerialPort: text = QT_TRANSLATE_NOOP("Reason", "This is not a serial port."); break;
    case Reason::PortSettings: text = QT_TRANSLATE_NOOP("Reason", "The port refused the line settings."); break;
    case Reason::PortError: text = QT_TRANSLATE_NOOP("Reason", "The port cannot be opened: %1."); break;
    case Reason::FolderMissing: text = QT_TRANSLATE_NOOP("Reason", "The folder does not exist."); break;
    case Reason::FilePermission:
      text = QT_TRANSLATE_NOOP("Reason", "Permission denied: the file cannot be written there.");
      break;
    case Reason::ReadOnlyFileSystem: text = QT_TRANSLATE_NOOP("Reason", "The file system is read-only."); break;
    case Reason::DiskFull: text = QT_TRANSLATE_NOOP("Reason", "The disk is full."); break;
    case Reason::FileError: text = QT_TRANSLATE_NOOP("Reason", "The file cannot be written: %1."); break;
    case Reason::QrTooLarge: text = QT_TRANSLATE_NOOP("Reason", "The settings are too large for a QR code."); break;
    case Reason::QrError: text = QT_TRANSLATE_NOOP("Reason", "The QR code cannot be made: %1."); break;
    case Reason::ScannerSilent: text = QT_TRANSLATE_NOOP("Reason", "The scanner did not send its settings."); break;
    case Reason::NoFormatBlock: text = QT_TRANSLATE_NOOP("Reason", "The scanner did not send its format block."); break;
    case Reason::ScannerStopped:
      text = QT_TRANSLATE_NOOP("Reason", "The scanner stopped sending before the block was complete.");
      break;
    case Reason::BlockRefused: text = QT_TRANSLATE_NOOP("Reason", "The scanner refused to send its settings."); break;
    case Reason::BlockTooLong: text = QT_TRANSLATE_NOOP("Reason", "The scanner sent a block that is too long."); break;
    case Reason::UnexpectedData:
      text = QT_TRANSLATE_NOOP("Reason", "The scanner sent something other than its settings.");
      break;
    case Reason::ScannerGone: text = QT_TRANSLATE_NOOP("Reason", "The connection to the scanner was lost."); break;
  }
  if (!text) return QString();
  QString line = QCoreApplication::translate("Reason", text);
  // The system's own words for an errno, in the locale the program runs in.
  if (line.contains(QLatin1String("%1"))) line = line.arg(QString::fromLocal8Bit(std::strerror(error)));
  return line;
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

// Windows' own boxes where the program runs on Windows' own windows (not
// offscreen, as the tests do).
std::optional<bool> SystemBox(QWidget* parent, const QString& caption, const QString& text, Icon icon, bool yesNo) {
  if (QGuiApplication::platformName() != QLatin1String("windows")) return std::nullopt;
  const intptr_t owner = parent ? intptr_t(parent->window()->winId()) : 0;
  platform::BoxIcon kind = platform::BoxIcon::Question;
  if (icon == Icon::Information) kind = platform::BoxIcon::Information;
  if (icon == Icon::Error) kind = platform::BoxIcon::Error;
  return platform::SystemMessageBox(owner, caption.toStdString(), text.toStdString(), kind, yesNo);
}

}  // namespace

void QtPrompts::Show(const Message& m) {
  QString text = MessageString(m.id);
  if (m.reason != Reason::None) text += QStringLiteral("\n\n") + ReasonString(m.reason, m.error);
  if (SystemBox(parent_, QString::fromUtf8(CaptionText(m.caption)), text, m.icon, false)) return;
  QMessageBox box(BoxIcon(m.icon), QString::fromUtf8(CaptionText(m.caption)), MessageString(m.id), QMessageBox::Ok,
                  parent_);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (m.reason != Reason::None) box.setInformativeText(ReasonString(m.reason, m.error));
  box.exec();
}

bool QtPrompts::AskYesNo(MessageId id) {
  if (auto yes = SystemBox(parent_, QString(), MessageString(id), Icon::Question, true)) return *yes;
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
