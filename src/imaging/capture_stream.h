// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnet {

// One corner of a decoded barcode, in pixels of the captured frame.
struct CornerPoint {
  uint16_t x = 0;
  uint16_t y = 0;
  bool operator==(const CornerPoint&) const = default;
};
// Corners 0..3; the outline joins them 0-1-2-3-0.
using BarcodeCorners = std::array<CornerPoint, 4>;

// Valid when all eight coordinates are non-zero; all-zero corners (nothing
// decoded) are therefore never valid.
bool CornersValid(const BarcodeCorners& corners);

// 28-byte header in front of the decoded data: "*BC*", length at 8.
struct DecodeHeader {
  static constexpr size_t kSize = 28;
  std::array<uint8_t, kSize> bytes{};
  uint32_t DataLength() const;
};

// 40-byte header in front of the JPEG: "*IMT*", size at 8, corners at 12,
// decode time at 28, exposure at 32, gain at 34.
struct ImageHeader {
  static constexpr size_t kSize = 40;
  std::array<uint8_t, kSize> bytes{};
  uint32_t ImageSize() const;
  BarcodeCorners Corners() const;
  uint32_t DecodeTime() const;  // ms; 0 when nothing was decoded
  uint16_t Exposure() const;
  uint8_t Gain() const;
};

// What one complete capture hands on.
struct CaptureResult {
  uint8_t number = 0;  // 1..RowLimit
  std::string path;
  uint32_t decodeTime = 0;
  uint16_t exposure = 0;
  uint8_t gain = 0;
  std::string decodedData;   // raw 8-bit bytes, may be empty
  BarcodeCorners corners{};  // all zero when decodeTime is 0
};

// Decoded data are shown from a 1024-byte buffer, so at most 1023 bytes are
// kept; longer data are read past and the capture shows without them.
constexpr uint32_t kMaxDecodedData = 1023;
// Images of 1 MiB or more are refused.
constexpr uint32_t kImageSizeLimit = 1024 * 1024;
// Announced decoded-data lengths this large cannot be a real barcode; the
// header is taken as corrupt rather than reading past megabytes of stream.
constexpr uint32_t kDecodedDataLimit = 1024 * 1024;

// The header side of the capture stream, without the port: it is fed the
// bytes the scanner sends after a capture request and finds the decode
// block and the image header in them. It asks for exactly the bytes it
// still misses (5 for a lead-in, then the rest of 28 or 40, then the
// decoded data); anything that is not a known lead-in is dropped five bytes
// at a time, so the stream is picked up again at the next header.
class CaptureHeaderReader {
 public:
  enum class State {
    Header,      // hunting for a lead-in or completing a header
    DecodeData,  // reading the decoded data of a "*BC*" block
    SkipData,    // reading past decoded data too long to keep
    Refused,     // the scanner answered with NakPattern
    Corrupt,     // a decode header announcing an impossible length
    ImageReady,  // the image header is complete; the image data follow
  };

  CaptureHeaderReader() { Reset(); }
  // Back to the start of a fetch; forgets any decode block.
  void Reset();

  State state() const { return state_; }
  // How many bytes to read next (0 in the final states).
  size_t Want() const;
  // Consumes at most Want() bytes and returns how many it took.
  size_t Feed(const uint8_t* bytes, size_t n);
  // The decoded data stopped short: they count as absent.
  void DataGap();

  bool HasDecodeHeader() const { return haveDecodeHeader_; }
  const DecodeHeader& decodeHeader() const { return decodeHeader_; }
  const ImageHeader& imageHeader() const { return imageHeader_; }
  // The kept decoded data: empty when no block came, when it stopped short
  // or when it was too long to keep.
  const std::string& decodedData() const { return data_; }
  // Bytes dropped while hunting for a lead-in.
  size_t discarded() const { return discarded_; }

 private:
  void Decide();

  State state_ = State::Header;
  std::array<uint8_t, ImageHeader::kSize> area_{};
  size_t have_ = 0;
  size_t target_ = 5;  // 5 while hunting, 28 or 40 inside a header
  uint32_t dataLeft_ = 0;
  std::string data_;     // complete decoded data of the last block
  std::string pending_;  // decoded data still arriving
  bool haveDecodeHeader_ = false;
  DecodeHeader decodeHeader_;
  ImageHeader imageHeader_;
  size_t discarded_ = 0;
};

// The numbering of captures: the number after `counter`, starting again at
// 1 when the counter has reached the row limit (and telling the caller that
// the lists must be emptied first).
struct CaptureNumber {
  uint8_t number = 1;
  bool wrapped = false;
};
CaptureNumber NextCaptureNumber(uint8_t counter, uint8_t rowLimit);

// The five cells of a result row: number, "N ms", exposure, gain, and the
// decoded data (as 8-bit text up to the first zero byte) or "No Barcode"
// when nothing was decoded.
std::array<std::string, 5> ResultRowTexts(const CaptureResult& result);

}  // namespace varnet
