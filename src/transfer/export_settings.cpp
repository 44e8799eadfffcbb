// SPDX-License-Identifier: Apache-2.0
#include "transfer/export_settings.h"

#include <algorithm>
#include <cstring>

#include "link/ticks.h"
#include "transfer/qr_bitmap.h"

namespace varnet {

// ---- sinks ----

ExportResult ConfigFileSink::ParameterBlock(const SettingsBlock& block) {
  // A repeated parameter block starts the file over, as a fresh file would.
  if (file_.Open() && file_.Write(ConfigFileBlock(block, kFileParamTag))) return ExportResult::Done();
  return FileFailure(file_.error());
}

ExportResult ConfigFileSink::FormatBlock(const SettingsBlock& block) {
  if (!file_.IsOpen()) return ExportResult::Failed(Reason::UnexpectedData);
  if (file_.Write(ConfigFileBlock(block, kFileFormatTag)) && file_.Commit()) return ExportResult::Done();
  return FileFailure(file_.error());
}

ExportResult QrBitmapSink::ParameterBlock(const SettingsBlock& block) {
  std::vector<uint8_t> content = QrSymbolContent(block, kFileParamTag);
  return WriteQrBitmap(SettingsBitmapName(path_, 1), content.data(), content.size());
}

ExportResult QrBitmapSink::FormatBlock(const SettingsBlock& block) {
  std::vector<uint8_t> content = QrSymbolContent(block, kFileFormatTag);
  return WriteQrBitmap(SettingsBitmapName(path_, 2), content.data(), content.size());
}

ExportResult QrSymbolsSink::Keep(const SettingsBlock& block, const char* tag) {
  Symbol symbol{block, QrSymbolContent(block, tag), {}};
  int error = 0;
  std::optional<QrMatrix> matrix = EncodeQrSymbol(symbol.content.data(), symbol.content.size(), &error);
  if (!matrix) return QrFailure(error);
  symbol.matrix = std::move(*matrix);
  symbols.push_back(std::move(symbol));
  return ExportResult::Done();
}

ExportResult QrSymbolsSink::ParameterBlock(const SettingsBlock& block) {
  // A repeated parameter block starts over, as the other sinks do.
  symbols.clear();
  return Keep(block, kFileParamTag);
}

ExportResult QrSymbolsSink::FormatBlock(const SettingsBlock& block) {
  if (symbols.size() != 1) return ExportResult::Failed(Reason::UnexpectedData);
  return Keep(block, kFileFormatTag);
}

std::unique_ptr<ExportSink> MakeExportSink(const std::string& path, ExportMode mode) {
  if (mode == ExportMode::File) return std::make_unique<ConfigFileSink>(path);
  return std::make_unique<QrBitmapSink>(path);
}

// ---- receiver ----

bool ExportReceiver::Feed(const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!Feed(bytes[i])) return false;
  return !failed_;
}

bool ExportReceiver::Feed(uint8_t byte) {
  if (failed_) return false;
  if (receiving_ != Block::None) {
    // More bytes than announced can never end well; stop at once rather
    // than wait for the line to fall silent.
    if (count_ >= payload_.size()) {
      Fail(Reason::BlockTooLong);
      return false;
    }
    payload_[count_++] = byte;
    return true;
  }

  if (++hunted_ > kMaxHuntBytes) {
    Fail(Reason::UnexpectedData);
    return false;
  }
  hunt_[count_++] = byte;
  if (count_ == kBlockHeaderSize) {
    std::memcpy(candidate_.bytes.data(), hunt_.data(), kBlockHeaderSize);
    Block kind = candidate_.HasTag(kScannerParamTag)    ? Block::Parameter
                 : candidate_.HasTag(kScannerFormatTag) ? Block::Format
                                                        : Block::None;
    if (kind != Block::None) {
      uint32_t length = candidate_.Length();
      if (length > kMaxSettingsBlock) {
        Fail(Reason::BlockTooLong);
        return false;
      }
      payload_.assign(length, 0);
      receiving_ = kind;
      count_ = 0;
      hunted_ = 0;
    }
  } else if (count_ == kHuntSize) {
    // Only the search for a header wraps; a block is always received whole.
    count_ = 0;
  }
  return true;
}

ExportReceiver::Step ExportReceiver::Fail(ExportResult why) {
  if (!failed_) failure_ = why;
  failed_ = true;
  return Step::Failed;
}

