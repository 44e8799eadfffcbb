// SPDX-License-Identifier: Apache-2.0
// capture: Image Mode on a terminal. The desktop program's connect sequence
// and its capture fetch (the imaging core, not a copy), each capture's JPEG
// stored under a name of its own, its results printed, and Image Mode left
// on the way out whatever ended the run.
#include <CLI/CLI.hpp>
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstring>
#include <functional>

#include "cli/cli.h"
#include "cli/cli_stream.h"
#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/exposure_gain.h"
#include "imaging/image_mode.h"
#include "imaging/imaging_state.h"
#include "imaging/overlay.h"
#include "imaging/preview.h"
#include "link/control_names.h"
#include "link/ticks.h"
#include "platform/files.h"

namespace varnet::cli {

namespace {

// The preview as on screens at least 900 pixels high.
constexpr int kPreviewHeight = 360;
// The capture numbers of the core only matter for its lists.
constexpr uint8_t kRowLimit = 15;

// A complete capture as the core hands it on.
class Sink : public CaptureSink {
 public:
  void ClearCaptureLists() override {}
  void AddThumbnail(uint8_t, const std::string&, const std::vector<uint8_t>& bytes) override { image = bytes; }
  void AddResultRow(const CaptureResult& r) override { result = r; }
  void ShowCaptureExposureGain(int, int) override {}
  std::vector<uint8_t> image;
  CaptureResult result;
};

// The private folder the core keeps its capture files in, gone at the end.
struct CaptureFolder {
  ImagingState imaging;
  ~CaptureFolder() { RemoveCaptureDir(imaging); }
};

std::string FetchFailure(const FetchOutcome& f) {
  switch (f.end) {
    case FetchEnd::Captured: break;
    case FetchEnd::NoAnswer: return "The scanner sent no capture within 500 ms of the request.";
    case FetchEnd::Refused: return "The scanner refused the capture request.";
    case FetchEnd::Babble: return "The scanner sent more than a capture holds without an image header.";
    case FetchEnd::BadHeader: return "The scanner announced decoded data of an impossible length.";
    case FetchEnd::ImageTooLarge:
      return "The scanner announced an image of " + std::to_string(f.expected) + " bytes (1 MiB or more is refused).";
    case FetchEnd::ShortImage:
      return "The scanner stopped sending in the middle of the image (" + std::to_string(f.received) + " of " +
             std::to_string(f.expected) + " bytes).";
    case FetchEnd::FileError: return "The capture could not be stored in the temporary folder.";
    case FetchEnd::LinkLost: return ReasonText(Reason::ScannerGone);
  }
  return "";
}

// 8-bit text as the desktop program shows it, in UTF-8; control bytes by
// name, so that no scanned byte can steer the terminal.
std::string ShownText(const std::string& latin1, bool nameControls) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x20 && nameControls) {
      out += std::string("[") + ControlName(c) + "]";
    } else if (c == 0x7F && nameControls) {
      out += "[DEL]";
    } else if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The preview of the capture with its overlay, as PNG (lossless, so the
// outline's pixels stay what was drawn). Empty when the JPEG cannot be decoded.
QByteArray OverlayPng(const std::vector<uint8_t>& jpeg, const BarcodeCorners& corners, uint8_t decodeArea) {
  const QImage decoded = DecodeCapture(jpeg.data(), jpeg.size());
  if (decoded.isNull()) return {};
  const QImage preview = ComposeCapturePreview(decoded, corners, decodeArea, kPreviewHeight);
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !preview.save(&buffer, "PNG")) return {};
  return png;
}

struct Stored {
  std::string jpeg, overlay;
};

// The capture's files, both or none.
bool StoreCapture(const Session& s, const Options& o, const Sink& sink, int number, Stored& stored, std::string& why) {
  const std::string dir = o.dir.empty() ? "." : o.dir;
  const std::string base = PortTag(s.port) + "-" + FileTimestamp() + "-";
  QByteArray png;
  if (o.overlay) {
    png = OverlayPng(sink.image, sink.result.corners, s.info.paramBlock.U8(pb::DecodeArea));
    if (png.isEmpty()) {
      why = "The capture's JPEG cannot be decoded, so no overlay can be drawn (nothing stored).";
      return false;
    }
  }
  int taken = 0;
  stored.jpeg = platform::StoreNewFile(
      dir,
      [&](int n) {
        taken = n;
        return base + std::to_string(n) + ".jpg";
      },
      number, number + 9999, sink.image.data(), sink.image.size(), why);
  if (stored.jpeg.empty()) {
    why = "cannot write " + dir + "/" + base + std::to_string(number) + ".jpg: " + why;
    return false;
  }
  if (!o.overlay) return true;
  std::string overlayName = base + std::to_string(taken) + "-overlay.png";
  stored.overlay = platform::StoreNewFile(
      dir, [&](int) { return overlayName; }, 0, 0, reinterpret_cast<const uint8_t*>(png.constData()),
      size_t(png.size()), why);
  if (stored.overlay.empty()) {
    ::unlink(stored.jpeg.c_str());
    why = "cannot write " + dir + "/" + overlayName + ": " + why + " (nothing stored)";
    return false;
  }
  return true;
}

std::string CaptureLine(const Session& s, const Options& o, const Sink& sink, int number, const Stored& stored) {
  const CaptureResult& r = sink.result;
  const bool decoded = r.decodeTime != 0;
  // Shown as the desktop program's result list: up to the first zero byte.
  const std::string data = decoded ? r.decodedData.substr(0, r.decodedData.find('\0')) : std::string();
  if (o.json) {
    nlohmann::ordered_json corners = nlohmann::ordered_json::array();
    for (const CornerPoint& c : r.corners) corners.push_back({c.x, c.y});
    nlohmann::ordered_json j = {{"port", s.port}, {"number", number}, {"file", stored.jpeg}};
    if (o.overlay) j["overlay"] = stored.overlay;
    j["time"] = LocalTimestamp(true);
    j["decode_time"] = r.decodeTime;
    j["exposure"] = r.exposure;
    j["gain"] = r.gain;
    j["data"] = ShownText(data, false);
    j["bytes"] = Hex(reinterpret_cast<const uint8_t*>(r.decodedData.data()), r.decodedData.size());
    j["corners"] = corners;
    return j.dump();
  }
  std::string line = stored.jpeg + (o.overlay ? " (overlay " + stored.overlay + ")" : "") + ": " +
                     std::to_string(r.decodeTime) + " ms, exposure " + std::to_string(r.exposure) + ", gain " +
                     std::to_string(r.gain) + ", ";
  if (!decoded) return line + "No Barcode";
  line += "\"" + ShownText(data, true) + "\", corners";
  for (const CornerPoint& c : r.corners) line += " (" + std::to_string(c.x) + "," + std::to_string(c.y) + ")";
  return line;
}

// Waits `ms`, or less when asked to stop.
void Pause(uint32_t ms) {
  const uint32_t start = TickCount();
  while (!StopRequested() && TicksSince(start) < ms) SleepMs(std::min<uint32_t>(20, ms - TicksSince(start)));
}

PortResult Capture(Session& s, const Options& o) {
  PortResult r;
  r.streamed = true;
  const size_t count = o.count.value_or(1);
  auto fail = [&](size_t done, const std::string& why) {
    r.ok = false;
    r.message = (count > 1 ? "capture " + std::to_string(done + 1) + " of " + std::to_string(count) + ": " : "") + why;
    return r;
  };
  CaptureFolder folder;
  if (!EnsureCaptureDir(folder.imaging)) return fail(0, "The temporary folder for captures cannot be made.");
  if (StopRequested()) return fail(0, "interrupted");
  // The connect sequence's Image Mode start; from here on closing leaves it.
  s.imageMode = true;
  StartImageMode(s.link);
  if (o.autoExposure) {
    SetAutomaticExposure(s.link, s.info);
  } else if (o.exposure || o.gain || o.autoTune) {
    // The tuning button is there in fixed mode only: the box is ticked first.
    SetFixedExposureGain(s.link, s.info, o.exposure, o.gain);
    if (o.autoTune) AutoTuning(s.link);
  }
  s.changed = s.info.settingsDirty != 0;

  const uint8_t model = s.info.paramBlock.ModelCode();
  const uint32_t period = model == 5 || model == 6 ? 250 : 150;
  for (size_t done = 0; done < count; ++done) {
    if (StopRequested()) return fail(done, "interrupted");
    if (done > 0) Pause(period);
    if (StopRequested()) return fail(done, "interrupted");
    Sink sink;
    BarcodeCorners corners{};
    FetchOutcome outcome;
    // A stop ends the fetch in the middle: nothing of that capture is kept.
    if (!FetchCapture(s.link, folder.imaging, kRowLimit, sink, corners, &outcome))
      return fail(done, StopRequested() ? "interrupted" : FetchFailure(outcome));
    Stored stored;
    std::string why;
    if (!StoreCapture(s, o, sink, int(done + 1), stored, why)) return fail(done, why);
    if (!s.lines->Line(CaptureLine(s, o, sink, int(done + 1), stored))) {
      RequestStop();
      return fail(done, "interrupted: the output was closed");
    }
  }
  return r;
}

}  // namespace

