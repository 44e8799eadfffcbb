// SPDX-License-Identifier: Apache-2.0
#include "sim/sim_scanner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/sim_blocks.h"
#include "sim/sim_camera.h"
#include "sim/sim_port.h"
#include "sim/sim_wire.h"

namespace varnet::sim {

using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kMaxBlockWrite = 64 * 1024;  // larger announced payloads are refused
constexpr int kPartialFrameMs = 150;            // a torn frame is given up after this silence
constexpr int kHandshakeIdleMs = 1000;          // a stalled block write is abandoned
constexpr int kWriteStallMs = 2000;             // a reader that stops reading loses the reply
constexpr int kTuningMs = 300;

constexpr uint32_t Key(uint8_t p1, uint8_t p2, uint8_t p3) { return (uint32_t{p1} << 16) | (uint32_t{p2} << 8) | p3; }

int MsSince(Clock::time_point t) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Header bytes the tool must carry unchanged; distinct per block.
constexpr uint8_t kParamHeaderFill[28] = {0,    0,    0,    0,    0,    0,    0x5A, 0xC3, 0,    0,
                                          0,    0,    'V',  '2',  '.',  '4',  0x11, 0x22, 0x33, 0x44,
                                          0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC};
constexpr uint8_t kFormatHeaderFill[28] = {0,    0,    0,    0,    0,    0,    0x3C, 0xA5, 0,    0,
                                           0,    0,    'F',  'M',  'T',  '1',  0xC1, 0xB2, 0xA3, 0x94,
                                           0x85, 0x76, 0x67, 0x58, 0x49, 0x3A, 0x2B, 0x1C};
constexpr uint8_t kDecodeHeaderFill[28] = {0, 0, 0, 0, 0x01, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0x1B, 0,
                                           0, 0, 0, 0, 0,    0,    0,    0,    0, 0, 0, 0, 0,    0};

}  // namespace

// ---------------------------------------------------------------------------
// Faults

void Faults::RefuseCommand(uint8_t p1, uint8_t p2, uint8_t p3) {
  std::lock_guard lock(mutex_);
  refused_.insert(Key(p1, p2, p3));
}

void Faults::ClearRefused() {
  std::lock_guard lock(mutex_);
  refused_.clear();
}

bool Faults::IsRefused(uint8_t p1, uint8_t p2, uint8_t p3) const {
  std::lock_guard lock(mutex_);
  return refused_.count(Key(p1, p2, p3)) != 0;
}

void Faults::SetGarbagePrefix(std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  garbage_ = std::move(bytes);
}

std::vector<uint8_t> Faults::GarbagePrefix() const {
  std::lock_guard lock(mutex_);
  return garbage_;
}

// ---------------------------------------------------------------------------
// The scanner

struct SimScanner::Impl {
  Impl(Faults& f, Profile p, Transport t) : faults(f), profile(std::move(p)), transport(t) {}

  Faults& faults;
  const Profile profile;
  const Transport transport;

  std::unique_ptr<ScannerEnd> end;  // null once the port vanished
  std::string slavePath;
  std::thread thread;
  std::atomic<bool> stopping{false};
  std::mutex sleepMutex;
  std::condition_variable sleepCv;
  std::mutex writeMutex;

  // Shared with the public accessors.
  mutable std::mutex stateMutex;
  mutable std::condition_variable receivedCv;
  std::vector<uint8_t> param;
  std::optional<std::vector<uint8_t>> format;
  std::vector<uint8_t> defaultParam;
  std::optional<std::vector<uint8_t>> defaultFormat;
  std::vector<std::vector<uint8_t>> received;
  int saves = 0;
  int restores = 0;
  bool imageMode = false;
  uint32_t lineRate = 0;
  uint32_t captureCounter = 0;
  std::optional<CaptureInfo> lastCapture;
  std::vector<uint8_t> scanData;
  int scanPeriodMs = 0;

