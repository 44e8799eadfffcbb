// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui_common/prompts.h"

namespace varnet::test {

// Prompts that answer from a script and remember what was shown.
class RecordingPrompts : public Prompts {
 public:
  void Show(const Message& m) override {
    shown.push_back(m);
    if (whileUp) whileUp();
  }
  bool AskYesNo(MessageId id) override {
    asked.push_back(id);
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> ChooseSaveFile(const FileRequest& r) override { return NextFile(r); }
  std::optional<std::string> ChooseOpenFile(const FileRequest& r) override { return NextFile(r); }

  bool Showed(MessageId id) const {
    for (auto& m : shown)
      if (m.id == id) return true;
    return false;
  }
  std::vector<MessageId> Ids() const {
    std::vector<MessageId> ids;
    for (auto& m : shown) ids.push_back(m.id);
    return ids;
  }

  std::vector<Message> shown;
  std::vector<MessageId> asked;
  std::vector<FileRequest> fileRequests;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> files;
  // Runs while a message or a file dialog is up, as a user could act then.
  std::function<void()> whileUp;

 private:
  std::optional<std::string> NextFile(const FileRequest& r) {
    fileRequests.push_back(r);
    if (whileUp) whileUp();
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

}  // namespace varnet::test