CommandSpec CaptureCommand() {
  CommandSpec c{.name = "capture", .summary = "Image Mode captures with their decode results, as JPEG files"};
  c.details =
      "Connects in Image Mode as the desktop program does (115200 bit/s, A0 02 05 and A0 02 02), takes the captures "
      "one after the other at the desktop program's pace, and leaves Image Mode (A0 02 00) on the way out, also "
      "when interrupted. Each JPEG is stored as PORT-YYYYmmdd-HHMMSS-N.jpg, never over an existing file (N goes up "
      "until the name is free), written whole or not at all. Per capture: the file, decode time, exposure, gain, "
      "decoded data (\"No Barcode\" when nothing was decoded) and the four corners in frame pixels. --exposure, "
      "--gain and --auto-tune act as the fixed-exposure box, the sliders and the \"Auto Tunning\" button do (they "
      "tick the box first) and count as changed settings for --save. With --json: {\"port\", \"number\", \"file\", "
      "\"time\", \"decode_time\", \"exposure\", \"gain\", \"data\", \"bytes\", \"corners\"} per capture, plus "
      "\"overlay\".";
  c.shared = {"--port", "--all", "--save", "--json"};
  c.examples = {"--port ttyACM0 capture --count 5 --dir shots",
                "--port ttyACM0 --json capture --overlay --exposure 300"};
  c.imageMode = true;
  c.streaming = true;
  c.run = Capture;
  c.writes = [](const Options& o) { return std::vector<Destination>{{o.dir.empty() ? "." : o.dir, true}}; };
  c.addOptions = [](CLI::App& app, Options& o) {
    app.add_option("--count", o.count, "take N captures (default 1)")->type_name("N")->check(CLI::PositiveNumber);
    app.add_option("--dir", o.dir, "store the files in folder D, made when missing (default: the current folder)")
        ->type_name("D");
    app.add_flag("--overlay", o.overlay,
                 "also store the preview with the barcode's outline as the desktop program draws it (PNG)");
    CLI::Option* exposure = app.add_option("--exposure", o.exposure, "fixed exposure N (8 to 1000)")
                                ->type_name("N")
                                ->check(CLI::Range(kExposureMin, kExposureMax));
    CLI::Option* gain = app.add_option("--gain", o.gain, "fixed gain N (8 to 255)")
                            ->type_name("N")
                            ->check(CLI::Range(kGainMin, kGainMax));
    CLI::Option* tune = app.add_flag("--auto-tune", o.autoTune, "let the scanner tune exposure and gain first");
    app.add_flag("--auto-exposure", o.autoExposure, "back to automatic exposure first")
        ->excludes(exposure)
        ->excludes(gain)
        ->excludes(tune);
  };
  return c;
}

}  // namespace varnet::cli
