// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/capture_stream.h"

namespace varnet {

struct ImagingState;
struct ScannerLink;

// Where a complete capture goes: the thumbnail strip, the result list and
// the exposure and gain display. The desktop program implements it with
// widgets, tests with recorders.
class CaptureSink {
 public:
  virtual ~CaptureSink() = default;
  // The capture number wrapped: empty the strip and the result list.
  virtual void ClearCaptureLists() = 0;
  // The complete image of capture `number`, already stored at `path`; the
  // bytes are handed over so the picture is decoded once, from memory.
  virtual void AddThumbnail(uint8_t number, const std::string& path, const std::vector<uint8_t>& image) = 0;
  virtual void AddResultRow(const CaptureResult& result) = 0;
  virtual void ShowCaptureExposureGain(int exposure, int gain) = 0;
};

// The scanner must start answering within this time of the request (looked
// at only when a read brings nothing).
constexpr uint32_t kCaptureReplyMs = 500;
// A payload ends when no byte came for this long.
constexpr uint32_t kCaptureGapMs = 250;
constexpr size_t kImageChunk = 2048;
// A fetch reads at most this many bytes that start no block (a scanner that
// babbles), and at most this many before the image header; more, and the
// stream cannot be a capture.
constexpr size_t kCaptureJunkLimit = 64 * 1024;
constexpr size_t kCaptureLeadLimit = kDecodedDataLimit + kCaptureJunkLimit;

// How a fetch ended, for front ends that say why one failed.
enum class FetchEnd {
  Captured,
  NoAnswer,       // no image header within 500 ms of the request
  Refused,        // NakPattern
  Babble,         // more than a capture can hold without an image header
  BadHeader,      // a decode header announcing an impossible length
  ImageTooLarge,  // an image of 1 MiB or more announced
  ShortImage,     // the image stopped before its announced size
  FileError,      // the capture file could not be written
  LinkLost,       // the port closed or went away
};
struct FetchOutcome {
  FetchEnd end = FetchEnd::NoAnswer;
  size_t received = 0;  // image bytes, for ShortImage
  size_t expected = 0;  // image size announced
};

// Reads `size` image bytes into `image` in chunks of at most 2048 bytes and
// returns how many came before a 250 ms gap. `image` holds exactly the
// bytes received. Sizes of 1 MiB or more are not read (0).
size_t ReadImageData(ScannerLink& link, uint32_t size, std::vector<uint8_t>& image);

// Hands on a capture whose image is complete: takes the next capture number
// (emptying the lists when it wraps), writes the capture file, then the
// thumbnail, the row, the corners and the exposure and gain, in that order.
// When the file cannot be written nothing at all changes and it is false.
bool CompleteCapture(ImagingState& imaging, uint8_t rowLimit, CaptureSink& sink, const ImageHeader& header,
                     const std::string& decodedData, const std::vector<uint8_t>& image, BarcodeCorners& corners);

// One capture: request, decode block (if any), image header, image data,
// capture file. True when a capture was complete and handed on; `corners`
// is written only then. A refusal, a silence, a babble, an image of 1 MiB or
// more or a short image ends it with false and advances nothing; `outcome`
// (if given) says which.
bool FetchCapture(ScannerLink& link, ImagingState& imaging, uint8_t rowLimit, CaptureSink& sink,
                  BarcodeCorners& corners, FetchOutcome* outcome = nullptr);

}  // namespace varnet
