// SPDX-License-Identifier: Apache-2.0
// The scanner's end of an in-process line.
#include "platform/in_process_line.h"
#include "platform/wake_event.h"
#include "sim/sim_port.h"

namespace varnet::sim {

namespace {

using platform::InProcessLine;

class LineEnd : public ScannerEnd {
 public:
  explicit LineEnd(std::shared_ptr<InProcessLine> line) : line_(std::move(line)) {}
  ~LineEnd() override { line_->Close(); }
  std::string Name() const override { return line_->Name(); }
  long Read(uint8_t* buf, size_t n, int ms) override {
    platform::WaitEither(&line_->Readable(InProcessLine::kScanner), &interrupt_, ms);
    return long(line_->Read(InProcessLine::kScanner, buf, n));
  }
  long Write(const uint8_t* buf, size_t n) override {
    line_->Write(InProcessLine::kScanner, buf, n);
    return long(n);
  }
  void WaitWritable(int) override {}
  uint32_t LineRate() override { return line_->Rate(); }
  void Interrupt() override { interrupt_.Set(); }
  void ClearInterrupt() override { interrupt_.Reset(); }
  void DiscardInput() override { line_->Discard(InProcessLine::kScanner); }

 private:
  std::shared_ptr<InProcessLine> line_;
  platform::WakeEvent interrupt_;
};

}  // namespace

std::unique_ptr<ScannerEnd> OpenInProcessEnd(const std::string& stem) {
  return std::make_unique<LineEnd>(InProcessLine::Create(stem));
}

}  // namespace varnet::sim
