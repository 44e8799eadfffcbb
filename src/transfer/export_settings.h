// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "link/serial_link.h"
#include "platform/atomic_file.h"
#include "transfer/config_file.h"
#include "transfer/export_result.h"
#include "transfer/qr_bitmap.h"

namespace varnet {

enum class ExportMode { File, Qr };

// Where the received blocks go. A failure fails the export, for its reason.
class ExportSink {
 public:
  virtual ~ExportSink() = default;
  virtual ExportResult ParameterBlock(const SettingsBlock& block) = 0;
  virtual ExportResult FormatBlock(const SettingsBlock& block) = 0;
};

// The configuration file: kept in a temporary file beside the target until
// both blocks are in, so a failed export leaves an existing file alone.
class ConfigFileSink : public ExportSink {
 public:
  explicit ConfigFileSink(std::string path) : file_(std::move(path)) {}
  ExportResult ParameterBlock(const SettingsBlock& block) override;
  ExportResult FormatBlock(const SettingsBlock& block) override;

 private:
  platform::AtomicFile file_;
};

// Two settings barcodes, "_S1.bmp" and "_S2.bmp", named after the chosen path.
class QrBitmapSink : public ExportSink {
 public:
  explicit QrBitmapSink(std::string path) : path_(std::move(path)) {}
  ExportResult ParameterBlock(const SettingsBlock& block) override;
  ExportResult FormatBlock(const SettingsBlock& block) override;

 private:
  std::string path_;
};

// Both settings barcodes kept in memory, encoded as the bitmaps are, for a
// front end that lays them out itself (the printable sheet). A block that
// does not fit a symbol fails the export as it fails the bitmaps.
class QrSymbolsSink : public ExportSink {
 public:
  struct Symbol {
    SettingsBlock block;           // as received
    std::vector<uint8_t> content;  // what the symbol carries: the file tag, then the payload
    QrMatrix matrix;
  };
  ExportResult ParameterBlock(const SettingsBlock& block) override;
  ExportResult FormatBlock(const SettingsBlock& block) override;

  // Symbol 1 (the parameter block), then symbol 2 (the format block).
  std::vector<Symbol> symbols;

 private:
  ExportResult Keep(const SettingsBlock& block, const char* tag);
};

std::unique_ptr<ExportSink> MakeExportSink(const std::string& path, ExportMode mode);

// The receive side of an export, fed byte by byte, with no port and no clock:
// the driver tells it when the line has been silent for SilenceLimitMs().
class ExportReceiver {
 public:
  static constexpr size_t kHuntSize = 1024;
  static constexpr uint32_t kChunkSilenceMs = 100;   // after some bytes of a chunk
  static constexpr uint32_t kFirstSilenceMs = 1500;  // before a chunk's first byte
  // A scanner that streams this much without a header fails the export
  // rather than keep the hunt (and the caller) going for ever.
  static constexpr size_t kMaxHuntBytes = 64 * 1024;

  enum class Step { RequestFormatBlock, Succeeded, Failed };

  explicit ExportReceiver(ExportSink& sink) : sink_(sink) {}

  // False once the export has failed (an oversized announcement, a block
  // running past its length, endless bytes without a header); later bytes
  // are ignored.
  bool Feed(uint8_t byte);
  bool Feed(const uint8_t* bytes, size_t n);
  uint32_t SilenceLimitMs() const { return count_ > 0 ? kChunkSilenceMs : kFirstSilenceMs; }
  // The line was quiet for longer than SilenceLimitMs(): the chunk is over.
  Step OnSilence();

  bool failed() const { return failed_; }
  // Why the export failed, once it has.
  const ExportResult& failure() const { return failure_; }
  size_t count() const { return count_; }

 private:
  enum class Block { None, Parameter, Format };

  Step Fail(ExportResult why);
  Step Fail(Reason reason) { return Fail(ExportResult::Failed(reason)); }
  // Why a chunk that ended in silence is not a block this export can take.
  Reason StallReason() const;

  ExportSink& sink_;
  std::array<uint8_t, kHuntSize> hunt_{};
  size_t count_ = 0;
  size_t hunted_ = 0;      // bytes since the last header or block
  BlockHeader candidate_;  // last header candidate, zero until one came
  Block receiving_ = Block::None;
  std::vector<uint8_t> payload_;  // exactly the announced length
  bool parameterDone_ = false;
  bool failed_ = false;
  ExportResult failure_;
};

// Input still arriving this long after the start fails the export.
constexpr uint32_t kExportDrainMs = 500;

// Reads the scanner's parameter and format blocks into a configuration file
// (File) or two settings barcodes (Qr). The caller shows the final message,
// with the reason on failure.
ExportResult ExportSettings(ScannerLink& link, const std::string& path, ExportMode mode);
// The same with any sink.
ExportResult RunExport(ScannerLink& link, ExportSink& sink);

}  // namespace varnet
