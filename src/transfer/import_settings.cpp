// SPDX-License-Identifier: Apache-2.0
#include "transfer/import_settings.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace varnet {

namespace {

constexpr uint32_t kHandshakeGapMs = 250;
constexpr uint32_t kPayloadAckGapMs = 1000;

class Reporter {
 public:
  Reporter(Prompts& prompts, ImportResult& result) : prompts_(prompts), result_(result) {}
  void Show(const Message& m) {
    result_.messages.push_back(m);
    prompts_.Show(m);
  }
  void Show(MessageId id, Caption caption) { Show(Message{id, Icon::Error, caption}); }

 private:
  Prompts& prompts_;
  ImportResult& result_;
};

// The message for a failed handshake, under the block's caption.
void ReportWriteFailure(Reporter& report, BlockWriteResult r, Caption caption) {
  switch (r) {
    case BlockWriteResult::NoAck: report.Show(MessageId::FeatureNotSupported, caption); break;
    case BlockWriteResult::NoEcho: report.Show(MessageId::TransmitFailed, caption); break;
    case BlockWriteResult::NotAcknowledged: report.Show(MessageId::FileTransmitFailed, caption); break;
    case BlockWriteResult::Taken: break;
  }
}

}  // namespace

FileRequest ImportFileRequest() {
  return FileRequest{"", {{"Configuration File (*.vt)", "*.vt"}, {"All Files (*.*)", "*.*"}}};
}

std::optional<std::vector<uint8_t>> ReadConfigFile(const std::string& path) {
  return platform::ReadFileBytes(path, kMaxConfigFileRead);
}

BlockWriteResult WriteSettingsBlock(ScannerLink& link, ShortCommand announce, const SettingsBlock& block,
                                    std::array<uint8_t, 16>& reply) {
  SendShortCommand(link, announce);
  ReadExact(link, reply.data(), 4, kHandshakeGapMs);
  if (std::memcmp(reply.data(), "*ack", 4) != 0) return BlockWriteResult::NoAck;

  WriteBytes(link, block.header.bytes.data(), block.header.bytes.size());
  ReadExact(link, reply.data(), 5, kHandshakeGapMs);
  if (std::memcmp(reply.data(), "*echo", 5) != 0) return BlockWriteResult::NoEcho;

  WriteBytes(link, block.payload.data(), block.payload.size());
  ReadExact(link, reply.data(), reply.size(), kPayloadAckGapMs);
  if (!std::equal(AckPattern.begin(), AckPattern.end(), reply.begin())) return BlockWriteResult::NotAcknowledged;
  return BlockWriteResult::Taken;
}

ImportResult ImportSettingsFromFile(ScannerLink& link, DeviceInfo& info, Prompts& prompts, const std::string& path) {
  ImportResult result;
  Reporter report(prompts, result);

  std::optional<std::vector<uint8_t>> file = ReadConfigFile(path);
  if (!file) {
    report.Show(Message{MessageId::OpenFileFailed, Icon::Error, Caption::None});
    return result;
  }
  const ImportPlan plan = PlanImport(file->data(), file->size(), info.paramBlock.ModelCode());
  if (plan.tooShort) return result;

  std::array<uint8_t, 16> reply{};
  if (plan.parameter.refusal) {
    report.Show(*plan.parameter.refusal);
    if (plan.parameter.endsImport) return result;
  } else {
    BlockWriteResult r = WriteSettingsBlock(link, kWriteParamBlock, *plan.parameter.block, reply);
    ReportWriteFailure(report, r, r == BlockWriteResult::NoAck ? Caption::Error3 : Caption::DeviceConfiguration);
    if (r == BlockWriteResult::Taken) {
      const std::vector<uint8_t>& payload = plan.parameter.block->payload;
      std::copy_n(payload.begin(), ParamBlock::kSize, info.paramBlock.bytes.begin());
      result.parameterBlockTaken = true;
    }
  }

  if (!info.HasFormatBlock()) {
    // A scanner without a format block takes the parameter block alone.
    result.succeeded = result.parameterBlockTaken;
  } else {
    const FormatStepPlan& format = result.parameterBlockTaken ? plan.formatAfterParameter : plan.formatOtherwise;
    if (format.refusal) {
      report.Show(*format.refusal);
    } else {
      BlockWriteResult r = WriteSettingsBlock(link, kWriteFormatBlock, *format.block, reply);
      ReportWriteFailure(report, r, Caption::OutputDataFormat);
      if (r == BlockWriteResult::Taken) {
        // The held block takes the file's length, whatever it was before.
        info.formatBlock = format.block->payload;
        result.formatBlockTaken = true;
        result.succeeded = true;
      }
    }
  }

  if (result.succeeded) report.Show(Message{MessageId::ImportedSuccessfully, Icon::Information, Caption::None});
  return result;
}

ImportResult ImportSettings(ScannerLink& link, DeviceInfo& info, Prompts& prompts) {
  std::optional<std::string> path = prompts.ChooseOpenFile(ImportFileRequest());
  if (!path) {
    ImportResult result;
    result.cancelled = true;
    return result;
  }
  return ImportSettingsFromFile(link, info, prompts, *path);
}

}  // namespace varnet
