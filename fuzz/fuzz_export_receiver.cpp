// SPDX-License-Identifier: Apache-2.0
// The export's receive state machine on arbitrary scanner output (seeds in
// corpus/export_receiver).
// Input: one byte of sink answers, then operations: 0xFF is a silence,
// any other byte n feeds the next n bytes.
#include <cstddef>
#include <cstdint>

#include "transfer/export_settings.h"

namespace {

using varnet::SettingsBlock;

bool Consistent(const SettingsBlock& b, const char* tag) {
  return b.header.HasTag(tag) && b.payload.size() == b.header.Length() && b.payload.size() <= varnet::kMaxSettingsBlock;
}

class CheckingSink : public varnet::ExportSink {
 public:
  explicit CheckingSink(uint8_t answers) : answers_(answers) {}
  varnet::ExportResult ParameterBlock(const SettingsBlock& b) override {
    if (!Consistent(b, varnet::kScannerParamTag)) __builtin_trap();
    parameters_++;
    return Answer(!(answers_ & 1));
  }
  varnet::ExportResult FormatBlock(const SettingsBlock& b) override {
    // Never without an accepted parameter block before it.
    if (!Consistent(b, varnet::kScannerFormatTag) || parameters_ == 0 || (answers_ & 1)) __builtin_trap();
    formats_++;
    return Answer(!(answers_ & 2));
  }
  int formats() const { return formats_; }

 private:
  static varnet::ExportResult Answer(bool accept) {
    return accept ? varnet::ExportResult::Done() : varnet::ExportResult::Failed(varnet::Reason::DiskFull);
  }
  uint8_t answers_;
  int parameters_ = 0;
  int formats_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  CheckingSink sink(data[0]);
  varnet::ExportReceiver rx(sink);
  size_t i = 1;
  while (i < size) {
    uint8_t op = data[i++];
    if (op == 0xFF) {
      auto step = rx.OnSilence();
      if (step == varnet::ExportReceiver::Step::Succeeded && sink.formats() != 1) __builtin_trap();
      if (step == varnet::ExportReceiver::Step::Failed && rx.failure().reason == varnet::Reason::None) __builtin_trap();
      if (step != varnet::ExportReceiver::Step::RequestFormatBlock) break;
      if (rx.SilenceLimitMs() != varnet::ExportReceiver::kFirstSilenceMs) __builtin_trap();
      continue;
    }
    size_t n = op < size - i ? op : size - i;
    bool alive = rx.Feed(data + i, n);
    i += n;
    // A failed export always knows why.
    if (!alive && (!rx.failed() || rx.failure().reason == varnet::Reason::None)) __builtin_trap();
    if (rx.count() > varnet::kMaxSettingsBlock) __builtin_trap();
  }
  return 0;
}
