// SPDX-License-Identifier: Apache-2.0
#include "ui_common/prompts.h"

namespace varnet {

const char* MessageText(MessageId id) {
  switch (id) {
    case MessageId::UpdateFirmware: return "Please update scanner to support fully functions !";
    case MessageId::ConnectFailed: return "Connect Failed";
    case MessageId::OpenComFailed: return "Open COM Failed";
    case MessageId::SaveAllSettings: return "Save All Settings ?";
    case MessageId::SettingsSaved: return "Settings Saved Successfully";
    case MessageId::SaveFailed: return "Save Failed";
    case MessageId::Disconnected: return "Disconnected";
    case MessageId::RebootNotice: return "Scanner will be reboot after saving the settings.";
    case MessageId::SetSuccessfully: return "Set Successfully";
    case MessageId::SetFailed: return "Set Failed";
    case MessageId::OpenFileFailed: return "Open File Failed!";
    case MessageId::IncorrectConfigFile: return "Incorrect Configuration File !";
    case MessageId::NotForThisScanner: return "Configuration file is not for this scanner !";
    case MessageId::FeatureNotSupported: return "Scanner does not support this feature !";
    case MessageId::TransmitFailed: return "Transmit Failed !";
    case MessageId::FileTransmitFailed: return "File Transmit Failed !";
    case MessageId::ImportedSuccessfully: return "Settings Imported Successfully";
    case MessageId::ExportedSuccessfully: return "Settings Exported Successfully";
    case MessageId::ExportFailed: return "Export Failed";
    case MessageId::RestoreSuccessfully: return "Restore Successfully";
  }
  return "";
}

bool MessageIsEnglishOnly(MessageId id) { return id == MessageId::OpenComFailed; }

const char* CaptionText(Caption c) {
  switch (c) {
    case Caption::None: return "";
    case Caption::Error1: return "Error 1";
    case Caption::Error2: return "Error 2";
    case Caption::Error3: return "Error 3";
    case Caption::Error4: return "Error 4";
    case Caption::DeviceConfiguration: return "Device Configuration";
    case Caption::OutputDataFormat: return "Output Data Format";
  }
  return "";
}

Icon MessageIcon(MessageId id) {
  switch (id) {
    case MessageId::UpdateFirmware:
    case MessageId::SettingsSaved:
    case MessageId::RebootNotice:
    case MessageId::SetSuccessfully:
    case MessageId::ImportedSuccessfully:
    case MessageId::ExportedSuccessfully:
    case MessageId::RestoreSuccessfully: return Icon::Information;
    case MessageId::SaveAllSettings: return Icon::Question;
    default: return Icon::Error;
  }
}

}  // namespace varnet