  // Serving thread only.
  enum class Phase { Frames, Header, Payload };
  FrameScanner frames;
  Phase phase = Phase::Frames;
  bool writingFormat = false;
  std::vector<uint8_t> raw;
  std::vector<uint8_t> writeHeader;
  uint32_t payloadWant = 0;
  Clock::time_point lastByte = Clock::now();
  Clock::time_point nextScan = Clock::now();

  void Run();
  void OnBytes(const uint8_t* data, size_t n);
  void Pump();
  bool PumpRaw();
  void HandleFrame(const std::vector<uint8_t>& f);
  void HandleShort(uint8_t p1, uint8_t p2, uint8_t p3);
  void HandleValue(uint8_t p1, uint8_t p2, uint16_t value);
  void HandleRecords(const std::vector<uint8_t>& payload);
  void FinishBlockWrite(std::vector<uint8_t> payload);
  void SendBlock(bool formatBlock);
  void SendCapture();
  void Housekeeping();

  // Carries out an acknowledged command through `apply` and answers it,
  // honouring refusal and the unacknowledged-command faults.
  template <typename F>
  void Acked(bool refused, F apply);

  // From `imageAt` on the bytes are a capture's JPEG (and what follows it),
  // paced by slowImageBytesMs when set.
  void Reply(const std::vector<uint8_t>& bytes, size_t imageAt = SIZE_MAX);
  void WriteAll(const uint8_t* data, size_t n);
  bool SleepFor(int ms);
  bool LineSpeedMatches();
  void Log(std::vector<uint8_t> entry);
};

bool SimScanner::Impl::SleepFor(int ms) {
  std::unique_lock lock(sleepMutex);
  return !sleepCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping.load(); });
}

void SimScanner::Impl::Log(std::vector<uint8_t> entry) {
  {
    std::lock_guard lock(stateMutex);
    received.push_back(std::move(entry));
  }
  receivedCv.notify_all();
}

bool SimScanner::Impl::LineSpeedMatches() {
  uint32_t rate;
  {
    std::lock_guard lock(stateMutex);
    rate = lineRate;
  }
  return rate == 0 || end->LineRate() == rate;
}

void SimScanner::Impl::WriteAll(const uint8_t* data, size_t n) {
  std::lock_guard lock(writeMutex);
  if (!end) return;
  auto lastProgress = Clock::now();
  size_t done = 0;
  while (done < n && !stopping) {
    const long w = end->Write(data + done, n - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      lastProgress = Clock::now();
      continue;
    }
    if (w < 0) return;
    // The tool is not reading: wait for room, but not for ever.
    if (MsSince(lastProgress) >= kWriteStallMs) return;
    end->WaitWritable(20);
  }
}

void SimScanner::Impl::Reply(const std::vector<uint8_t>& bytes, size_t imageAt) {
  if (faults.silent) return;
  if (const int d = faults.replyDelayMs; d > 0 && !SleepFor(d)) return;
  std::vector<uint8_t> out = faults.GarbagePrefix();
  if (imageAt < bytes.size()) imageAt += out.size();
  out.insert(out.end(), bytes.begin(), bytes.end());
  for (size_t i = 0; i < out.size();) {
    // Read for every byte: a test that clears them gets the rest at once.
    const bool inImage = i >= imageAt;
    const int slowImage = faults.slowImageBytesMs;
    const int slow = inImage && slowImage > 0 ? slowImage : faults.slowBytesMs.load();
    if (slow <= 0) {
      const size_t end = !inImage && imageAt < out.size() && slowImage > 0 ? imageAt : out.size();
      WriteAll(&out[i], end - i);
      i = end;
      continue;
    }
    if (i > 0 && !SleepFor(slow)) return;
    WriteAll(&out[i++], 1);
  }
}

template <typename F>
void SimScanner::Impl::Acked(bool refused, F apply) {
  if (refused || faults.refuseAll) {
    Reply(kNak);
    return;
  }
  const bool unacked = faults.leaveUnacked;
  if (!unacked || faults.applyUnacked) apply();
  if (!unacked) Reply(kAck);
}

