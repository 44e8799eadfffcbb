// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui_common/prompts.h"

namespace varnet {

// Text of a message in the interface language (English-only texts stay).
QString MessageString(MessageId id);
// The line under a message, in the interface language; empty for none.
QString ReasonString(Reason reason, int error);

// Top-most message boxes with an empty title, and save-style file dialogs.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void Show(const Message& message) override;
  bool AskYesNo(MessageId id) override;
  std::optional<std::string> ChooseSaveFile(const FileRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileRequest& request) override;

 private:
  std::optional<std::string> Choose(const FileRequest& request, bool confirmOverwrite);
  QPointer<QWidget> parent_;
};

}  // namespace varnet