Reason ExportReceiver::StallReason() const {
  // After the parameter block, a refusal or silence both mean the same.
  const bool refused = StartsWithAck(hunt_.data(), hunt_.size()) || StartsWithNak(hunt_.data(), hunt_.size());
  if (refused) return parameterDone_ ? Reason::NoFormatBlock : Reason::BlockRefused;
  if (receiving_ != Block::None) return count_ != payload_.size() ? Reason::ScannerStopped : Reason::UnexpectedData;
  if (hunted_ == 0) return parameterDone_ ? Reason::NoFormatBlock : Reason::ScannerSilent;
  // The first bytes of a header that never finished.
  const size_t tag = std::min<size_t>(count_, 5);
  const bool header =
      hunted_ == count_ && count_ < kBlockHeaderSize &&
      (std::memcmp(hunt_.data(), kScannerParamTag, tag) == 0 || std::memcmp(hunt_.data(), kScannerFormatTag, tag) == 0);
  return header ? Reason::ScannerStopped : Reason::UnexpectedData;
}

ExportReceiver::Step ExportReceiver::OnSilence() {
  if (failed_) return Step::Failed;
  if (StartsWithAck(hunt_.data(), hunt_.size()) || StartsWithNak(hunt_.data(), hunt_.size()) ||
      count_ != candidate_.Length())
    return Fail(StallReason());
  if (receiving_ == Block::Parameter && candidate_.HasTag(kScannerParamTag)) {
    SettingsBlock block{candidate_, std::move(payload_)};
    payload_.clear();
    receiving_ = Block::None;
    count_ = 0;
    candidate_ = BlockHeader{};
    ExportResult stored = sink_.ParameterBlock(block);
    if (!stored.ok) return Fail(stored);
    parameterDone_ = true;
    return Step::RequestFormatBlock;
  }
  // A format block that comes without a parameter block before it would
  // make an export without settings; it fails.
  if (receiving_ == Block::Format && candidate_.HasTag(kScannerFormatTag) && parameterDone_) {
    SettingsBlock block{candidate_, std::move(payload_)};
    payload_.clear();
    receiving_ = Block::None;
    ExportResult stored = sink_.FormatBlock(block);
    if (stored.ok) return Step::Succeeded;
    return Fail(stored);
  }
  return Fail(StallReason());
}

// ---- driver ----

namespace {

// Throws away what the scanner sent before the export began. A scanner that
// keeps talking for kExportDrainMs fails the export.
bool DiscardPendingInput(ScannerLink& link, uint32_t start) {
  uint8_t junk[256];
  while (PollRead(link, junk, sizeof junk) > 0) {
    if (TicksSince(start) >= kExportDrainMs) return false;
  }
  return true;
}

}  // namespace

ExportResult RunExport(ScannerLink& link, ExportSink& sink) {
  const uint32_t start = TickCount();
  if (!DiscardPendingInput(link, start)) return ExportResult::Failed(Reason::UnexpectedData);
  SendShortCommand(link, kReadParamBlock);

  ExportReceiver receiver(sink);
  uint32_t lastByte = start;
  uint8_t buf[512];
  while (link.Usable()) {
    size_t n = PollRead(link, buf, sizeof buf);
    if (n > 0) {
      lastByte = TickCount();
      if (!receiver.Feed(buf, n)) return receiver.failure();
      continue;
    }
    // A device that went away sends nothing more: no need to wait for its
    // silence, but a block it finished still counts.
    const bool gone = link.hungUp;
    uint32_t limit = receiver.SilenceLimitMs();
    uint32_t quiet = TicksSince(lastByte);
    if (!gone && quiet <= limit) {
      // Sleep in the kernel until a byte comes or the limit is just past.
      WaitReadable(link, limit - quiet + 1);
      continue;
    }
    if (!link.Usable()) break;
    switch (receiver.OnSilence()) {
      case ExportReceiver::Step::RequestFormatBlock:
        if (gone) return ExportResult::Failed(Reason::ScannerGone);
        SendShortCommand(link, kReadFormatBlock);
        break;
      case ExportReceiver::Step::Succeeded: return ExportResult::Done();
      case ExportReceiver::Step::Failed: {
        const Reason why = receiver.failure().reason;
        const bool silence =
            why == Reason::ScannerSilent || why == Reason::ScannerStopped || why == Reason::NoFormatBlock;
        return gone && silence ? ExportResult::Failed(Reason::ScannerGone) : receiver.failure();
      }
    }
  }
  return ExportResult::Failed(Reason::ScannerGone);
}

ExportResult ExportSettings(ScannerLink& link, const std::string& path, ExportMode mode) {
  std::unique_ptr<ExportSink> sink = MakeExportSink(path, mode);
  return RunExport(link, *sink);
}

}  // namespace varnet