void SimScanner::Impl::Run() {
  std::vector<uint8_t> buf(4096);
  lastByte = Clock::now();
  nextScan = Clock::now();
  while (!stopping) {
    const long n = end->Read(buf.data(), buf.size(), 20);
    if (stopping) break;
    // At a line speed other than its own the scanner only sees noise.
    if (n > 0 && LineSpeedMatches()) OnBytes(buf.data(), static_cast<size_t>(n));
    if (n < 0) SleepFor(10);  // nobody on the other side just now
    Housekeeping();
  }
}

void SimScanner::Impl::OnBytes(const uint8_t* data, size_t n) {
  lastByte = Clock::now();
  if (phase == Phase::Frames) frames.Feed(data, n);
  else raw.insert(raw.end(), data, data + n);
  Pump();
}

void SimScanner::Impl::Pump() {
  for (;;) {
    if (stopping) return;
    if (phase == Phase::Frames) {
      auto f = frames.Next();
      if (!f) return;
      HandleFrame(*f);
      if (phase != Phase::Frames) {
        // The block write handshake takes the raw stream from here on.
        auto rest = frames.TakeAll();
        raw.insert(raw.end(), rest.begin(), rest.end());
      }
    } else if (!PumpRaw()) {
      return;
    }
  }
}

// The raw parts of a block write: 28-byte header, then the payload.
bool SimScanner::Impl::PumpRaw() {
  auto backToFrames = [&](size_t consumed) {
    phase = Phase::Frames;
    frames.Feed(raw.data() + consumed, raw.size() - consumed);
    raw.clear();
  };
  if (phase == Phase::Header) {
    if (raw.size() < 28) return false;
    writeHeader.assign(raw.begin(), raw.begin() + 28);
    Log(writeHeader);
    const char* tag = writingFormat ? "%IFF%" : "%ICF%";
    const bool tagOk = std::memcmp(writeHeader.data(), tag, 6) == 0;  // with its zero byte
    const uint32_t len = GetLe32(writeHeader, 8);
    const bool lenOk = len > 0 && len <= kMaxBlockWrite && (writingFormat || len >= 192);
    if (!tagOk || !lenOk) {
      Reply(kNak);
      backToFrames(28);
      return true;
    }
    if (faults.handshakeFault == HandshakeFault::NoEcho) {
      backToFrames(28);
      return true;
    }
    if (faults.handshakeFault == HandshakeFault::LateEcho && !SleepFor(faults.handshakeLateMs)) return false;
    Reply({'*', 'e', 'c', 'h', 'o'});
    raw.erase(raw.begin(), raw.begin() + 28);
    payloadWant = len;
    phase = Phase::Payload;
    return true;
  }
  if (raw.size() < payloadWant) return false;
  std::vector<uint8_t> payload(raw.begin(), raw.begin() + payloadWant);
  Log(payload);
  backToFrames(payloadWant);
  FinishBlockWrite(std::move(payload));
  return true;
}

void SimScanner::Impl::FinishBlockWrite(std::vector<uint8_t> payload) {
  const HandshakeFault fault = faults.handshakeFault;
  if (fault == HandshakeFault::NoFinalAck) return;
  if (fault == HandshakeFault::NakFinal) {
    Reply(kNak);
    return;
  }
  if (const int at = faults.storeDifferentByteAt; at >= 0 && static_cast<size_t>(at) < payload.size())
    payload[at] ^= 0x5A;
  {
    std::lock_guard lock(stateMutex);
    if (writingFormat) format = std::move(payload);
    else param = std::move(payload);
  }
  Reply(kAck);
}

void SimScanner::Impl::HandleFrame(const std::vector<uint8_t>& f) {
  Log(f);
  const uint8_t len = f[0];
  if (f[1] == 0x57 && len == 5) {
    HandleShort(f[2], f[3], f[4]);
  } else if (f[1] == 0x57 && len == 6) {
    HandleValue(f[2], f[3], static_cast<uint16_t>(f[4] | (f[5] << 8)));
  } else if (f[1] == 0x58) {
    HandleRecords(std::vector<uint8_t>(f.begin() + 2, f.begin() + len));
  }
}

