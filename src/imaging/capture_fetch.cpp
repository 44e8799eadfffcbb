// SPDX-License-Identifier: Apache-2.0
#include "imaging/capture_fetch.h"

#include <algorithm>
#include <new>

#include "imaging/capture_files.h"
#include "imaging/imaging_state.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/ticks.h"
#include "link/trace.h"

namespace varnet {

size_t ReadImageData(ScannerLink& link, uint32_t size, std::vector<uint8_t>& image) {
  image.clear();
  if (size == 0 || size >= kImageSizeLimit) return 0;
  try {
    image.resize(size);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  size_t received = ReadExact(link, image.data(), size, kCaptureGapMs, kImageChunk);
  image.resize(received);
  return received;
}

bool CompleteCapture(ImagingState& imaging, uint8_t rowLimit, CaptureSink& sink, const ImageHeader& header,
                     const std::string& decodedData, const std::vector<uint8_t>& image, BarcodeCorners& corners) {
  if (!EnsureCaptureDir(imaging)) return false;
  CaptureNumber next = NextCaptureNumber(imaging.CaptureCounter, rowLimit);
  std::string path = CapturePath(imaging.captureDir, next.number);
  // The file first: a capture that cannot be stored must not take a number,
  // empty the lists or add a row.
  if (!WriteFileWhole(path, image.data(), image.size())) return false;

  if (next.wrapped) sink.ClearCaptureLists();
  imaging.CaptureCounter = next.number;
  imaging.newestCapturePath = path;

  CaptureResult result;
  result.number = next.number;
  result.path = path;
  result.decodeTime = header.DecodeTime();
  result.exposure = header.Exposure();
  result.gain = header.Gain();
  result.decodedData = decodedData;
  if (result.decodeTime != 0) result.corners = header.Corners();

  sink.AddThumbnail(result.number, path, image);
  sink.AddResultRow(result);
  corners = result.corners;
  sink.ShowCaptureExposureGain(result.exposure, result.gain);
  return true;
}

bool FetchCapture(ScannerLink& link, ImagingState& imaging, uint8_t rowLimit, CaptureSink& sink,
                  BarcodeCorners& corners, FetchOutcome* outcome) {
  FetchOutcome ignored;
  FetchOutcome& out = outcome ? *outcome : ignored;
  out = {};
  auto fail = [&](FetchEnd why) {
    out.end = link.IsOpen() && !link.hungUp ? why : FetchEnd::LinkLost;
    return false;
  };
  SendShortCommand(link, kCapture);
  uint32_t start = TickCount();
  CaptureHeaderReader reader;
  uint8_t buf[kImageChunk];
  size_t lead = 0;  // bytes taken before the image header

  for (;;) {
    // A babbling scanner never lets a read come back empty: bound what it may send.
    if (reader.discarded() > kCaptureJunkLimit || lead > kCaptureLeadLimit) return fail(FetchEnd::Babble);
    switch (reader.state()) {
      case CaptureHeaderReader::State::Header: {
        size_t got = PollRead(link, buf, reader.Want());
        if (got > 0) {
          lead += reader.Feed(buf, got);
          break;
        }
        // The time limit runs from the request, not from the last byte.
        uint32_t elapsed = TicksSince(start);
        if (elapsed >= kCaptureReplyMs || !link.Usable()) {
          if (trace::On()) trace::TimedOut(link.id(), kCaptureReplyMs, lead);
          return fail(FetchEnd::NoAnswer);
        }
        WaitReadable(link, kCaptureReplyMs - elapsed);
        break;
      }
      case CaptureHeaderReader::State::DecodeData:
      case CaptureHeaderReader::State::SkipData: {
        size_t want = std::min(reader.Want(), sizeof buf);
        size_t got = ReadExact(link, buf, want, kCaptureGapMs);
        lead += reader.Feed(buf, got);
        if (got < want) reader.DataGap();
        break;
      }
      case CaptureHeaderReader::State::Refused: return fail(FetchEnd::Refused);
      case CaptureHeaderReader::State::Corrupt: return fail(FetchEnd::BadHeader);
      case CaptureHeaderReader::State::ImageReady: {
        // A decode block after the image is left for the next request's
        // input drain.
        const ImageHeader& header = reader.imageHeader();
        uint32_t size = header.ImageSize();
        out.expected = size;
        if (size >= kImageSizeLimit) return fail(FetchEnd::ImageTooLarge);
        std::vector<uint8_t> image;
        out.received = ReadImageData(link, size, image);
        if (out.received < size) return fail(FetchEnd::ShortImage);
        if (!CompleteCapture(imaging, rowLimit, sink, header, reader.decodedData(), image, corners))
          return fail(FetchEnd::FileError);
        out.end = FetchEnd::Captured;
        return true;
      }
    }
  }
}

}  // namespace varnet
