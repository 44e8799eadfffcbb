// SPDX-License-Identifier: Apache-2.0
#include "imaging/capture_stream.h"

#include <algorithm>
#include <cstring>

#include "link/protocol.h"

namespace varnet {

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr size_t kLeadIn = 5;

}  // namespace

bool CornersValid(const BarcodeCorners& corners) {
  return std::all_of(corners.begin(), corners.end(), [](const CornerPoint& p) { return p.x != 0 && p.y != 0; });
}

uint32_t DecodeHeader::DataLength() const { return Le32(&bytes[8]); }

uint32_t ImageHeader::ImageSize() const { return Le32(&bytes[8]); }
BarcodeCorners ImageHeader::Corners() const {
  BarcodeCorners c;
  for (size_t i = 0; i < c.size(); ++i) {
    c[i].x = Le16(&bytes[12 + 4 * i]);
    c[i].y = Le16(&bytes[14 + 4 * i]);
  }
  return c;
}
uint32_t ImageHeader::DecodeTime() const { return Le32(&bytes[28]); }
uint16_t ImageHeader::Exposure() const { return Le16(&bytes[32]); }
uint8_t ImageHeader::Gain() const { return bytes[34]; }

void CaptureHeaderReader::Reset() {
  state_ = State::Header;
  have_ = 0;
  target_ = kLeadIn;
  dataLeft_ = 0;
  data_.clear();
  pending_.clear();
  haveDecodeHeader_ = false;
  decodeHeader_ = {};
  imageHeader_ = {};
  discarded_ = 0;
}

size_t CaptureHeaderReader::Want() const {
  switch (state_) {
    case State::Header: return target_ - have_;
    case State::DecodeData:
    case State::SkipData: return dataLeft_;
    default: return 0;
  }
}

size_t CaptureHeaderReader::Feed(const uint8_t* bytes, size_t n) {
  size_t take = std::min(n, Want());
  if (take == 0) return 0;
  switch (state_) {
    case State::Header:
      std::memcpy(area_.data() + have_, bytes, take);
      have_ += take;
      if (have_ == target_) Decide();
      break;
    case State::DecodeData:
      pending_.append(reinterpret_cast<const char*>(bytes), take);
      dataLeft_ -= uint32_t(take);
      if (dataLeft_ == 0) {
        data_ = std::move(pending_);
        pending_.clear();
        state_ = State::Header;
      }
      break;
    case State::SkipData:
      dataLeft_ -= uint32_t(take);
      if (dataLeft_ == 0) state_ = State::Header;
      break;
    default: break;
  }
  return take;
}

void CaptureHeaderReader::DataGap() {
  if (state_ != State::DecodeData && state_ != State::SkipData) return;
  // Short data count as absent, as if the block had announced none.
  pending_.clear();
  data_.clear();
  std::fill_n(decodeHeader_.bytes.begin() + 8, 4, uint8_t(0));
  dataLeft_ = 0;
  state_ = State::Header;
}

void CaptureHeaderReader::Decide() {
  if (target_ == kLeadIn) {
    if (std::equal(NakPattern.begin(), NakPattern.end(), area_.begin())) {
      state_ = State::Refused;
    } else if (std::memcmp(area_.data(), "*BC*", 4) == 0) {
      target_ = DecodeHeader::kSize;
    } else if (std::memcmp(area_.data(), "*IMT*", 5) == 0) {
      target_ = ImageHeader::kSize;
    } else {
      discarded_ += have_;
      have_ = 0;
    }
    return;
  }

  have_ = 0;
  if (target_ == ImageHeader::kSize) {
    std::copy_n(area_.begin(), ImageHeader::kSize, imageHeader_.bytes.begin());
    target_ = kLeadIn;
    state_ = State::ImageReady;
    return;
  }

  // A decode header: a later block replaces an earlier one.
  std::copy_n(area_.begin(), DecodeHeader::kSize, decodeHeader_.bytes.begin());
  haveDecodeHeader_ = true;
  target_ = kLeadIn;
  data_.clear();
  pending_.clear();
  uint32_t length = decodeHeader_.DataLength();
  if (length == 0) {
    state_ = State::Header;
  } else if (length >= kDecodedDataLimit) {
    state_ = State::Corrupt;
  } else if (length > kMaxDecodedData) {
    dataLeft_ = length;
    state_ = State::SkipData;
  } else {
    dataLeft_ = length;
    pending_.reserve(length);
    state_ = State::DecodeData;
  }
}

CaptureNumber NextCaptureNumber(uint8_t counter, uint8_t rowLimit) {
  if (counter >= rowLimit) return {1, true};
  return {uint8_t(counter + 1), false};
}

std::array<std::string, 5> ResultRowTexts(const CaptureResult& r) {
  std::string data;
  if (r.decodeTime == 0) {
    data = "No Barcode";
  } else {
    // Shown up to the first zero byte, as the data were a C string.
    data = r.decodedData.substr(0, r.decodedData.find('\0'));
  }
  return {std::to_string(r.number), std::to_string(r.decodeTime) + " ms", std::to_string(r.exposure),
          std::to_string(r.gain), std::move(data)};
}

}  // namespace varnet