void SimScanner::Impl::HandleShort(uint8_t p1, uint8_t p2, uint8_t p3) {
  const bool refused = faults.refuseAll || faults.IsRefused(p1, p2, p3);
  bool hasFormat;
  {
    std::lock_guard lock(stateMutex);
    hasFormat = format.has_value();
  }
  auto withParam = [&](auto fn) {
    std::lock_guard lock(stateMutex);
    fn(param);
  };

  if (p1 == 0x0E && p2 == 0x0D) {
    if (refused) return Reply(kNak);
    switch (p3) {
      case 0x06: {
        const int override = faults.deviceTypeOverride;
        const int type = override >= 0 ? override : profile.deviceType;
        return Reply(DataReply(0x0E, 0x0D, {static_cast<uint8_t>(type)}, faults.badReplyChecksum));
      }
      case 0x02:
      case 0x53: {
        if (p3 == 0x53 && !hasFormat) return Reply(kNak);  // firmware without the extended functions
        // The length byte bounds a reply; the tool reads at most 128 bytes.
        const std::string s = (p3 == 0x02 ? profile.firmware : profile.serial).substr(0, 120);
        return Reply(DataReply(0x0E, 0x0D, std::vector<uint8_t>(s.begin(), s.end()), faults.badReplyChecksum));
      }
      case 0x08: return SendBlock(false);
      case 0x0A: return hasFormat ? SendBlock(true) : Reply(kNak);
      case 0x07: return SendCapture();
      default: return Reply(kNak);
    }
  }

  if (p1 == 0x0E && p2 == 0x0C && (p3 == 0x08 || p3 == 0x0A)) {
    if (refused || (p3 == 0x0A && !hasFormat)) return Reply(kNak);
    if (faults.handshakeFault == HandshakeFault::NoAck) return;
    if (faults.handshakeFault == HandshakeFault::LateAck && !SleepFor(faults.handshakeLateMs)) return;
    writingFormat = p3 == 0x0A;
    raw.clear();
    phase = Phase::Header;
    return Reply({'*', 'a', 'c', 'k'});
  }

  if (p1 == 0xA0) {
    switch (Key(0, p2, p3)) {
      case Key(0, 0x08, 0x01):
        return Acked(refused, [&] {
          std::lock_guard lock(stateMutex);
          ++saves;
        });
      case Key(0, 0x08, 0xFF):  // interface restart after a save: nothing to answer
      case Key(0, 0x02, 0x02):
        if (!refused && p2 == 0x02) {
          std::lock_guard lock(stateMutex);
          imageMode = true;
        }
        return;
      case Key(0, 0x00, 0x11): return Acked(refused, [] {});
      case Key(0, 0x02, 0x05):
      case Key(0, 0x02, 0x00):
        return Acked(refused, [&] {
          std::lock_guard lock(stateMutex);
          imageMode = p3 == 0x05;
        });
      case Key(0, 0x02, 0x09):
        return Acked(refused, [&] { withParam([](auto& b) { PutLe16(b, param::kExposure, 0); }); });
      case Key(0, 0x02, 0x08):
        // Tuning takes a moment; with a fixed exposure it settles on new values.
        if (!refused && !faults.refuseAll && !SleepFor(kTuningMs)) return;
        return Acked(refused, [&] {
          withParam([](auto& b) {
            if (b[param::kExposure] != 0 || b[param::kExposure + 1] != 0) {
              PutLe16(b, param::kExposure, 420);
              b[param::kGain] = 96;
            }
          });
        });
      default:
        if (p2 == 0x04) {  // gain, never answered
          if (!refused) withParam([&](auto& b) { b[param::kGain] = p3; });
          return;
        }
        return Reply(kNak);
    }
  }

  // A setting of the catalogue.
  std::vector<uint8_t> changed;
  {
    std::lock_guard lock(stateMutex);
    changed = param;
  }
  const uint32_t oldBaud = GetLe32(changed, param::kBaud);
  if (!ApplySetting(changed, p1, p2, p3)) return Reply(kNak);
  const uint32_t newBaud = GetLe32(changed, param::kBaud);
  bool applied = false;
  Acked(refused, [&] {
    std::lock_guard lock(stateMutex);
    param = changed;
    applied = true;
  });
  if (applied && p1 == 0xA1 && p2 == 0x0C) {
    std::lock_guard lock(stateMutex);
    // An RS-232 scanner follows its new rate once the ack is out.
    if (lineRate != 0 && oldBaud != newBaud) lineRate = newBaud;
  }
}

