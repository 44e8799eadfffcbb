// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/reason.h"

namespace varnet {

// Every message the program shows. Front ends turn an id into a text: the
// desktop program through its translations, the command line in English.
enum class MessageId {
  UpdateFirmware,
  ConnectFailed,
  OpenComFailed,
  SaveAllSettings,
  SettingsSaved,
  SaveFailed,
  Disconnected,
  RebootNotice,
  SetSuccessfully,
  SetFailed,
  OpenFileFailed,
  IncorrectConfigFile,
  NotForThisScanner,
  FeatureNotSupported,
  TransmitFailed,
  FileTransmitFailed,
  ImportedSuccessfully,
  ExportedSuccessfully,
  ExportFailed,
  RestoreSuccessfully,
};

enum class Caption { None, Error1, Error2, Error3, Error4, DeviceConfiguration, OutputDataFormat };
enum class Icon { Information, Error, Question };

struct Message {
  MessageId id;
  Icon icon = Icon::Information;
  Caption caption = Caption::None;
  Reason reason = Reason::None;  // the line under the text, if any
  int error = 0;                 // the errno behind the reason, 0 when none
};

// English text of a message, and whether it exists in English only.
const char* MessageText(MessageId id);
bool MessageIsEnglishOnly(MessageId id);
const char* CaptionText(Caption c);
// The icon a message carries when shown on its own.
Icon MessageIcon(MessageId id);

struct FileRequest {
  std::string defaultName;                                   // "SetScanner.bmp"
  std::vector<std::pair<std::string, std::string>> filters;  // label, pattern
};

// Message boxes and file dialogs. The desktop program shows them; tests
// answer from a script and record what was shown.
class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual void Show(const Message& message) = 0;
  virtual bool AskYesNo(MessageId id) = 0;
  // Both are save-style dialogs; the open one never asks about overwriting.
  virtual std::optional<std::string> ChooseSaveFile(const FileRequest& request) = 0;
  virtual std::optional<std::string> ChooseOpenFile(const FileRequest& request) = 0;

  void Info(MessageId id) { Show({id, Icon::Information}); }
  void Error(MessageId id, Caption caption = Caption::None) { Show({id, Icon::Error, caption}); }
};

}  // namespace varnet
