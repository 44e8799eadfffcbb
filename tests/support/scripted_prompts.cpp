#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace varnet::test {

bool ScriptedPrompts::AskYesNo(MessageId id) {
  questions.push_back(id);
  if (yesNoAnswers.empty()) {
    ADD_FAILURE() << "unscripted yes/no question " << MessageText(id);
    return false;
  }
  bool answer = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::ChooseSaveFile(const FileRequest& request) {
  saveRequests.push_back(request);
  if (saveAnswers.empty()) {
    ADD_FAILURE() << "unscripted save dialog";
    return std::nullopt;
  }
  auto answer = saveAnswers.front();
  saveAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::ChooseOpenFile(const FileRequest& request) {
  openRequests.push_back(request);
  if (openAnswers.empty()) {
    ADD_FAILURE() << "unscripted open dialog";
    return std::nullopt;
  }
  auto answer = openAnswers.front();
  openAnswers.pop_front();
  return answer;
}

std::vector<MessageId> ScriptedPrompts::ShownIds() const {
  std::vector<MessageId> ids;
  for (const Message& m : shown) ids.push_back(m.id);
  return ids;
}

}  // namespace varnet::test