void SimScanner::Impl::HandleValue(uint8_t p1, uint8_t p2, uint16_t value) {
  if (p1 != 0xA0 || p2 != 0x03 || faults.refuseAll) return;  // never answered
  std::lock_guard lock(stateMutex);
  PutLe16(param, param::kExposure, value);
}

void SimScanner::Impl::HandleRecords(const std::vector<uint8_t>& payload) {
  const auto records = ParseRecords(payload);
  if (!records || faults.refuseAll) return Reply(kNak);
  // A refused command refuses a record of the same three first bytes (A, B, value) too.
  for (const Record& r : *records)
    if (!r.value.empty() && faults.IsRefused(r.a, r.b, r.value[0])) return Reply(kNak);
  std::vector<uint8_t> p;
  std::optional<std::vector<uint8_t>> f;
  {
    std::lock_guard lock(stateMutex);
    p = param;
    f = format;
  }
  const RecordOutcome outcome = ApplyRecords(*records, p, f);
  if (!outcome.accepted) return Reply(kNak);
  Acked(false, [&] {
    std::lock_guard lock(stateMutex);
    if (outcome.restoreDefaults) {
      param = defaultParam;
      format = defaultFormat;
      lineRate = profile.rs232Baud;
      ++restores;
    } else {
      param = std::move(p);
      format = std::move(f);
    }
  });
}

void SimScanner::Impl::SendBlock(bool formatBlock) {
  std::vector<uint8_t> payload;
  {
    std::lock_guard lock(stateMutex);
    if (formatBlock && !format) {
      payload.clear();
    } else {
      payload = formatBlock ? *format : param;
    }
  }
  if (formatBlock && payload.empty()) return Reply(kNak);
  if (!formatBlock) {
    if (const int n = faults.paramPayloadLength; n >= 0) payload.resize(static_cast<size_t>(n), 0xEE);
  }
  uint32_t announced = static_cast<uint32_t>(payload.size());
  const BlockKind kind = faults.blockFaultKind;
  if (kind == BlockKind::Any || (kind == BlockKind::Format) == formatBlock) {
    if (const int64_t a = faults.blockAnnounceLength; a >= 0) announced = static_cast<uint32_t>(a);
    if (const int s = faults.blockShortBy; s > 0) payload.resize(payload.size() - std::min<size_t>(s, payload.size()));
  }
  std::vector<uint8_t> out =
      BlockHeader(formatBlock ? "*DFF*" : "*DCF*", announced, formatBlock ? kFormatHeaderFill : kParamHeaderFill);
  out.insert(out.end(), payload.begin(), payload.end());
  Reply(out);
}

