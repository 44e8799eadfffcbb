#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/prompts.h"

namespace varnet::test {

// Prompts that answer from queues and record everything shown or asked.
// A question or file dialog without a scripted answer fails the test.
class ScriptedPrompts : public Prompts {
 public:
  void Show(const Message& message) override { shown.push_back(message); }
  bool AskYesNo(MessageId id) override;
  std::optional<std::string> ChooseSaveFile(const FileRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileRequest& request) override;

  // Ids of the shown messages, in order.
  std::vector<MessageId> ShownIds() const;

  std::deque<bool> yesNoAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::deque<std::optional<std::string>> openAnswers;

  std::vector<Message> shown;
  std::vector<MessageId> questions;
  std::vector<FileRequest> saveRequests;
  std::vector<FileRequest> openRequests;
};

}  // namespace varnet::test
