// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "imaging/capture_fetch.h"
#include "support/transfer_blocks.h"

namespace varnet::test {

// Records what captures hand on, in order; `listed` is the result list as
// a user would see it.
struct SinkRecorder : CaptureSink {
  std::vector<std::string> calls;
  std::vector<CaptureResult> rows, listed;

  void ClearCaptureLists() override { calls.push_back("clear"), listed.clear(); }
  void AddThumbnail(uint8_t, const std::string&, const std::vector<uint8_t>&) override { calls.push_back("thumb"); }
  void AddResultRow(const CaptureResult& r) override { calls.push_back("row"), rows.push_back(r), listed.push_back(r); }
  void ShowCaptureExposureGain(int e, int g) override { calls.push_back("expgain"), shown = {e, g}; }
  std::pair<int, int> shown{-1, -1};
};

inline void PutLe(std::vector<uint8_t>& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// "*BC*" header announcing `announced` bytes, then `data`.
inline std::vector<uint8_t> DecodeBlock(const std::string& data, uint32_t announced) {
  std::vector<uint8_t> b = {'*', 'B', 'C', '*', 0, 0, 0, 0};
  PutLe(b, announced, 4);
  b.resize(28, 0);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

inline std::vector<uint8_t> ImageHead(uint32_t size, const BarcodeCorners& c, uint32_t decodeTime, int e, int g) {
  std::vector<uint8_t> b = {'*', 'I', 'M', 'T', '*', 0, 0, 0};
  PutLe(b, size, 4);
  for (const auto& p : c) PutLe(b, p.x, 2), PutLe(b, p.y, 2);
  PutLe(b, decodeTime, 4);
  PutLe(b, uint32_t(e), 2);
  b.push_back(uint8_t(g));
  b.resize(40, 0);
  return b;
}

}  // namespace varnet::test