void SimScanner::Impl::SendCapture() {
  if (faults.captureSilent) return;
  if (faults.captureNak) return Reply(kNak);

  uint32_t counter;
  uint16_t exposure;
  uint8_t gain;
  {
    std::lock_guard lock(stateMutex);
    counter = ++captureCounter;
    exposure = static_cast<uint16_t>(param[param::kExposure] | (param[param::kExposure + 1] << 8));
    gain = param[param::kGain];
  }
  if (exposure == 0) {  // automatic: the scanner picks its own values
    exposure = static_cast<uint16_t>(180 + (counter * 37) % 120);
    gain = static_cast<uint8_t>(60 + (counter * 11) % 40);
  } else if (gain == 0) {
    gain = 72;  // a fixed exposure with no gain set yet runs at the default gain
  }
  const bool decoded = !faults.noBarcode;
  const CameraShot shot = RenderShot(counter, decoded, faults.narrowWidth, faults.narrowHeight);

  CaptureInfo info;
  info.text = shot.text;
  std::copy(std::begin(shot.corners), std::end(shot.corners), info.corners);
  info.decodeTimeMs = decoded ? 12 + (counter * 7) % 40 : 0;
  info.exposure = exposure;
  info.gain = gain;
  info.width = shot.width;
  info.height = shot.height;

  // Decode-result block.
  std::vector<uint8_t> decode(kDecodeHeaderFill, kDecodeHeaderFill + 28);
  std::memcpy(decode.data(), "*BC*", 4);
  PutLe32(decode, 8, static_cast<uint32_t>(info.text.size()));
  size_t dataLen = info.text.size();
  if (const int s = faults.shortDecodeBy; s > 0) dataLen -= std::min<size_t>(s, dataLen);
  decode.insert(decode.end(), info.text.begin(), info.text.begin() + static_cast<std::ptrdiff_t>(dataLen));

  // Image block.
  std::vector<uint8_t> image(40, 0);
  std::memcpy(image.data(), "*IMT*", 5);
  image[5] = 0x01;  // header version, as far as anyone knows
  uint32_t size = static_cast<uint32_t>(shot.jpeg.size());
  if (const int64_t a = faults.announcedImageSize; a >= 0) size = static_cast<uint32_t>(a);
  PutLe32(image, 8, size);
  for (int i = 0; i < 8; ++i) PutLe16(image, 12 + 2 * i, decoded ? info.corners[i] : 0);
  if (!decoded) std::fill(std::begin(info.corners), std::end(info.corners), 0);
  PutLe32(image, 28, info.decodeTimeMs);
  PutLe16(image, 32, exposure);
  image[34] = gain;
  size_t jpegLen = shot.jpeg.size();
  if (const int s = faults.shortImageBy; s > 0) jpegLen -= std::min<size_t>(s, jpegLen);
  image.insert(image.end(), shot.jpeg.begin(), shot.jpeg.begin() + static_cast<std::ptrdiff_t>(jpegLen));

  std::vector<uint8_t> junk;
  const int junkBytes = faults.garbageBetweenBlocks;
  junk.reserve(size_t(std::max(0, junkBytes)));
  for (int i = 0; i < junkBytes; ++i) junk.push_back(static_cast<uint8_t>(0x30 + i % 10));

  std::vector<uint8_t> out;
  const bool imageFirst = faults.imageFirst;
  const auto& first = imageFirst ? image : decode;
  const auto& second = imageFirst ? decode : image;
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), junk.begin(), junk.end());
  out.insert(out.end(), second.begin(), second.end());
  {
    std::lock_guard lock(stateMutex);
    lastCapture = info;
  }
  Reply(out, (imageFirst ? 0 : decode.size() + junk.size()) + 40);
}

void SimScanner::Impl::Housekeeping() {
  if (phase == Phase::Frames) {
    // A torn frame followed by silence: drop it so that it cannot swallow
    // the start of the next command.
    while (frames.HasPartial() && MsSince(lastByte) >= kPartialFrameMs) {
      frames.GiveUpPartial();
      Pump();
    }
  } else if (MsSince(lastByte) >= kHandshakeIdleMs) {
    raw.clear();
    phase = Phase::Frames;
  }

  std::vector<uint8_t> data;
  int period;
  bool image;
  {
    std::lock_guard lock(stateMutex);
    data = scanData;
    period = scanPeriodMs;
    image = imageMode;
  }
  if (data.empty() || period <= 0) return;
  if (Clock::now() < nextScan) return;
  nextScan = Clock::now() + std::chrono::milliseconds(period);
  if (!image) WriteAll(data.data(), data.size());
}

// ---------------------------------------------------------------------------
// Public side

