// SPDX-License-Identifier: Apache-2.0
#include "transfer/config_file.h"

#include <algorithm>
#include <cstring>

namespace varnet {

namespace {

Message Incorrect(Caption caption) { return {MessageId::IncorrectConfigFile, Icon::Error, caption}; }

// The format step looks at whatever the header buffer holds at that point,
// with the file positioned at `pos`.
FormatStepPlan PlanFormatStep(const BlockHeader& header, const uint8_t* file, size_t size, size_t pos) {
  FormatStepPlan plan;
  uint32_t length = header.Length();
  // A payload the file holds only in part is refused before anything is sent.
  if (!header.HasTag(kFileFormatTag) || length == 0 || length > kMaxSettingsBlock || pos > size ||
      size - pos < length) {
    plan.refusal = Incorrect(Caption::OutputDataFormat);
    return plan;
  }
  plan.block = SettingsBlock{header, std::vector<uint8_t>(file + pos, file + pos + length)};
  return plan;
}

}  // namespace

std::vector<uint8_t> ConfigFileBlock(const SettingsBlock& block, const char* fileTag) {
  BlockHeader header = block.header;
  header.SetTag(fileTag);
  std::vector<uint8_t> out(header.bytes.begin(), header.bytes.end());
  out.insert(out.end(), block.payload.begin(), block.payload.end());
  return out;
}

std::vector<uint8_t> BuildConfigFile(const SettingsBlock& param, const SettingsBlock& format) {
  std::vector<uint8_t> out = ConfigFileBlock(param, kFileParamTag);
  std::vector<uint8_t> second = ConfigFileBlock(format, kFileFormatTag);
  out.insert(out.end(), second.begin(), second.end());
  return out;
}

std::vector<uint8_t> QrSymbolContent(const SettingsBlock& block, const char* fileTag) {
  std::vector<uint8_t> out(fileTag, fileTag + 5);
  out.insert(out.end(), block.payload.begin(), block.payload.end());
  return out;
}

ImportPlan PlanImport(const uint8_t* file, size_t size, uint8_t scannerModelCode) {
  ImportPlan plan;
  if (size <= kBlockHeaderSize) {
    plan.tooShort = true;
    return plan;
  }
  BlockHeader first;
  std::memcpy(first.bytes.data(), file, kBlockHeaderSize);
  uint32_t length = first.Length();

  // After a refused parameter block the file stands right behind the first header.
  plan.formatOtherwise = PlanFormatStep(first, file, size, kBlockHeaderSize);

  if (length < kMinFileParamBlock) {
    plan.parameter.refusal = Incorrect(Caption::Error1);
    return plan;
  }
  if (!first.HasTag(kFileParamTag) || length > kMaxSettingsBlock || size - kBlockHeaderSize < length) {
    plan.parameter.refusal = Incorrect(Caption::Error4);
    return plan;
  }
  const uint8_t* payload = file + kBlockHeaderSize;
  if (payload[pb::ModelCode] != scannerModelCode) {
    plan.parameter.refusal = Message{MessageId::NotForThisScanner, Icon::Error, Caption::Error2};
    plan.parameter.endsImport = true;
    return plan;
  }
  plan.parameter.block = SettingsBlock{first, std::vector<uint8_t>(payload, payload + length)};

  // The second header is read over the first one: a file that ends early
  // leaves the rest of the first header in place.
  size_t pos = kBlockHeaderSize + length;
  size_t got = std::min(kBlockHeaderSize, size - pos);
  BlockHeader second = first;
  std::memcpy(second.bytes.data(), file + pos, got);
  plan.formatAfterParameter = PlanFormatStep(second, file, size, pos + got);
  return plan;
}

}  // namespace varnet
