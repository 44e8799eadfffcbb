#pragma once
#include <string>
#include <vector>

#include "imaging/capture_fetch.h"

namespace varnet::test {

// Records what a capture hands on, in order, so tests can check the lists
// a user would see.
class SinkRecorder : public CaptureSink {
 public:
  struct Thumbnail {
    int number;
    std::string path;
    std::vector<uint8_t> image;
  };
  std::vector<std::string> calls;  // "clear", "thumb", "row", "expgain"
  std::vector<Thumbnail> thumbnails;
  std::vector<CaptureResult> rows;
  std::vector<std::pair<int, int>> exposureGain;
  // The result list as shown: emptied on a wrap.
  std::vector<CaptureResult> listed;

  void ClearCaptureLists() override {
    calls.push_back("clear");
    listed.clear();
  }
  void AddThumbnail(uint8_t number, const std::string& path, const std::vector<uint8_t>& image) override {
    calls.push_back("thumb");
    thumbnails.push_back({number, path, image});
  }
  void AddResultRow(const CaptureResult& result) override {
    calls.push_back("row");
    rows.push_back(result);
    listed.push_back(result);
  }
  void ShowCaptureExposureGain(int exposure, int gain) override {
    calls.push_back("expgain");
    exposureGain.emplace_back(exposure, gain);
  }
};

// Stream bytes as the scanner sends them.
inline std::vector<uint8_t> DecodeBlockBytes(const std::string& data, uint32_t announced) {
  std::vector<uint8_t> b = {'*', 'B', 'C', '*', 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(announced >> (8 * i)));
  b.resize(28, 0);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

inline std::vector<uint8_t> ImageHeaderBytes(uint32_t size, const BarcodeCorners& corners, uint32_t decodeTime,
                                             uint16_t exposure, uint8_t gain) {
  std::vector<uint8_t> b = {'*', 'I', 'M', 'T', '*', 0, 0, 0};
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  le(size, 4);
  for (const auto& c : corners) {
    le(c.x, 2);
    le(c.y, 2);
  }
  le(decodeTime, 4);
  le(exposure, 2);
  b.push_back(gain);
  b.resize(40, 0);
  return b;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace varnet::test