SimScanner::SimScanner(Profile p, Transport transport)
    : impl_(std::make_unique<Impl>(faults_, std::move(p), transport)) {
  Impl& s = *impl_;
  std::vector<uint8_t> param = s.profile.paramBlock;
  if (param.size() < 192) param.resize(192, 0);
  std::memset(param.data() + param::kModelName, 0, 16);
  std::memcpy(param.data() + param::kModelName, s.profile.modelName.data(),
              std::min<size_t>(15, s.profile.modelName.size()));
  param[param::kModelCode] = s.profile.modelCode;
  s.param = s.defaultParam = param;
  if (s.profile.hasFormatBlock) s.format = s.defaultFormat = s.profile.formatBlock;
  s.lineRate = s.profile.rs232Baud;
}

SimScanner::~SimScanner() { Vanish(); }

bool SimScanner::Start() {
  Impl& s = *impl_;
  if (s.thread.joinable()) return true;
  if (!s.end) {
    auto end = s.transport == Transport::Pty ? OpenPtyEnd() : OpenInProcessEnd(s.profile.rs232Baud ? "rs232" : "usb");
    if (!end) return false;
    std::lock_guard lock(s.writeMutex);
    s.slavePath = end->Name();
    s.end = std::move(end);
  }
  // Whatever was sent while nobody served the port is lost, as on a
  // scanner that restarts.
  s.end->DiscardInput();
  s.stopping = false;
  s.frames = FrameScanner{};
  s.phase = Impl::Phase::Frames;
  s.raw.clear();
  s.thread = std::thread([&s] { s.Run(); });
  return true;
}

std::string SimScanner::SlavePath() const { return impl_->slavePath; }

void SimScanner::Stop() {
  Impl& s = *impl_;
  if (!s.thread.joinable()) return;
  {
    std::lock_guard lock(s.sleepMutex);
    s.stopping = true;
  }
  s.sleepCv.notify_all();
  s.end->Interrupt();
  s.thread.join();
  s.end->ClearInterrupt();
}

void SimScanner::Vanish() {
  Stop();
  Impl& s = *impl_;
  std::lock_guard lock(s.writeMutex);
  s.end.reset();
}

std::vector<std::vector<uint8_t>> SimScanner::Received() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->received;
}

void SimScanner::ClearReceived() {
  std::lock_guard lock(impl_->stateMutex);
  impl_->received.clear();
}

bool SimScanner::WaitReceived(size_t n, int timeoutMs) const {
  std::unique_lock lock(impl_->stateMutex);
  return impl_->receivedCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return impl_->received.size() >= n; });
}

std::vector<uint8_t> SimScanner::ParamBlock() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->param;
}

std::optional<std::vector<uint8_t>> SimScanner::FormatBlock() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->format;
}

void SimScanner::SetParamBlock(std::vector<uint8_t> block) {
  if (block.size() < 192) block.resize(192, 0);  // the scanner never holds less
  std::lock_guard lock(impl_->stateMutex);
  impl_->param = std::move(block);
}

void SimScanner::SetFormatBlock(std::optional<std::vector<uint8_t>> block) {
  std::lock_guard lock(impl_->stateMutex);
  impl_->format = std::move(block);
}

std::vector<uint8_t> SimScanner::DefaultParam() const { return impl_->defaultParam; }
std::optional<std::vector<uint8_t>> SimScanner::DefaultFormat() const { return impl_->defaultFormat; }

int SimScanner::SaveCount() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->saves;
}

int SimScanner::RestoreCount() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->restores;
}

bool SimScanner::InImageMode() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->imageMode;
}

uint32_t SimScanner::LineRate() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->lineRate;
}

std::optional<CaptureInfo> SimScanner::LastCapture() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->lastCapture;
}

void SimScanner::SendRaw(std::vector<uint8_t> bytes) { impl_->WriteAll(bytes.data(), bytes.size()); }

void SimScanner::SetScanData(std::vector<uint8_t> bytes, int periodMs) {
  std::lock_guard lock(impl_->stateMutex);
  impl_->scanData = std::move(bytes);
  impl_->scanPeriodMs = periodMs;
}

}  // namespace varnet::sim
